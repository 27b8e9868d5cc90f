#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace zira {

// The few calls to the operating system, behind one interface with one
// implementation per platform; everything above it is the same code
// everywhere. Paths are the system's own, in UTF-8. Failures are errno
// values (0 for success), so callers keep one vocabulary of reasons.

// An open file, opaque to callers.
using FileHandle = int;
inline constexpr FileHandle kNoFile = -1;

enum class PathKind { kRegular, kFolder, kLink, kFifo, kSocket, kDevice };
struct PathInfo {
  PathKind kind = PathKind::kRegular;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
};

// What stands at path; followLinks false describes a link itself. The device
// and inode are there only where they come with the rest (POSIX); asked for
// by name, InfoOfPathWithIdentity gives them everywhere.
bool InfoOfPath(const std::string& path, bool followLinks, PathInfo* info);
bool InfoOfPathWithIdentity(const std::string& path, bool followLinks, PathInfo* info);
bool InfoOfFile(FileHandle file, PathInfo* info);
// Whether a process could enter the folder.
bool CanEnterFolder(const std::string& path);
bool MakeFolder(const std::string& path);
// What a folder's listing says of one entry, where it says enough to spare a
// look at the entry itself (known false elsewhere: a POSIX listing, a link).
struct ListedInfo {
  bool known = false;
  PathInfo info;  // as InfoOfPath following links gives it
};
// The entries of a folder, without "." and "..": 0 or the errno of the
// failure. infos, when given, gets one element per name.
int ListFolder(const std::string& path, std::vector<std::string>* names, std::vector<ListedInfo>* infos = nullptr);
// The characters that separate a path's folders ("/" here; either slash on Windows).
const char* PathSeparators();
// The separator the system writes when it joins a path ('/' here, '\\' on Windows).
char PathSeparator();
// The length of the root that makes path absolute ("/" here, a drive or a
// share on Windows), or 0 for a relative path.
std::size_t RootLengthOf(const std::string& path);
// The process's current folder, or empty with the reason in *error (a path
// too long to read is ENAMETOOLONG).
std::string CurrentFolder(int* error);
// The real path (links resolved), or empty.
std::string RealPathOf(const std::string& path);
// The time now in whole seconds since 1970, or -1: the C library's time(),
// which under Wine reads the time zone's file twice on every call.
std::time_t SecondsNow();

// Opens for reading without blocking (a FIFO without a writer returns at
// once) and without taking a terminal: kNoFile with the reason in *error.
// info, when given, gets what InfoOfFile would say of the open file; when
// the system would not say, the file is closed again and *error is EIO.
FileHandle OpenForReading(const std::string& path, int* error, PathInfo* info = nullptr);
// Tells the system that a regular file at path will be read soon, so it can
// fetch it meanwhile; anything else, or a failure, is let be.
void AdviseWillRead(const std::string& path);
// Memory straight from the system and given back to it whole, so that a
// large buffer freed leaves no hole that the allocator keeps: nullptr when
// the system refuses. With populate, its pages are there when it returns,
// made in one go rather than a page fault apiece as reads and inflation fill
// them; without, PopulateMemory makes them, a part at a time. From a large
// page on, the memory starts on one and asks for large pages, where the
// system has them.
std::uint8_t* MapMemory(std::size_t size, bool populate = true);
// The large page that MapMemory aligns to and PopulateMemory's parts follow.
inline constexpr std::size_t kLargePageBytes = 2u << 20;
void UnmapMemory(std::uint8_t* bytes, std::size_t size);
// Makes the pages of a part of mapped memory now, as MapMemory would have;
// where the system cannot, the first writes make them.
void PopulateMemory(std::uint8_t* bytes, std::size_t size);
// Makes reads of a file opened above wait for their bytes again.
bool MakeReadsBlocking(FileHandle file);
// A buffered stream over the file, which then owns it; nullptr with errno set.
std::FILE* StreamOverFile(FileHandle file, const char* mode);
FileHandle FileOfStream(std::FILE* stream);

// Writes up to count bytes: 0 with *written set, or the errno (EINTR included).
int WriteSome(FileHandle file, const void* data, std::size_t count, std::size_t* written);
bool TruncateFile(FileHandle file, std::uint64_t length);
// Flushes the file's data to the device: 0 or the errno.
int SyncFile(FileHandle file);
// 0 or the errno; the handle is gone either way.
int CloseFile(FileHandle file);
// Renames over an existing target: 0 or the errno.
int ReplaceFileName(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);
// Makes a rename in the folder survive a crash; best effort.
void SyncFolder(const std::string& folder);

// Creates a new file named prefix and six letters or digits, held with an
// exclusive lock and with the mode any new file gets: 0 with the file and its
// path, or the errno (EAGAIN when other processes kept taking the name away).
int CreateHeldTemporary(const std::string& prefix, FileHandle* file, std::string* path);
// Removes the regular file at path if no process holds its lock, and only
// while the name still leads to the file locked here.
void RemoveIfUnheld(const std::string& path);

enum class LockAttempt { kTaken, kHeldElsewhere, kFailed };
// Opens (creating it, not following a link) and locks the file at path
// without waiting; a lock that cannot be written still locks. The lock goes
// with the handle, or with the process.
LockAttempt LockFileWithoutWaiting(const std::string& path, FileHandle* file, int* error);

// Standard streams closed by the caller are opened on the null device, and a
// closed pipe or a file-size limit becomes a failed write, not a signal.
void PrepareStandardStreams();
// Waits for one key, without echo, when standard input is a terminal; an
// ending signal meanwhile gives the terminal back before the process goes.
void WaitForKeyOnTerminal();

}  // namespace zira
