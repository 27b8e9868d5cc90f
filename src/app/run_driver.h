#pragma once
#include <string>

#include "client/client_image.h"

namespace zira {

// Stand-ins for the table readers, so that their failures can be shown;
// a run uses the real readers.
struct RunHooks {
  Result (*readRaceTable)(ClientImage&) = nullptr;
  Result (*readZoneTable)(ClientImage&) = nullptr;
};

// What the command line asks of a run beyond the reports.
struct RunOptions {
  // Where to write the inventory database (an absolute path); empty for none.
  std::string databasePath;
};

// Exit code of a run that did all else but could not write the database it was asked for.
inline constexpr int kDatabaseFailedExit = 6;

// Runs the whole inventory once and returns the process exit code:
// 0 done, 1 working path or client, 2 string list, 3 string database,
// 4 race table, 5 zone table, 6 the database asked for was not written,
// 9 no model discovery step succeeded.
int RunInventory(const RunHooks& hooks = {}, const RunOptions& options = {});

// Closes the log, waits for a key when a person is at the console, and
// hands the exit code back.
int FinishRun(int code);

}  // namespace zira
