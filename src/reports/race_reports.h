#pragma once

#include "store/inventory.h"

namespace zira {

// Writes the race code list and the race page into outputPath.
Result ExportRaceReports(Inventory& inventory, const char* outputPath);

}  // namespace zira
