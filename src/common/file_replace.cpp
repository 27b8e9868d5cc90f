#include "common/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace zira {

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

}  // namespace

std::string CreateTempFileBeside(const std::string& path) {
  if (path.empty() || path.back() == '/') return std::string();
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // Hidden and marked, so that a run killed half-way leaves an obvious leftover.
  std::string pattern = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." + name +
                        ".tmp-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkstemp(buffer.data());
  if (fd < 0) return std::string();
  // mkstemp makes the file private; the finished file gets the mode any new file would.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  static_cast<void>(::fchmod(fd, 0666 & ~mask));
  ::close(fd);
  return std::string(buffer.data());
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
