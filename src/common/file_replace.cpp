#include "common/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zira {

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

constexpr int kCreateAttempts = 8;
constexpr std::size_t kTempSuffixLength = 6;  // mkstemp's XXXXXX

// ".<name>.tmp-": hidden and marked, so that a killed writer's leftover is obvious.
std::string TempNamePrefix(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return "." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp-";
}

// The prefix and then exactly the six letters or digits mkstemp puts in.
bool IsTempNameOf(const char* name, const std::string& prefix) {
  const std::size_t length = std::strlen(name);
  if (length != prefix.size() + kTempSuffixLength || std::strncmp(name, prefix.c_str(), prefix.size()) != 0) {
    return false;
  }
  for (std::size_t i = prefix.size(); i < length; ++i) {
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

bool SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

}  // namespace

HeldTempFile::~HeldTempFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool HeldTempFile::Create(const std::string& path) {
  if (path.empty() || path.back() == '/') return false;
  const std::string pattern = DirectoryOf(path) + "/" + TempNamePrefix(path) + "XXXXXX";
  // A sweeper may lock and remove the file between its creation and the lock
  // taken here; the name then no longer leads to this file, and a new one is made.
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && ::lstat(buffer.data(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      // mkstemp makes the file private; the finished file gets the mode any new file would.
      const mode_t mask = ::umask(0);
      ::umask(mask);
      static_cast<void>(::fchmod(fd, 0666 & ~mask));
      fd_ = fd;
      path_ = buffer.data();
      return true;
    }
    ::close(fd);
  }
  return false;
}

void RemoveStaleTempFilesBeside(const std::string& path) {
  if (path.empty() || path.back() == '/') return;
  const std::string folder = DirectoryOf(path);
  const std::string prefix = TempNamePrefix(path);
  DIR* handle = ::opendir(folder.c_str());
  if (handle == nullptr) return;
  while (const dirent* entry = ::readdir(handle)) {
    if (!IsTempNameOf(entry->d_name, prefix)) continue;
    const std::string leftover = folder + "/" + entry->d_name;
    const int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    struct stat named {};
    // Removed only while locked here, and only when the name still leads to the locked file.
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(leftover.c_str(), &named) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      ::unlink(leftover.c_str());
    }
    ::close(fd);
  }
  ::closedir(handle);
}

bool ReplaceFileWith(const std::string& temp, const std::string& path) {
  if (!SyncPath(temp, O_RDONLY)) return false;
  if (std::rename(temp.c_str(), path.c_str()) != 0) return false;
  // The new contents are in place; a directory that cannot be flushed does not undo that.
  static_cast<void>(SyncPath(DirectoryOf(path), O_RDONLY | O_DIRECTORY));
  return true;
}

void RemoveFileIfPresent(const std::string& path) {
  if (!path.empty()) static_cast<void>(::unlink(path.c_str()));
}

}  // namespace zira
