#pragma once
#include <cstdio>
#include <span>
#include <string>

namespace zira {

// What the command line asks for. Folders are empty when not given.
struct CommandLine {
  std::string clientDir;   // CLIENT_DIR, taken from the start folder
  std::string outputDir;   // -o DIR, already made absolute
  bool help = false;
  bool version = false;
  std::string databasePath;  // --db FILE, already made absolute
  std::string explorerPath;  // --explorer PAGE, already made absolute
  unsigned jobs = 0;         // -j N; 0 leaves the default (the machine's cores)
  bool anyArgument = false;  // a bare start keeps the key wait at the end
};

// One row per option: getopt_long's table and the --help text are both made
// from these rows, so a new option is one more row.
struct OptionRow {
  const char* longName;
  char shortName;        // 0 for a long option only
  const char* argument;  // name of the argument in the help, or nullptr for none
  const char* help;      // may hold '\n' for a continuation line
  // Takes the option into the command line; false with *problem set when the
  // value cannot be used.
  bool (*take)(CommandLine& line, const char* value, std::string* problem);
};

std::span<const OptionRow> Options();

// GNU convention for a bad command line (as BSD's sysexits EX_USAGE).
inline constexpr int kUsageExitCode = 64;
// ParseCommandLine's answer when the run should start.
inline constexpr int kStartRun = -1;

// Reads argv into *line. A usage error gives one line naming the problem and
// the pointer to --help on standard error, and kUsageExitCode; --help and
// --version are answered on standard output with 0. Otherwise kStartRun.
int ParseCommandLine(int argc, char* const argv[], CommandLine* line);

void PrintHelp(std::FILE* out);
void PrintVersion(std::FILE* out);

}  // namespace zira
