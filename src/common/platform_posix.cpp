#include "common/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace zira {

namespace {

// A path that does not fit is longer than the system lets a path be.
constexpr std::size_t kCwdCapacity = 4096;
constexpr int kCreateAttempts = 8;

int ErrnoOr(int fallback) { return errno != 0 ? errno : fallback; }

PathInfo InfoFrom(const struct stat& status) {
  PathInfo info;
  info.device = status.st_dev;
  info.inode = status.st_ino;
  info.size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
  if (S_ISREG(status.st_mode)) {
    info.kind = PathKind::kRegular;
  } else if (S_ISDIR(status.st_mode)) {
    info.kind = PathKind::kFolder;
  } else if (S_ISLNK(status.st_mode)) {
    info.kind = PathKind::kLink;
  } else if (S_ISFIFO(status.st_mode)) {
    info.kind = PathKind::kFifo;
  } else if (S_ISSOCK(status.st_mode)) {
    info.kind = PathKind::kSocket;
  } else {
    info.kind = PathKind::kDevice;
  }
  return info;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether path still leads to the open file, not to one put in its place.
bool NameLeadsTo(int fd, const char* path) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && ::lstat(path, &named) == 0 && SameFile(held, named);
}

}  // namespace

bool InfoOfPath(const std::string& path, bool followLinks, PathInfo* info) {
  struct stat status {};
  const int result = followLinks ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
  if (result != 0) return false;
  if (info != nullptr) *info = InfoFrom(status);
  return true;
}

bool InfoOfPathWithIdentity(const std::string& path, bool followLinks, PathInfo* info) {
  return InfoOfPath(path, followLinks, info);
}

bool InfoOfFile(FileHandle file, PathInfo* info) {
  struct stat status {};
  if (::fstat(file, &status) != 0) return false;
  if (info != nullptr) *info = InfoFrom(status);
  return true;
}

bool CanEnterFolder(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

bool MakeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

// A listing here gives no sizes: every info stays unknown.
int ListFolder(const std::string& path, std::vector<std::string>* names, std::vector<ListedInfo>* infos) {
  DIR* handle = ::opendir(path.c_str());
  if (handle == nullptr) return ErrnoOr(EIO);
  while (const dirent* entry = ::readdir(handle)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    names->push_back(name);
    if (infos != nullptr) infos->emplace_back();
  }
  ::closedir(handle);
  return 0;
}

const char* PathSeparators() { return "/"; }

char PathSeparator() { return '/'; }

std::size_t RootLengthOf(const std::string& path) { return !path.empty() && path[0] == '/' ? 1 : 0; }

std::string CurrentFolder(int* error) {
  char buffer[kCwdCapacity];
  if (::getcwd(buffer, sizeof(buffer)) == nullptr) {
    const int why = errno != 0 ? errno : ENAMETOOLONG;
    if (error != nullptr) *error = why == ERANGE ? ENAMETOOLONG : why;
    return std::string();
  }
  if (error != nullptr) *error = 0;
  return buffer;
}

std::string RealPathOf(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return std::string();
  std::string result = real;
  std::free(real);
  return result;
}

std::time_t SecondsNow() { return std::time(nullptr); }

FileHandle OpenForReading(const std::string& path, int* error, PathInfo* info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (error != nullptr) *error = ErrnoOr(EIO);
    return kNoFile;
  }
  if (info != nullptr && !InfoOfFile(fd, info)) {
    if (error != nullptr) *error = EIO;
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

std::uint8_t* MapMemory(std::size_t size, bool populate) {
  constexpr std::size_t kLarge = kLargePageBytes;
  if (size < kLarge || size > SIZE_MAX - 2 * kLarge) {
    void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : 0), -1, 0);
    return bytes == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(bytes);
  }
  // Only the whole large pages inside a mapping can be large, so the buffer
  // starts on one: mapped a large page longer, the slack on both sides goes.
  static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t length = (size + page - 1) / page * page;
  void* mapped = ::mmap(nullptr, length + kLarge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto* const raw = static_cast<std::uint8_t*>(mapped);
  const std::size_t head = (kLarge - reinterpret_cast<std::uintptr_t>(raw) % kLarge) % kLarge;
  std::uint8_t* const bytes = raw + head;
  if (head != 0) static_cast<void>(::munmap(raw, head));
  static_cast<void>(::munmap(bytes + length, kLarge - head));
  // Where a first touch of every small page is dear (under some hypervisors
  // many microseconds), large pages make a buffer's pages a few hundred
  // times fewer. Refused where the system has none; the buffer works alike.
  static_cast<void>(::madvise(bytes, length, MADV_HUGEPAGE));
  if (populate) PopulateMemory(bytes, length);
  return bytes;
}

void PopulateMemory(std::uint8_t* bytes, std::size_t size) {
#ifndef MADV_POPULATE_WRITE
  constexpr int MADV_POPULATE_WRITE = 23;  // older headers lack it; older kernels refuse it
#endif
  if (bytes != nullptr && size != 0) static_cast<void>(::madvise(bytes, size, MADV_POPULATE_WRITE));
}

void UnmapMemory(std::uint8_t* bytes, std::size_t size) {
  if (bytes != nullptr) static_cast<void>(::munmap(bytes, size));
}

void AdviseWillRead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    // A file whose last byte is in memory was read whole not long ago: the
    // advice would only walk its pages. Reading that byte never waits.
    char last = 0;
    struct iovec byte {&last, 1};
    if (::preadv2(fd, &byte, 1, info.st_size - 1, RWF_NOWAIT) != 1) {
      static_cast<void>(::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED));
    }
  }
  ::close(fd);
}

