#pragma once
#include <cstddef>
#include <string>

#include "common/file_replace.h"

namespace zira {

class ClientFolder;

// Outputs: the log, written in place, and the reports, each written as a
// FileReplacement and so renamed over its name only once whole, so that a
// failed or killed run leaves the previous report as it was. Every system
// call is checked; the first failure is kept with its errno and later writes
// are dropped.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { Close(); }

  // Creates a new, empty file at the name and writes it in place. Only a
  // regular file, a link to one or no file is accepted at the name (a FIFO,
  // device or directory is refused at once); a link is replaced, not followed.
  bool Open(ClientFolder& folder, const char* name);
  // Writes a replacement's temporary file beside the name; Commit puts it in
  // place. The name, if it exists, must be a regular file or a link to one.
  bool OpenReplacing(ClientFolder& folder, const char* name);
  bool IsOpen() const { return fd_ != kNoFile; }
  // Keeps what is written in memory instead, for a part of a report that
  // another thread writes; TakeText() then hands it over and ends it.
  void OpenInMemory();
  std::string TakeText();

  void Write(const char* text);
  void Write(const void* data, std::size_t count);
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Hands the buffered bytes to the system. A file written in place that
  // fails here is cut back to its length after the last good flush, so it
  // ends where its writer last flushed (a whole line, for the log).
  bool Flush();
  // Flushes and closes; a replacement is then synced and renamed into place,
  // or removed when anything failed. Returns 0 or the errno of the first failure.
  [[nodiscard]] int Commit();
  // Ends without committing: a file in place keeps what was flushed, a
  // replacement is removed and the previous file stays.
  void Close();
  // The errno of the first failure since Open, 0 when none.
  int Error() const { return error_; }
  // Bytes in the file after the last good flush, and bytes written since.
  std::size_t Flushed() const { return flushed_; }
  std::size_t Buffered() const { return buffer_.size(); }

 private:
  void Start(bool replacing);
  bool Fail(int error);

  ClientFolder* folder_ = nullptr;  // the folder opened through, whose listing changes
  FileHandle fd_ = kNoFile;
  bool replacing_ = false;
  bool inMemory_ = false;
  int error_ = 0;
  std::string path_;  // the file's real path
  FileReplacement replacement_;
  std::string buffer_;
  std::size_t flushed_ = 0;  // bytes in the file after the last good flush
};

// The lock a run holds on its output folder: kOutputLockName, locked with
// a lock that goes with its holder, so a killed run's lock goes with its process.
inline constexpr const char* kOutputLockName = ".zira.lock";
enum class FolderLock { kTaken, kHeldElsewhere, kUnavailable };
// Takes the lock without waiting; once taken, removes the temporary report
// files that a killed run left in the folder. kUnavailable when the folder or
// its lock file cannot be opened or locked (a link at the lock's name is not
// followed); error, when given, then receives the errno. Held until Release
// or the end of the object.
class OutputFolderLock {
 public:
  OutputFolderLock() = default;
  ~OutputFolderLock() { Release(); }
  OutputFolderLock(const OutputFolderLock&) = delete;
  OutputFolderLock& operator=(const OutputFolderLock&) = delete;

  FolderLock Take(ClientFolder& folder, const char* outputPath, int* error = nullptr);
  void Release();

 private:
  FileHandle fd_ = kNoFile;
};

}  // namespace zira
