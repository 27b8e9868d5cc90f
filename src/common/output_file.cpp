#include "common/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/file_system.h"
#include "common/machine_refusal.h"

namespace zira {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr const char* kTemporaryMark = ".tmp-";

// Counts one operation; the errno to fail it with, or 0 to let it run.
int InjectedFault(ClientFolder* folder, FileOperation operation) {
  FileFaults* plan = folder != nullptr ? folder->Faults() : nullptr;
  if (plan == nullptr) return 0;
  const unsigned count = ++plan->counts[static_cast<int>(operation)];
  return plan->nth != 0 && plan->operation == operation && count == plan->nth ? plan->error : 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// ".<name>.tmp-<pid>" beside the name.
std::string TemporaryBeside(const std::string& path) {
  return FolderOf(path) + "/." + LeafOf(path) + kTemporaryMark + std::to_string(::getpid());
}

// Only a regular file, a link to one or nothing may stand at an output's name.
bool MayReplace(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

// Opens for writing without blocking and keeps the descriptor only when it
// names a regular file: a FIFO or device at an output's name would hang the
// run or swallow the report.
int OpenRegularForWriting(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = 0;  // refused for its kind, not by the machine
    return -1;
  }
  return fd;
}

// A name this layer gives to a report in progress: ".<name>.tmp-<pid>".
bool IsTemporaryName(const char* name) {
  const char* mark = std::strstr(name, kTemporaryMark);
  if (name[0] != '.' || mark == nullptr || mark <= name + 1) return false;
  const char* digits = mark + std::strlen(kTemporaryMark);
  if (*digits == '\0' || std::strstr(digits, kTemporaryMark) != nullptr) return false;
  for (const char* c = digits; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

// Only a run that holds the lock calls this, so no live run owns these files.
void RemoveStaleTemporaries(ClientFolder& files, const std::string& folder) {
  DIR* handle = ::opendir(folder.c_str());
  if (handle == nullptr) return;
  while (const dirent* entry = ::readdir(handle)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path.c_str());
  }
  ::closedir(handle);
  files.ForgetListing(folder);
}

}  // namespace

bool OutputFile::Open(ClientFolder& folder, const char* name) {
  Close();
  if (name == nullptr || name[0] == '\0') return false;
  folder_ = &folder;
  path_ = folder.ResolveForWriting(name);
  if (path_.empty() || !MayReplace(path_)) return false;
  // A new file takes the name at once and is then written in place: a link
  // standing at the name is replaced, not followed, so its target is never written.
  const std::string fresh = TemporaryBeside(path_);
  ::unlink(fresh.c_str());
  fd_ = OpenRegularForWriting(fresh, O_CREAT | O_EXCL);
  if (fd_ < 0) {
    folder_->Refusals().Note(errno, LeafOf(path_).c_str());
    return false;
  }
  if (::rename(fresh.c_str(), path_.c_str()) != 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(fresh.c_str());
    return false;
  }
  replacing_ = false;
  error_ = 0;
  flushed_ = 0;
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  folder_->ForgetListing(FolderOf(path_));
  return true;
}

bool OutputFile::OpenReplacing(ClientFolder& folder, const char* name) {
  Close();
  if (name == nullptr || name[0] == '\0') return false;
  folder_ = &folder;
  path_ = folder.ResolveForWriting(name);
  if (path_.empty() || !MayReplace(path_)) return false;
  temporary_ = TemporaryBeside(path_);
  ::unlink(temporary_.c_str());
  fd_ = OpenRegularForWriting(temporary_, O_CREAT | O_EXCL);
  if (fd_ < 0) {
    folder_->Refusals().Note(errno, LeafOf(path_).c_str());
    return false;
  }
  replacing_ = true;
  error_ = 0;
  flushed_ = 0;
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  return true;
}

bool OutputFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  buffer_.clear();
  return false;
}

void OutputFile::Write(const void* data, std::size_t count) {
  if (fd_ < 0 || error_ != 0 || data == nullptr || count == 0) return;
  buffer_.append(static_cast<const char*>(data), count);
  if (buffer_.size() >= kBufferSize) static_cast<void>(Flush());
}

void OutputFile::Write(const char* text) {
  if (text != nullptr) Write(text, std::strlen(text));
}

void OutputFile::Print(const char* format, ...) {
  if (fd_ < 0 || error_ != 0 || format == nullptr) return;
  char small[1024];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof(small), format, args);
  va_end(args);
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof(small)) {
    Write(small, static_cast<std::size_t>(length));
  } else if (length >= 0) {
    std::string large(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, again);
    Write(large.data(), static_cast<std::size_t>(length));
  }
  va_end(again);
}

bool OutputFile::Flush() {
  if (fd_ < 0 || error_ != 0) return false;
  if (const int injected = InjectedFault(folder_, FileOperation::kFlush)) return Fail(injected);
  std::size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t n = -1;
    if (const int injected = InjectedFault(folder_, FileOperation::kWrite)) {
      errno = injected;
    } else {
      n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    }
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      // Cut a file written in place back to where its writer last flushed.
      if (!replacing_ && ::ftruncate(fd_, static_cast<off_t>(flushed_)) != 0) {
        // Nothing more can be done; the error below says the file is incomplete.
      }
      return Fail(error);
    }
    done += static_cast<std::size_t>(n);
  }
  flushed_ += done;
  buffer_.clear();
  return true;
}

int OutputFile::Commit() {
  if (fd_ < 0) return error_ != 0 ? error_ : EBADF;
  if (Flush() && replacing_ && ::fsync(fd_) != 0) Fail(errno);
  const int injected = InjectedFault(folder_, FileOperation::kClose);
  if (::close(fd_) != 0 || injected != 0) Fail(injected != 0 ? injected : errno);
  fd_ = -1;
  if (replacing_) {
    const int renameFault = error_ == 0 ? InjectedFault(folder_, FileOperation::kRename) : 0;
    if (error_ == 0 && renameFault != 0) Fail(renameFault);
    if (error_ == 0 && ::rename(temporary_.c_str(), path_.c_str()) != 0) Fail(errno);
    if (error_ != 0) ::unlink(temporary_.c_str());
    folder_->ForgetListing(FolderOf(path_));
  }
  replacing_ = false;
  return error_;
}

void OutputFile::Discard() {
  ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_.c_str());
  replacing_ = false;
}

void OutputFile::Close() {
  if (fd_ < 0) return;
  if (replacing_) {
    Discard();
    return;
  }
  static_cast<void>(Commit());
}

FolderLock OutputFolderLock::Take(ClientFolder& files, const char* outputPath, int* error) {
  Release();
  int unused = 0;
  int& why = error != nullptr ? *error : unused;
  why = ENOENT;
  std::string folder;
  if (outputPath == nullptr || !files.ResolveExisting(outputPath, &folder)) return FolderLock::kUnavailable;
  const std::string path = folder + "/" + kOutputLockName;
  constexpr int kFlags = O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
  if (fd < 0) {
    why = errno;
    // flock needs no write access: another user's lock file still serves.
    if (why == EACCES || why == EROFS) fd = ::open(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0) return FolderLock::kUnavailable;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    why = errno;
    ::close(fd);
    return why == EWOULDBLOCK ? FolderLock::kHeldElsewhere : FolderLock::kUnavailable;
  }
  why = 0;
  fd_ = fd;
  RemoveStaleTemporaries(files, folder);
  return FolderLock::kTaken;
}

void OutputFolderLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace zira
