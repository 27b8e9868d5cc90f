#pragma once
#include <cstddef>
#include <string>

#include "common/capacities.h"
#include "common/file_system.h"

namespace zira {

// The two paths that steer a run: the client directory to work in and the
// directory that receives the log and the reports.
// waitForKey: whether the run ends with a key press on a terminal.
struct Settings {
  char workingPath[kPathCapacity] = {};
  char outputPath[kPathCapacity] = {};
  bool waitForKey = true;
};

// What the command line puts over ZIRA.ini: a path given here replaces the
// file's (an empty one leaves it).
struct SettingOverrides {
  std::string workingPath;
  std::string outputPath;
  bool waitForKey = true;
  // Not settings of ZIRA.ini: the inventory database to write (absolute), or
  // empty; the jobs for work that can run in parallel (0: the machine's cores).
  std::string databasePath;
  // Nor is the explorer page to write (absolute), or empty.
  std::string explorerPath;
  unsigned jobs = 0;
};

// Reads ZIRA.ini (else ZIRA\ZIRA.ini) from the folder and applies the
// defaults "." and "ZIRA". Never fails.
void LoadSettings(ClientFolder& folder, Settings& settings);

// Puts the command line over what LoadSettings read.
void ApplySettingOverrides(Settings& settings, const SettingOverrides& overrides);

// Fills a 256-character buffer with the next line that is not blank after
// trimming and returns its trimmed length; 0 at the end of the file.
std::size_t ReadSettingLine(InputFile& file, char* buffer);

}  // namespace zira
