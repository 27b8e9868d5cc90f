#pragma once
#include <string>

namespace zira {

// The one way an output is replaced whole: the new contents go into a
// temporary file beside the target, which is synced, renamed over the target,
// and then the folder is synced, so that a reader, a failed run or a crash
// finds the old file or the new one, never a part. Paths are real paths.
//
// A replacement's temporary file is ".<name>.tmp-" and six letters or digits,
// held with an flock while its writer lives: a file of that name that nobody
// holds is the leftover of a killed writer.
class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  // An unfinished replacement is removed; the target stays as it was.
  ~FileReplacement() { Abandon(); }

  // Creates the empty temporary file beside target: 0, or the errno of the
  // failure. Only a regular file, a link to one or nothing may stand at the
  // target (EEXIST otherwise); a link is replaced, never written through.
  [[nodiscard]] int Begin(const std::string& target);
  // A descriptor of its own for writing the temporary file, which the caller
  // closes (and checks) before Finish; -1 with errno set when none is left.
  int OpenWriter() const;
  const std::string& TemporaryPath() const { return temporary_; }
  bool IsActive() const { return held_ >= 0; }

  // Syncs the temporary file, renames it over the target and syncs the
  // folder: 0, or the errno of the step that failed, and then the temporary
  // file is gone and the target is as it was. A folder that cannot be synced
  // does not undo the rename: the new contents are in place by then.
  [[nodiscard]] int Finish();
  // Only renames: for a new file that takes its name empty and is then
  // written in place, with nothing yet to make durable.
  [[nodiscard]] int FinishUnsynced();
  // Removes the temporary file; the target stays as it was.
  void Abandon();

 private:
  int Rename(bool sync);

  int held_ = -1;
  std::string target_;
  std::string temporary_;
};

// Removes killed writers' leftovers in folder: regular files that no live
// writer holds, named as a replacement names them or as earlier releases
// named reports in progress (".<name>.tmp-<pid>"); only those of the file
// named leaf when one is given.
void RemoveLeftoverTemporaries(const std::string& folder, const std::string& leaf = std::string());

}  // namespace zira
