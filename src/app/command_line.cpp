#include "app/command_line.h"

#include <getopt.h>
#include <libdeflate.h>
#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/settings.h"
#include "common/file_system.h"
#include "common/version.h"
#include "common/worker_pool.h"

namespace zira {

namespace {

constexpr const char* kProgram = "zira";
// The settings hold paths of up to 259 characters; a longer one would be cut
// and send the run into another folder.
constexpr std::size_t kMaxPath = sizeof(Settings::workingPath) - 1;

// Either slash on Windows; a root ("/", "C:\\") keeps its own.
void DropTrailingSlashes(std::string* path) {
  const std::size_t root = std::max<std::size_t>(RootLengthOf(*path), 1);
  while (path->size() > root && std::strchr(PathSeparators(), path->back()) != nullptr) path->pop_back();
}

bool TakeFolder(const char* what, std::string path, std::string* into, std::string* problem) {
  if (path.empty()) {
    *problem = std::string("empty ") + what + " name";
    return false;
  }
  DropTrailingSlashes(&path);
  if (path.size() > kMaxPath) {
    *problem = std::string(what) + " name longer than " + std::to_string(kMaxPath) + " characters";
    return false;
  }
  *into = path;
  return true;
}

// A relative path is taken from the start folder, before the run changes
// into the client folder.
std::string FromStartFolder(const char* value) {
  std::string path = value;
  if (!path.empty() && RootLengthOf(path) == 0) {
    // Joined as the system writes paths: a Windows user reads C:\Games\out.
    std::string start = ProcessFolder();
    if (start.empty() || std::strchr(PathSeparators(), start.back()) == nullptr) start += PathSeparator();
    path = start + path;
  }
  return path;
}

bool TakeOutput(CommandLine& line, const char* value, std::string* problem) {
  return TakeFolder("output folder", FromStartFolder(value), &line.outputDir, problem);
}

bool TakeDatabase(CommandLine& line, const char* value, std::string* problem) {
  if (value[0] == '\0') {
    *problem = "empty database file name";
    return false;
  }
  line.databasePath = FromStartFolder(value);
  return true;
}

bool TakeExplorer(CommandLine& line, const char* value, std::string* problem) {
  if (value[0] == '\0') {
    *problem = "empty explorer page name";
    return false;
  }
  line.explorerPath = FromStartFolder(value);
  return true;
}

bool TakeJobs(CommandLine& line, const char* value, std::string* problem) {
  char* end = nullptr;
  errno = 0;
  const unsigned long jobs = std::strtoul(value, &end, 10);
  if (end == value || *end != '\0' || errno != 0 || value[0] == '-' || jobs < 1 || jobs > kMostWorkerJobs) {
    *problem = std::string("invalid number of jobs '") + value + "' (1 to " + std::to_string(kMostWorkerJobs) + ")";
    return false;
  }
  line.jobs = static_cast<unsigned>(jobs);
  return true;
}

constexpr OptionRow kOptionRows[] = {
    {"output", 'o', "DIR",
     "write the log, lists and pages into DIR (default: ZIRA\n"
     "in the client folder); a relative DIR is taken from\n"
     "the folder zira is started in",
     TakeOutput},
    {"db", 0, "FILE",
     "also write the whole inventory to the SQLite database\n"
     "FILE (replaced only when complete, and only when it is\n"
     "missing, empty or a database zira wrote); a relative\n"
     "FILE is taken from the folder zira is started in",
     TakeDatabase},
    {"explorer", 0, "PAGE",
     "also write the explorer page PAGE: one HTML file to\n"
     "search and browse every race, zone, package and code\n"
     "(a relative PAGE is taken from the start folder)",
     TakeExplorer},
    {"jobs", 'j', "N",
     "read, inflate and scan packages on N threads\n"
     "(default: the number of cores; 1: one after another)",
     TakeJobs},
    {"help", 'h', nullptr, "display this help and exit",
     [](CommandLine& line, const char*, std::string*) { return line.help = true; }},
    {"version", 'V', nullptr, "output version information and exit",
     [](CommandLine& line, const char*, std::string*) { return line.version = true; }},
};

constexpr const char* kHelpHead =
    "Usage: zira [OPTION]... [CLIENT_DIR]\n"
    "  or:  zira compare OLD.db NEW.db\n"
    "  or:  zira explore INVENTORY.db PAGE.html\n"
    "Take stock of the character races of an Ombrith client: the model codes of\n"
    "each race, the packages that hold its models with their variations, and the\n"
    "zones that can show them.\n"
    "\n"
    "Reads the client in CLIENT_DIR (default: the current folder) without running\n"
    "it, and writes two tab-separated lists, two HTML pages and a session log into\n"
    "the output folder. With any argument zira never waits for a key at the end.\n"
    "A client folder named compare is given as ./compare.\n"
    "\n"
    "zira compare prints, one line per fact, what differs between two databases\n"
    "written with --db; it exits 0 when nothing differs, 1 when something does\n"
    "and 2 on trouble.\n"
    "\n"
    "zira explore writes the explorer page of a database written with --db, as\n"
    "--explorer does at the end of a run; it exits 0 when the page is written, 1\n"
    "when the database cannot be read and 6 when the page cannot be written.\n"
    "\n"
    "Options:\n";

// The manual page is made from this text: help2man turns "Options:" and
// "Files:" into sections of their own, and the build makes "Exit status:" one.
constexpr const char* kHelpTail =
    "\n"
    "Exit status:\n"
    "  0   finished\n"
    "  1   the current folder's path cannot be read, the client folder cannot be\n"
    "      entered, or obgame.exe cannot be loaded\n"
    "  2   obstr_us.txt cannot be read\n"
    "  3   dbstr_us.txt cannot be read\n"
    "  4   the race table cannot be read from obgame.exe\n"
    "  5   the zone table cannot be read from obgame.exe\n"
    "  6   finished, but an output could not be written; or the output folder\n"
    "      cannot be locked, or --db names a file zira will not replace, and\n"
    "      nothing was written\n"
    "  7   another run is writing to the output folder\n"
    "  8   finished, but the machine refused memory or files, so the reports may\n"
    "      be incomplete\n"
    "  9   finished, but no model discovery step succeeded\n"
    "  64  the command line is wrong; nothing was read or written\n"
    "\n"
    "Files:\n"
    "  ZIRA.ini  settings, read from the folder zira is started in (or from\n"
    "            ZIRA/ZIRA.ini there): obpath, the client folder, and outpath,\n"
    "            the output folder taken from the client folder. An option wins\n"
    "            over a setting, a setting over the default.\n";

std::string OptionLabel(const OptionRow& row) {
  std::string label = row.shortName != 0 ? std::string("  -") + row.shortName + ", " : std::string(6, ' ');
  label += std::string("--") + row.longName;
  if (row.argument != nullptr) label += std::string("=") + row.argument;
  return label;
}

int UsageError(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
  std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
  return kUsageExitCode;
}

// What getopt_long refused, in the same words on every system (Windows' C
// runtime has its own wording and names the program by its whole path).
// word is the argument it stopped at.
std::string OptionProblem(int got, const std::string& word, const std::vector<option>& longOptions) {
  if (word.rfind("--", 0) == 0) {
    const std::string::size_type equals = word.find('=');
    const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const option* found = nullptr;
    for (const option& candidate : longOptions) {
      if (!name.empty() && candidate.name != nullptr && std::string(candidate.name).rfind(name, 0) == 0) {
        found = &candidate;
      }
    }
    if (found == nullptr) return "unrecognized option '" + word + "'";
    const std::string full = std::string("'--") + found->name + "'";
    if (equals != std::string::npos) return "option " + full + " doesn't allow an argument";
    return "option " + full + " requires an argument";
  }
  const std::string letter(1, static_cast<char>(optopt));
  if (got == ':') return "option requires an argument -- '" + letter + "'";
  return "invalid option -- '" + letter + "'";
}

}  // namespace

std::span<const OptionRow> Options() { return kOptionRows; }

void PrintHelp(std::FILE* out) {
  std::fputs(kHelpHead, out);
  std::size_t width = 0;
  for (const OptionRow& row : kOptionRows) width = std::max(width, OptionLabel(row).size());
  for (const OptionRow& row : kOptionRows) {
    const std::string label = OptionLabel(row);
    std::fprintf(out, "%-*s  ", static_cast<int>(width), label.c_str());
    for (const char* c = row.help; *c != '\0'; ++c) {
      std::fputc(*c, out);
      if (*c == '\n') std::fprintf(out, "%*s", static_cast<int>(width + 2), "");
    }
    std::fputc('\n', out);
  }
  std::fputs(kHelpTail, out);
}

// zlib and SQLite name the library the program runs with; libdeflate has only
// the version of the header it was built with.
void PrintVersion(std::FILE* out) {
  std::fprintf(out,
               "%s %s\n"
               "Copyright (c) the zira authors\n"
               "License MIT: <https://opensource.org/licenses/MIT>; there is NO WARRANTY.\n"
               "zlib %s, libdeflate %s, SQLite %s\n",
               kProgram, kZiraVersion, zlibVersion(), LIBDEFLATE_VERSION_STRING, sqlite3_libversion());
}

int ParseCommandLine(int argc, char* const argv[], CommandLine* line) {
  *line = CommandLine{};
  line->anyArgument = argc > 1;

  std::vector<option> longOptions;
  std::string shortOptions = ":";  // a missing argument returns ':'; the messages are ours
  for (const OptionRow& row : kOptionRows) {
    const int hasArgument = row.argument != nullptr ? required_argument : no_argument;
    longOptions.push_back({row.longName, hasArgument, nullptr, row.shortName != 0 ? row.shortName : 0});
    if (row.shortName != 0) {
      shortOptions += row.shortName;
      if (row.argument != nullptr) shortOptions += ':';
    }
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  // getopt_long reorders the array it is given, so it works on a copy.
  std::vector<char*> args(argv, argv + argc);
  std::string name = kProgram;
  if (!args.empty()) args[0] = name.data();
  args.push_back(nullptr);
  optind = 0;  // start afresh, so a second parse in one process works
  opterr = 0;

  int index = -1;
  int got;
  while (!line->help && !line->version &&
         (got = getopt_long(argc, args.data(), shortOptions.c_str(), longOptions.data(), &index)) != -1) {
    if (got == '?' || got == ':') {
      const int at = std::min(std::max(optind - 1, 1), argc - 1);
      return UsageError(OptionProblem(got, args[at] != nullptr ? args[at] : "", longOptions));
    }
    const OptionRow* row = nullptr;
    if (index >= 0) {
      row = &kOptionRows[index];
    } else {
      for (const OptionRow& candidate : kOptionRows) {
        if (candidate.shortName == got) row = &candidate;
      }
    }
    index = -1;
    std::string problem;
    if (row == nullptr || !row->take(*line, optarg, &problem)) return UsageError(problem);
  }
  if (line->help) {
    PrintHelp(stdout);
    return 0;
  }
  if (line->version) {
    PrintVersion(stdout);
    return 0;
  }
  for (int i = optind; i < argc; ++i) {
    if (!line->clientDir.empty()) return UsageError(std::string("extra operand '") + args[i] + "'");
    std::string problem;
    if (!TakeFolder("client folder", args[i], &line->clientDir, &problem)) return UsageError(problem);
  }
  return kStartRun;
}

}  // namespace zira
