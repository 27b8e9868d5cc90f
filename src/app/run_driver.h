#pragma once

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
// 4 race table, 5 zone table, 6 finished but an output could not be
// written, 7 another run holds the output folder, 9 no model discovery step
// succeeded.
int RunInventory(const RunHooks& hooks = {});

// Closes the log, waits for a key when a person is at the console, and
// hands the exit code back.
int FinishRun(int code);

}  // namespace zira
