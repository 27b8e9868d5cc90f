#pragma once
#include <cstddef>

#include "common/capacities.h"
#include "common/file_system.h"

namespace zira {

// The two paths that steer a run: the client directory to work in and the
// directory that receives the log and the reports.
struct Settings {
  char workingPath[kPathCapacity] = {};
  char outputPath[kPathCapacity] = {};
};

Settings& TheSettings();

// Reads ZIRA.ini (else ZIRA\ZIRA.ini) from the current directory and applies
// the defaults "." and "ZIRA". Never fails.
void LoadSettings();

// Fills a 256-character buffer with the next line that is not blank after
// trimming and returns its trimmed length; 0 at the end of the file.
std::size_t ReadSettingLine(InputFile& file, char* buffer);

}  // namespace zira
