#include "app/explore.h"

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "reports/explorer_page.h"

namespace zira {

int RunExploreCommand(int argc, char** argv) {
  if (argc != 2 || argv[0][0] == '\0' || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: zira explore INVENTORY.db PAGE.html\n");
    return kUsageExitCode;
  }
  std::string error;
  switch (WriteExplorerPageFromFile(argv[0], argv[1], &error)) {
    case ExplorerOutcome::kWritten:
      return kExploreWritten;
    case ExplorerOutcome::kNoDatabase:
      std::fprintf(stderr, "zira explore: %s\n", error.c_str());
      return kExploreNoDatabase;
    case ExplorerOutcome::kNotWritten:
      break;
  }
  std::fprintf(stderr, "zira explore: %s\n", error.c_str());
  return kExploreNotWritten;
}

}  // namespace zira
