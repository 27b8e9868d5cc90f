#include "common/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: these use its types.
#include <conio.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

namespace zira {

namespace {

constexpr int kCreateAttempts = 8;
// A scanner or indexer holds a fresh file for a moment; a replacement waits
// this long for it before giving up.
constexpr DWORD kReplaceRetryMs = 2000;
constexpr DWORD kReplaceStepMs = 50;
// Paths from this length on get the long-path prefix (the classic limit, less
// room for a file name of 8.3 that some calls add).
constexpr std::size_t kLongPathFrom = 248;
// Locks take one byte far past any data, so they never block a read or write.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::size_t kStandardOutputBuffer = 4096;

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    default:
      return EIO;
  }
}

int LastErrno() { return ErrnoOf(::GetLastError()); }

std::wstring WideOf(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string NarrowOf(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr, nullptr);
  return narrow;
}

// The path for a wide call: long ones are made absolute and given the
// prefix that lifts the classic length limit where the system allows it.
std::wstring SystemPath(const std::string& path) {
  std::wstring wide = WideOf(path);
  if (wide.size() < kLongPathFrom || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (got == 0 || got >= size) return wide;
  full.resize(got);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE HandleOf(FileHandle file) { return reinterpret_cast<HANDLE>(::_get_osfhandle(file)); }

// Hands the system handle to the C runtime, which then owns it.
FileHandle DescriptorOf(HANDLE handle, int flags, int* error) {
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    ::CloseHandle(handle);
    if (error != nullptr) *error = EMFILE;
    return kNoFile;
  }
  return fd;
}

// The device and inode only when asked for: under Wine the volume's serial
// number is a round trip to its mount manager on every call. tag, when given,
// is what the handle's attributes were already read as.
bool InfoFromHandle(HANDLE handle, PathInfo* info, bool identity = false,
                    const FILE_ATTRIBUTE_TAG_INFO* knownTag = nullptr) {
  PathInfo result;
  const DWORD type = ::GetFileType(handle);
  if (type == FILE_TYPE_CHAR) {
    result.kind = PathKind::kDevice;
  } else if (type == FILE_TYPE_PIPE) {
    result.kind = PathKind::kFifo;
  } else {
    FILE_ATTRIBUTE_TAG_INFO tag {};
    FILE_STANDARD_INFO standard {};
    if (knownTag != nullptr) {
      tag = *knownTag;
    } else if (::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag)) == 0) {
      return false;
    }
    if (::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof(standard)) == 0) return false;
    FILE_ID_INFO id {};
    if (!identity) {
      // Kind and size suffice.
    } else if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof(id)) != 0) {
      result.device = id.VolumeSerialNumber;
      std::uint64_t low = 0;
      std::uint64_t high = 0;
      std::memcpy(&low, id.FileId.Identifier, sizeof(low));
      std::memcpy(&high, id.FileId.Identifier + sizeof(low), sizeof(high));
      result.inode = low ^ high;
    } else {
      // A file system without 128-bit identities (FAT): the classic record.
      BY_HANDLE_FILE_INFORMATION data {};
      if (::GetFileInformationByHandle(handle, &data) == 0) return false;
      result.device = data.dwVolumeSerialNumber;
      result.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    }
    result.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      result.kind = PathKind::kLink;
      result.size = 0;
    } else if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      result.kind = PathKind::kFolder;
      result.size = 0;
    }
  }
  if (info != nullptr) *info = result;
  return true;
}

// Opens what stands at path (a folder too) without following a link; a
// reparse point that is not a link (a cloud or deduplicated file) is opened
// as the file it stands for. tag, when given, gets the attributes of the
// handle returned, and *tagRead whether they were read.
HANDLE OpenUnfollowed(const std::wstring& path, DWORD access, DWORD disposition,
                      FILE_ATTRIBUTE_TAG_INFO* tag = nullptr, bool* tagRead = nullptr) {
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  if (tagRead != nullptr) *tagRead = false;
  HANDLE handle = ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, kFlags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  FILE_ATTRIBUTE_TAG_INFO read {};
  if (::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &read, sizeof(read)) == 0) return handle;
  if ((read.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !IsReparseTagNameSurrogate(read.ReparseTag)) {
    ::CloseHandle(handle);
    return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, FILE_FLAG_BACKUP_SEMANTICS,
                         nullptr);
  }
  if (tag != nullptr) *tag = read;
  if (tagRead != nullptr) *tagRead = true;
  return handle;
}

