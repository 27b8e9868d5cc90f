#pragma once
#include <string>

namespace zira {

// Whole-file replacement for outputs that other programs read: the new
// contents go into a temporary file beside the target, which is renamed over
// the target only once complete, so a reader sees the old file or the new
// one, never a part. Paths are plain paths of this system, taken as given.

// An empty file with a unique name, ".<name>.tmp-XXXXXX", in the directory
// of path, held with an flock while this object lives: a file of that name
// that nobody holds is the leftover of a killed writer.
class HeldTempFile {
 public:
  HeldTempFile() = default;
  HeldTempFile(const HeldTempFile&) = delete;
  HeldTempFile& operator=(const HeldTempFile&) = delete;
  ~HeldTempFile();
  // False when the file cannot be created.
  bool Create(const std::string& path);
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Removes the leftovers of killed writers beside path: regular files named
// exactly as HeldTempFile names them for path that no live writer holds.
void RemoveStaleTempFilesBeside(const std::string& path);

// Flushes temp to disk and renames it over path (and flushes the directory,
// so the rename survives a crash). False when any step fails; temp is then
// still there for the caller to remove.
bool ReplaceFileWith(const std::string& temp, const std::string& path);

// Removes a file; a file that is not there is no error.
void RemoveFileIfPresent(const std::string& path);

}  // namespace zira
