#include <cstring>

#include "app/command_line.h"
#include "app/compare.h"
#include "app/explore.h"
#include "app/run_driver.h"
#include "common/console.h"

int main(int argc, char** argv) {
  zira::PrepareProcess();
  if (argc >= 2 && std::strcmp(argv[1], "compare") == 0) return zira::RunCompareCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "explore") == 0) return zira::RunExploreCommand(argc - 2, argv + 2);
  zira::CommandLine line;
  if (const int code = zira::ParseCommandLine(argc, argv, &line); code != zira::kStartRun) return code;
  return static_cast<int>(zira::RunInventory({}, {.workingPath = line.clientDir,
                                                  .outputPath = line.outputDir,
                                                  .waitForKey = !line.anyArgument,
                                                  .databasePath = line.databasePath,
                                                  .explorerPath = line.explorerPath,
                                                  .jobs = line.jobs}));
}
