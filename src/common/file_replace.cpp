#include "common/file_replace.h"

#include <cctype>
#include <cerrno>
#include <string_view>
#include <vector>

#include "common/file_system.h"
#include "common/output_file.h"
#include "common/platform.h"

namespace zira {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kUniqueLength = 6;  // the created temporary's own letters

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

}  // namespace

int FileReplacement::Begin(const std::string& target, FileFaults* faults) {
  Abandon();
  faults_ = faults;
  if (target.empty() || target.back() == '/') return EINVAL;
  PathInfo standing;
  if (InfoOfPath(target, true, &standing) && standing.kind != PathKind::kRegular) return EEXIST;
  const std::string prefix = FolderOf(target) + "/." + LeafOf(target) + std::string(kTemporaryMark);
  FileHandle file = kNoFile;
  std::string temporary;
  if (const int error = CreateHeldTemporary(prefix, &file, &temporary)) return error;
  held_ = file;
  target_ = target;
  temporary_ = temporary;
  return 0;
}

int FileReplacement::Finish() {
  if (held_ == kNoFile) return EBADF;
  int error = SyncFile(held_);
  // Closed before the rename: a close that fails (over a network) leaves the target as it was.
  const int closeFault = InjectedFileFault(faults_, FileOperation::kClose);
  const int closeError = CloseFile(held_);
  const int closed = closeError != 0 ? closeError : closeFault;
  held_ = kNoFile;
  if (error == 0) error = closed;
  if (error == 0) error = InjectedFileFault(faults_, FileOperation::kRename);
  if (error == 0) error = ReplaceFileName(temporary_, target_);
  if (error != 0) {
    RemoveFile(temporary_);
    temporary_.clear();
    return error;
  }
  temporary_.clear();
  // A fault planned here leaves the folder unsynced, which no run can tell.
  if (InjectedFileFault(faults_, FileOperation::kSyncFolder) == 0) SyncFolder(FolderOf(target_));
  return 0;
}

FileHandle FileReplacement::PlaceEmpty() {
  if (held_ == kNoFile) {
    errno = EBADF;
    return kNoFile;
  }
  if (const int error = ReplaceFileName(temporary_, target_)) {
    Abandon();
    errno = error;
    return kNoFile;
  }
  const FileHandle file = held_;
  held_ = kNoFile;
  temporary_.clear();
  return file;
}

void FileReplacement::Abandon() {
  if (held_ == kNoFile) return;
  // Removed while still held, so no sweeper takes it for a leftover meanwhile.
  RemoveFile(temporary_);
  static_cast<void>(CloseFile(held_));
  held_ = kNoFile;
  temporary_.clear();
}

void RemoveLeftoverTemporaries(const std::string& folder, const std::string& leaf) {
  std::vector<std::string> names;
  if (ListFolder(folder, &names) != 0) return;
  for (const std::string& name : names) {
    if (IsTemporaryName(name, leaf)) RemoveIfUnheld(folder + "/" + name);
  }
}

int InjectedFileFault(FileFaults* faults, FileOperation operation) {
  if (faults == nullptr) return 0;
  const unsigned count = ++faults->counts[static_cast<int>(operation)];
  return faults->nth != 0 && faults->operation == operation && count == faults->nth ? faults->error : 0;
}

}  // namespace zira
