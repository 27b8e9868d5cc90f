#pragma once

#include "store/inventory.h"

namespace zira {

// Writes the zone list and the zone page into outputPath.
Result ExportZoneReports(Inventory& inventory, const char* outputPath);

}  // namespace zira
