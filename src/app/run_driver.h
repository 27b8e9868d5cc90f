#pragma once

#include "app/run_context.h"
#include "app/settings.h"
#include "client/client_image.h"

namespace zira {

// How far a run got, as the process exit code.
enum class ExitCode : int {
  kDone = 0,
  kNoClient = 1,  // the current folder's path cannot be read, the working path cannot be entered
                  // or the client cannot be loaded
  kNoStringList = 2,
  kNoStringDatabase = 3,
  kNoRaceTable = 4,
  kNoZoneTable = 5,
  kOutputIncomplete = 6,  // finished, but a report or the log could not be written whole; or, at
                          // once with nothing written, the output folder could not be locked
  kOutputLocked = 7,      // another run is writing to the output folder; nothing was touched
  kMachineRefused = 8,    // finished, but the machine refused memory or files; 6 and 9 go first
  kNothingFound = 9,  // the run completed but no model discovery step succeeded
};

// Runs the whole inventory once, in a context of its own, and tells how far
// it got (see ExitCode). The command line's settings go over ZIRA.ini's.
ExitCode RunInventory(const RunHooks& hooks = {}, const SettingOverrides& overrides = {});

}  // namespace zira