bool MakeReadsBlocking(FileHandle file) {
  const int flags = ::fcntl(file, F_GETFL);
  return flags >= 0 && ::fcntl(file, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

std::FILE* StreamOverFile(FileHandle file, const char* mode) { return ::fdopen(file, mode); }

FileHandle FileOfStream(std::FILE* stream) { return ::fileno(stream); }

int WriteSome(FileHandle file, const void* data, std::size_t count, std::size_t* written) {
  const ssize_t n = ::write(file, data, count);
  if (n < 0) return ErrnoOr(EIO);
  *written = static_cast<std::size_t>(n);
  return 0;
}

bool TruncateFile(FileHandle file, std::uint64_t length) {
  return ::ftruncate(file, static_cast<off_t>(length)) == 0;
}

int SyncFile(FileHandle file) { return ::fsync(file) != 0 ? ErrnoOr(EIO) : 0; }

int CloseFile(FileHandle file) { return ::close(file) != 0 ? ErrnoOr(EIO) : 0; }

int ReplaceFileName(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) != 0 ? ErrnoOr(EIO) : 0;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  static_cast<void>(::fsync(fd));
  ::close(fd);
}

int CreateHeldTemporary(const std::string& prefix, FileHandle* file, std::string* path) {
  const std::string pattern = prefix + "XXXXXX";
  // A sweeper may lock and remove the file between its creation and the lock
  // taken here; the name then no longer leads to this file, and a new one is made.
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return ErrnoOr(EIO);
    if (::flock(fd, LOCK_EX) == 0 && NameLeadsTo(fd, name.data())) {
      // mkstemp makes the file private; the finished file gets the mode any new file would.
      const mode_t mask = ::umask(0);
      ::umask(mask);
      static_cast<void>(::fchmod(fd, 0666 & ~mask));
      *file = fd;
      *path = name.data();
      return 0;
    }
    ::close(fd);
  }
  return EAGAIN;
}

void RemoveIfUnheld(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat held {};
  if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      NameLeadsTo(fd, path.c_str())) {
    ::unlink(path.c_str());
  }
  ::close(fd);
}

LockAttempt LockFileWithoutWaiting(const std::string& path, FileHandle* file, int* error) {
  constexpr int kFlags = O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
  if (fd < 0) {
    *error = errno;
    // flock needs no write access: another user's lock file still serves.
    if (*error == EACCES || *error == EROFS) fd = ::open(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0) return LockAttempt::kFailed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *error = errno;
    ::close(fd);
    return *error == EWOULDBLOCK ? LockAttempt::kHeldElsewhere : LockAttempt::kFailed;
  }
  *error = 0;
  *file = fd;
  return LockAttempt::kTaken;
}

void PrepareStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is fd itself, as every lower one is open.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

namespace {

// The signals that end a run at the key wait; each must give the terminal
// its echo back before the process goes.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kEndingSignalCount = sizeof(kEndingSignals) / sizeof(kEndingSignals[0]);

// Needs no saved copy of the terminal: the wait turns only line input and
// echo off, so turning them on again gives the terminal back as it was.
extern "C" void RestoreTerminalAndEnd(int signal) {
  termios now {};
  if (::tcgetattr(STDIN_FILENO, &now) == 0) {
    now.c_lflag |= ICANON | ECHO;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &now);
  }
  // Raised again with the default action, so the process ends with the
  // signal's usual status once this handler returns.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void WaitForKeyOnTerminal() {
  if (::isatty(STDIN_FILENO) == 0) return;
  termios savedTerminal {};
  if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;

  struct sigaction previous[kEndingSignalCount] = {};
  struct sigaction restore {};
  restore.sa_handler = RestoreTerminalAndEnd;
  sigemptyset(&restore.sa_mask);
  for (int i = 0; i < kEndingSignalCount; ++i) {
    ::sigaction(kEndingSignals[i], nullptr, &previous[i]);
    // A signal the caller chose to ignore stays ignored.
    if (previous[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &restore, nullptr);
  }

  termios raw = savedTerminal;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key = 0;
  [[maybe_unused]] const ssize_t got = ::read(STDIN_FILENO, &key, 1);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);

  for (int i = 0; i < kEndingSignalCount; ++i) ::sigaction(kEndingSignals[i], &previous[i], nullptr);
}

}  // namespace zira