bool LockWithoutWaiting(HANDLE handle) {
  OVERLAPPED at {};
  at.Offset = kLockOffsetLow;
  at.OffsetHigh = kLockOffsetHigh;
  return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

bool IsRegularFile(HANDLE handle) {
  PathInfo info;
  return InfoFromHandle(handle, &info) && info.kind == PathKind::kRegular;
}

}  // namespace

namespace {

bool InfoOfPathAsked(const std::string& path, bool followLinks, PathInfo* info, bool identity) {
  const std::wstring wide = SystemPath(path);
  HANDLE handle = followLinks ? ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                              : OpenUnfollowed(wide, FILE_READ_ATTRIBUTES, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = InfoFromHandle(handle, info, identity);
  ::CloseHandle(handle);
  return known;
}

}  // namespace

bool InfoOfPath(const std::string& path, bool followLinks, PathInfo* info) {
  return InfoOfPathAsked(path, followLinks, info, false);
}

bool InfoOfPathWithIdentity(const std::string& path, bool followLinks, PathInfo* info) {
  return InfoOfPathAsked(path, followLinks, info, true);
}

bool InfoOfFile(FileHandle file, PathInfo* info) {
  const HANDLE handle = HandleOf(file);
  return handle != INVALID_HANDLE_VALUE && InfoFromHandle(handle, info);
}

bool CanEnterFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFolder(const std::string& path) { return ::CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0; }

int ListFolder(const std::string& path, std::vector<std::string>* names, std::vector<ListedInfo>* infos) {
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '/' && pattern.back() != '\\') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW entry {};
  const HANDLE search = ::FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND && CanEnterFolder(path) ? 0 : ErrnoOf(error);
  }
  do {
    const std::string name = NarrowOf(entry.cFileName, wcslen(entry.cFileName));
    if (name.empty() || name == "." || name == "..") continue;
    names->push_back(name);
    if (infos == nullptr) continue;
    // The listing holds what an open would ask for; a reparse point is left
    // to the open, which follows or refuses it.
    ListedInfo listed;
    listed.known = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      listed.info.kind = PathKind::kFolder;
    } else {
      listed.info.size = (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    }
    infos->push_back(listed);
  } while (::FindNextFileW(search, &entry) != 0);
  const DWORD ended = ::GetLastError();
  ::FindClose(search);
  return ended == ERROR_NO_MORE_FILES ? 0 : ErrnoOf(ended);
}

const char* PathSeparators() { return "/\\"; }

char PathSeparator() { return '\\'; }

std::size_t RootLengthOf(const std::string& path) {
  const auto slash = [&path](std::size_t at) { return at < path.size() && (path[at] == '/' || path[at] == '\\'); };
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    return slash(2) ? 3 : 0;  // "C:name" is relative to a folder of the drive's own
  }
  if (slash(0) && slash(1)) {
    // \\server\share\ (or \\?\ and what follows it): two names past the slashes.
    std::size_t at = 2;
    for (int names = 0; names < 2 && at < path.size(); ++names) {
      while (at < path.size() && !slash(at)) ++at;
      if (at < path.size()) ++at;
    }
    return at;
  }
  return slash(0) ? 1 : 0;
}

std::string CurrentFolder(int* error) {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring buffer(size, L'\0');
  const DWORD got = size == 0 ? 0 : ::GetCurrentDirectoryW(size, buffer.data());
  if (got == 0 || got >= size) {
    if (error != nullptr) *error = got == 0 ? LastErrno() : ENAMETOOLONG;
    return std::string();
  }
  if (error != nullptr) *error = 0;
  return NarrowOf(buffer.data(), got);
}

std::string RealPathOf(const std::string& path) {
  const HANDLE handle = ::CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::string();
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD got = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  if (got >= buffer.size()) {
    buffer.assign(got + 1, L'\0');
    got = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  }
  ::CloseHandle(handle);
  if (got == 0 || got >= buffer.size()) return std::string();
  buffer.resize(got);
  // The prefix is the call's own; short paths read better without it.
  if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    buffer = L"\\\\" + buffer.substr(8);
  } else if (buffer.rfind(L"\\\\?\\", 0) == 0 && buffer.size() - 4 < kLongPathFrom) {
    buffer = buffer.substr(4);
  }
  return NarrowOf(buffer.data(), buffer.size());
}

