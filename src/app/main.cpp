#include <getopt.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/compare.h"
#include "app/run_driver.h"

namespace {

constexpr int kUsageExit = 64;  // as sysexits.h has it: the command line was wrong

void PrintUsage() { std::fprintf(stderr, "usage: zira [--db FILE]\n       zira compare OLD.db NEW.db\n"); }

// The run changes into the client directory, so a relative path is taken
// from where zira was started, as the user meant it.
std::string FromStartDirectory(const char* path) {
  if (path[0] == '/') return path;
  char cwd[4096];
  if (::getcwd(cwd, sizeof(cwd)) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "compare") == 0) return zira::RunCompareCommand(argc - 2, argv + 2);

  static const option kOptions[] = {{"db", required_argument, nullptr, 'd'}, {nullptr, 0, nullptr, 0}};
  zira::RunOptions options;
  int option = 0;
  while ((option = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
    if (option != 'd' || optarg[0] == '\0') {
      PrintUsage();
      return kUsageExit;
    }
    options.databasePath = FromStartDirectory(optarg);
  }
  if (optind < argc) {
    PrintUsage();
    return kUsageExit;
  }
  return zira::RunInventory({}, options);
}
