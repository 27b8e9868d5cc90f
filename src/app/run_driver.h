#pragma once

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

// Stand-ins for the table readers, so that their failures can be shown;
// a run uses the real readers.
struct RunHooks {
  Result (*readRaceTable)(ClientImage&) = nullptr;
  Result (*readZoneTable)(ClientImage&) = nullptr;
};

// Runs the whole inventory once and tells how far it got (see ExitCode). The
// command line's settings go over ZIRA.ini's.
ExitCode RunInventory(const RunHooks& hooks = {}, const SettingOverrides& overrides = {});

// Closes the log, waits for a key when a person is at the console, and
// hands the exit code back.
ExitCode FinishRun(ExitCode code);

}  // namespace zira
