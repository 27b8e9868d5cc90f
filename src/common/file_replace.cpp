#include "common/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string_view>
#include <vector>

#include "common/file_system.h"
#include "common/output_file.h"

namespace zira {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kUniqueLength = 6;  // mkstemp's XXXXXX
constexpr int kCreateAttempts = 8;

// ".<leaf>.tmp-" and then six letters or digits (a replacement's) or only
// digits (an earlier release's, the writer's pid); for any leaf when none is given.
bool IsTemporaryName(std::string_view name, std::string_view leaf) {
  const std::size_t mark = name.rfind(kTemporaryMark);
  if (name.empty() || name[0] != '.' || mark == std::string_view::npos || mark < 2) return false;
  if (!leaf.empty() && name.substr(1, mark - 1) != leaf) return false;
  const std::string_view tail = name.substr(mark + kTemporaryMark.size());
  bool digits = !tail.empty();
  bool unique = tail.size() == kUniqueLength;
  for (const char c : tail) {
    digits = digits && std::isdigit(static_cast<unsigned char>(c));
    unique = unique && std::isalnum(static_cast<unsigned char>(c));
  }
  return digits || unique;
}

int ErrnoOr(int fallback) { return errno != 0 ? errno : fallback; }

// Makes a rename in the folder survive a crash.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  static_cast<void>(::fsync(fd));
  ::close(fd);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

int FileReplacement::Begin(const std::string& target, FileFaults* faults) {
  Abandon();
  faults_ = faults;
  if (target.empty() || target.back() == '/') return EINVAL;
  struct stat standing {};
  if (::stat(target.c_str(), &standing) == 0 && !S_ISREG(standing.st_mode)) return EEXIST;
  const std::string pattern = FolderOf(target) + "/." + LeafOf(target) + std::string(kTemporaryMark) + "XXXXXX";
  // A sweeper may lock and remove the file between its creation and the lock
  // taken here; the name then no longer leads to this file, and a new one is made.
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return ErrnoOr(EIO);
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && ::lstat(name.data(), &named) == 0 &&
        SameFile(held, named)) {
      // mkstemp makes the file private; the finished file gets the mode any new file would.
      const mode_t mask = ::umask(0);
      ::umask(mask);
      static_cast<void>(::fchmod(fd, 0666 & ~mask));
      held_ = fd;
      target_ = target;
      temporary_ = name.data();
      return 0;
    }
    ::close(fd);
  }
  return EAGAIN;
}

int FileReplacement::Finish() {
  if (held_ < 0) return EBADF;
  int error = ::fsync(held_) != 0 ? ErrnoOr(EIO) : 0;
  // Closed before the rename: a close that fails (over a network) leaves the target as it was.
  const int closeFault = InjectedFileFault(faults_, FileOperation::kClose);
  const int closed = ::close(held_) != 0 ? ErrnoOr(EIO) : closeFault;
  held_ = -1;
  if (error == 0) error = closed;
  if (error == 0) error = InjectedFileFault(faults_, FileOperation::kRename);
  if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = ErrnoOr(EIO);
  if (error != 0) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return error;
  }
  temporary_.clear();
  // A fault planned here leaves the folder unsynced, which no run can tell.
  if (InjectedFileFault(faults_, FileOperation::kSyncFolder) == 0) SyncFolder(FolderOf(target_));
  return 0;
}

int FileReplacement::PlaceEmpty() {
  if (held_ < 0) {
    errno = EBADF;
    return -1;
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = ErrnoOr(EIO);
    Abandon();
    errno = error;
    return -1;
  }
  const int fd = held_;
  held_ = -1;
  temporary_.clear();
  return fd;
}

void FileReplacement::Abandon() {
  if (held_ < 0) return;
  // Removed while still held, so no sweeper takes it for a leftover meanwhile.
  ::unlink(temporary_.c_str());
  ::close(held_);
  held_ = -1;
  temporary_.clear();
}

void RemoveLeftoverTemporaries(const std::string& folder, const std::string& leaf) {
  DIR* handle = ::opendir(folder.c_str());
  if (handle == nullptr) return;
  while (const dirent* entry = ::readdir(handle)) {
    if (!IsTemporaryName(entry->d_name, leaf)) continue;
    const std::string leftover = folder + "/" + entry->d_name;
    const int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    struct stat named {};
    // Removed only while locked here, and only when the name still leads to the locked file.
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(leftover.c_str(), &named) == 0 && SameFile(held, named)) {
      ::unlink(leftover.c_str());
    }
    ::close(fd);
  }
  ::closedir(handle);
}

int InjectedFileFault(FileFaults* faults, FileOperation operation) {
  if (faults == nullptr) return 0;
  const unsigned count = ++faults->counts[static_cast<int>(operation)];
  return faults->nth != 0 && faults->operation == operation && count == faults->nth ? faults->error : 0;
}

}  // namespace zira