std::time_t SecondsNow() {
  // The system's clock counts 100 ns steps since 1601.
  constexpr std::uint64_t kStepsTo1970 = 116444736000000000ULL;
  constexpr std::uint64_t kStepsASecond = 10000000ULL;
  FILETIME now {};
  ::GetSystemTimeAsFileTime(&now);
  const std::uint64_t steps = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  if (steps < kStepsTo1970) return static_cast<std::time_t>(-1);
  return static_cast<std::time_t>((steps - kStepsTo1970) / kStepsASecond);
}

FileHandle OpenForReading(const std::string& path, int* error, PathInfo* info) {
  FILE_ATTRIBUTE_TAG_INFO tag {};
  bool tagRead = false;
  const HANDLE handle = OpenUnfollowed(SystemPath(path), GENERIC_READ, OPEN_EXISTING, &tag, &tagRead);
  if (handle == INVALID_HANDLE_VALUE) {
    if (error != nullptr) *error = LastErrno();
    return kNoFile;
  }
  // The attributes the open read already serve: each query is a system call more.
  if (info != nullptr && !InfoFromHandle(handle, info, false, tagRead ? &tag : nullptr)) {
    ::CloseHandle(handle);
    if (error != nullptr) *error = EIO;
    return kNoFile;
  }
  return DescriptorOf(handle, _O_RDONLY, error);
}

// The system's own read-ahead serves: nothing to ask for.
void AdviseWillRead(const std::string&) {}

// Made here: Wine touches every page of a read's buffer first, a read and
// then a write, which costs a page never made two faults and a flush of
// every core's page tables; a page made before costs none. Locking makes
// the pages in the system (under Wine it is mlock) at half the cost of
// writing them; a part at a time, locked and unlocked at once, so no lock
// limit is reached. Where locking is refused (Windows holds it to the
// working set), the part is written once instead.
void PopulateMemory(std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr) return;
  for (std::size_t at = 0; at < size; at += kLargePageBytes) {
    const std::size_t part = std::min(kLargePageBytes, size - at);
    if (::VirtualLock(bytes + at, part)) {
      static_cast<void>(::VirtualUnlock(bytes + at, part));
    } else {
      std::memset(bytes + at, 0, part);
    }
  }
}

std::uint8_t* MapMemory(std::size_t size, bool populate) {
  void* const mapped = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  auto* const bytes = static_cast<std::uint8_t*>(mapped);
  if (populate) PopulateMemory(bytes, size);
  return bytes;
}

void UnmapMemory(std::uint8_t* bytes, std::size_t) {
  if (bytes != nullptr) static_cast<void>(::VirtualFree(bytes, 0, MEM_RELEASE));
}

// Reads here never return early: there is nothing to turn off.
bool MakeReadsBlocking(FileHandle file) { return HandleOf(file) != INVALID_HANDLE_VALUE; }

std::FILE* StreamOverFile(FileHandle file, const char* mode) {
  // Bytes go through untouched: a stream over a file is never in text mode.
  std::string binary = mode;
  if (binary.find('b') == std::string::npos) binary += 'b';
  return ::_fdopen(file, binary.c_str());
}

FileHandle FileOfStream(std::FILE* stream) { return ::_fileno(stream); }

int WriteSome(FileHandle file, const void* data, std::size_t count, std::size_t* written) {
  const unsigned chunk = count > INT_MAX ? INT_MAX : static_cast<unsigned>(count);
  const int n = ::_write(file, data, chunk);
  if (n < 0) return errno != 0 ? errno : EIO;
  *written = static_cast<std::size_t>(n);
  return 0;
}

bool TruncateFile(FileHandle file, std::uint64_t length) {
  return ::_chsize_s(file, static_cast<long long>(length)) == 0;
}

int SyncFile(FileHandle file) {
  const HANDLE handle = HandleOf(file);
  if (handle == INVALID_HANDLE_VALUE) return EBADF;
  return ::FlushFileBuffers(handle) != 0 ? 0 : LastErrno();
}

int CloseFile(FileHandle file) { return ::_close(file) != 0 ? (errno != 0 ? errno : EIO) : 0; }

int ReplaceFileName(const std::string& from, const std::string& to) {
  const std::wstring source = SystemPath(from);
  const std::wstring target = SystemPath(to);
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
      return 0;
    }
    const DWORD error = ::GetLastError();
    // Another program holding the target (a viewer, a scanner) may let go soon.
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                      error == ERROR_ACCESS_DENIED;
    if (!held || ::GetTickCount64() - start >= kReplaceRetryMs) return ErrnoOf(error);
    ::Sleep(kReplaceStepMs);
  }
}

