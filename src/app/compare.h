#pragma once
#include <string>

namespace zira {

// Exit codes of a compare, as diff and cmp have them.
inline constexpr int kCompareSame = 0;
inline constexpr int kCompareDiffers = 1;
inline constexpr int kCompareTrouble = 2;

// Compares two inventory databases and puts into report one line per fact
// that differs, grouped by kind of fact and sorted within each group.
// Returns kCompareSame, kCompareDiffers, or kCompareTrouble with error set
// (a file that cannot be read, is not an inventory database, or has another
// schema version).
int CompareInventories(const std::string& oldPath, const std::string& newPath, std::string* report,
                       std::string* error);

// `zira compare OLD.db NEW.db`: args are the words after "compare".
int RunCompareCommand(int argc, char** argv);

}  // namespace zira
