#pragma once
#include <string>

#include "common/platform.h"

namespace zira {

// Test seam: the nth output operation of a kind, counted from Inject, fails
// with the given errno (nth 0 disarms). Counts start again at 0. A folder
// made with a plan applies it to every output opened through it. A
// replacement's rename and its folder's sync are counted, not the rename that
// gives a file written in place its name.
enum class FileOperation { kWrite, kFlush, kClose, kRename, kSyncFolder };
struct FileFaults {
  unsigned counts[5] = {};
  FileOperation operation = FileOperation::kWrite;
  unsigned nth = 0;
  int error = 0;

  void Inject(FileOperation kind, unsigned count, int errorNumber) {
    *this = FileFaults{};
    operation = kind;
    nth = count;
    error = errorNumber;
  }
  // Operations of a kind since the last Inject.
  unsigned Count(FileOperation kind) const { return counts[static_cast<int>(kind)]; }
};

// Counts one operation where the file layer runs it: the errno a planned
// fault fails it with, or 0 to let it run (always 0 without a plan).
int InjectedFileFault(FileFaults* faults, FileOperation operation);

// The one way an output is replaced whole: the new contents go into a
// temporary file beside the target, which is synced, renamed over the target,
// and then the folder is synced, so that a reader, a failed run or a crash
// finds the old file or the new one, never a part. Paths are real paths.
//
// A replacement's temporary file is ".<name>.tmp-" and six letters or digits,
// held with a lock from its creation until it is closed, just before the
// rename: a file of that name that nobody holds is the leftover of a killed
// writer. (Only a sweep of another run could meet it unheld in between, and
// then the rename fails and the target stays as it was.)
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
  // faults, when given, is the test seam the replacement's steps count in.
  [[nodiscard]] int Begin(const std::string& target, FileFaults* faults = nullptr);
  // The temporary file's descriptor, open for reading and writing; it stays
  // this object's to close.
  FileHandle Descriptor() const { return held_; }
  const std::string& TemporaryPath() const { return temporary_; }

  // Syncs and closes the temporary file, renames it over the target and
  // syncs the folder: 0, or the errno of the step that failed, and then the
  // temporary file is gone and the target is as it was. A folder that cannot
  // be synced does not undo the rename: the new contents are in place by then.
  [[nodiscard]] int Finish();
  // For a new file written in place: renames the still empty temporary file
  // over the target at once and hands its descriptor over to the caller, or
  // gives kNoFile with errno set, and then the temporary file is gone.
  FileHandle PlaceEmpty();
  // Removes the temporary file; the target stays as it was.
  void Abandon();

 private:
  FileFaults* faults_ = nullptr;
  FileHandle held_ = kNoFile;
  std::string target_;
  std::string temporary_;
};

// Removes killed writers' leftovers in folder: regular files that no live
// writer holds, named as a replacement names them or as earlier releases
// named reports in progress (".<name>.tmp-<pid>"); only those of the file
// named leaf when one is given.
void RemoveLeftoverTemporaries(const std::string& folder, const std::string& leaf = std::string());

}  // namespace zira