void RemoveFile(const std::string& path) { ::DeleteFileW(SystemPath(path).c_str()); }

// The rename itself is written through; a folder has nothing more to flush.
void SyncFolder(const std::string&) {}

int CreateHeldTemporary(const std::string& prefix, FileHandle* file, std::string* path) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
    // No delete access: a database library opening the file beside this
    // handle shares reading and writing only.
    const HANDLE handle = ::CreateFileW(SystemPath(name).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return ErrnoOf(error);
    }
    // A sweeper may have taken the lock between the creation and here.
    if (!LockWithoutWaiting(handle)) {
      ::CloseHandle(handle);
      continue;
    }
    int error = 0;
    const FileHandle fd = DescriptorOf(handle, _O_RDWR, &error);
    if (fd == kNoFile) return error;
    *file = fd;
    *path = name;
    return 0;
  }
  return EAGAIN;
}

void RemoveIfUnheld(const std::string& path) {
  const HANDLE handle = OpenUnfollowed(SystemPath(path), GENERIC_READ | DELETE, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return;
  // Deleted through the locked handle, so only the file locked here goes.
  if (IsRegularFile(handle) && LockWithoutWaiting(handle)) {
    FILE_DISPOSITION_INFO disposition {};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition));
  }
  ::CloseHandle(handle);
}

LockAttempt LockFileWithoutWaiting(const std::string& path, FileHandle* file, int* error) {
  const std::wstring wide = SystemPath(path);
  HANDLE handle = OpenUnfollowed(wide, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = LastErrno();
    // A lock needs no write access: another user's lock file still serves.
    if (*error == EACCES || *error == EROFS) handle = OpenUnfollowed(wide, GENERIC_READ, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) return LockAttempt::kFailed;
  }
  if (!IsRegularFile(handle)) {
    ::CloseHandle(handle);
    *error = EEXIST;
    return LockAttempt::kFailed;
  }
  if (!LockWithoutWaiting(handle)) {
    const DWORD why = ::GetLastError();
    ::CloseHandle(handle);
    *error = why == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : ErrnoOf(why);
    return why == ERROR_LOCK_VIOLATION ? LockAttempt::kHeldElsewhere : LockAttempt::kFailed;
  }
  const FileHandle fd = DescriptorOf(handle, _O_RDWR, error);
  if (fd == kNoFile) return LockAttempt::kFailed;
  *error = 0;
  *file = fd;
  return LockAttempt::kTaken;
}

void PrepareStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::_get_osfhandle(fd) >= 0) continue;
    // The lowest free number is fd itself, as every lower one is open.
    const int opened = ::_open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::_dup2(opened, fd);
      ::_close(opened);
    }
  }
  // Unbuffered, each byte written would be a write of its own and a console
  // check (a round trip to Wine's server); the console flushes every line.
  std::setvbuf(stdout, nullptr, _IOFBF, kStandardOutputBuffer);
  ::SetConsoleOutputCP(CP_UTF8);
}

namespace {

// The console input's mode before the wait; a close or Ctrl-Break meanwhile
// gives it back before the process goes.
HANDLE waitInput = INVALID_HANDLE_VALUE;
DWORD savedInputMode = 0;

BOOL WINAPI RestoreConsoleAndEnd(DWORD) {
  if (waitInput != INVALID_HANDLE_VALUE) ::SetConsoleMode(waitInput, savedInputMode);
  return FALSE;  // the system's own handling ends the process
}

}  // namespace

void WaitForKeyOnTerminal() {
  if (::_isatty(0) == 0) return;
  // Only a console of its own (a double-click) closes with the program; in a
  // console the user started, the output stays and nothing needs waiting for.
  DWORD processes[2] = {};
  if (::GetConsoleProcessList(processes, 2) > 1) return;
  waitInput = ::GetStdHandle(STD_INPUT_HANDLE);
  if (waitInput == INVALID_HANDLE_VALUE || ::GetConsoleMode(waitInput, &savedInputMode) == 0) return;
  ::SetConsoleCtrlHandler(RestoreConsoleAndEnd, TRUE);
  ::_getch();
  ::SetConsoleCtrlHandler(RestoreConsoleAndEnd, FALSE);
  ::SetConsoleMode(waitInput, savedInputMode);
  waitInput = INVALID_HANDLE_VALUE;
}

}  // namespace zira
