#pragma once
#include <string>

namespace zira {

// Whole-file replacement for outputs that other programs read: the new
// contents go into a temporary file beside the target, which is renamed over
// the target only once complete, so a reader sees the old file or the new
// one, never a part. Paths are plain paths of this system, taken as given.

// Creates an empty file with a unique name in the directory of path; its
// path, or the empty text when it cannot be created.
std::string CreateTempFileBeside(const std::string& path);

// Flushes temp to disk and renames it over path (and flushes the directory,
// so the rename survives a crash). False when any step fails; temp is then
// still there for the caller to remove.
bool ReplaceFileWith(const std::string& temp, const std::string& path);

// Removes a file; a file that is not there is no error.
void RemoveFileIfPresent(const std::string& path);

}  // namespace zira
