#pragma once

#include "app/settings.h"
#include "client/client_image.h"

namespace zira {

// Stand-ins for the table readers, so that their failures can be shown;
// a run uses the real readers.
struct RunHooks {
  Result (*readRaceTable)(ClientImage&) = nullptr;
  Result (*readZoneTable)(ClientImage&) = nullptr;
};

// Runs the whole inventory once and returns the process exit code:
// 0 done, 1 working path or client, 2 string list, 3 string database,
// 4 race table, 5 zone table, 9 no model discovery step succeeded.
// The command line's settings go over ZIRA.ini's.
int RunInventory(const RunHooks& hooks = {}, const SettingOverrides& overrides = {});

// Closes the log, waits for a key when a person is at the console, and
// hands the exit code back.
int FinishRun(int code);

}  // namespace zira
