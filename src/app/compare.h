#pragma once
#include <string>

namespace zira {

// Exit codes of a compare, as diff and cmp have them.
inline constexpr int kCompareSame = 0;
inline constexpr int kCompareDiffers = 1;
inline constexpr int kCompareTrouble = 2;

// plain: a line per fact for people; tsv: a header line, then the fields of
// each fact separated by tabs, for scripts.
enum class CompareFormat { kPlain, kTsv };

// How much work a comparison may do, in SQLite virtual machine steps: about
// a minute of work, where two databases of full-size clients take well under
// a second. Tests give a smaller one.
inline constexpr long long kCompareStepBudget = 20'000'000'000LL;

// Compares two inventory databases and puts into report one line per fact
// that differs, grouped by kind of fact and sorted within each group.
// Stored texts come out with each control byte as \xHH. Returns
// kCompareSame, kCompareDiffers, or kCompareTrouble with error set (a file
// that is not a regular file, cannot be read, is not an inventory database,
// has another schema version, or a comparison that ran out of its budget).
int CompareInventories(const std::string& oldPath, const std::string& newPath, std::string* report,
                       std::string* error, CompareFormat format = CompareFormat::kPlain,
                       long long stepBudget = kCompareStepBudget);

// `zira compare [--format=plain|tsv] OLD.db NEW.db`, -h/--help, -V/--version:
// args are the words after "compare".
int RunCompareCommand(int argc, char** argv);

}  // namespace zira
