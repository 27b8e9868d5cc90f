#pragma once
#include <cstdint>

#include "common/run_io.h"
#include "store/inventory.h"

namespace zira {

// Writes the zone list and the zone page into outputPath.
Result ExportZoneReports(const RunIo& io, Inventory& inventory, const char* outputPath);

// The menu name of an expansion: the fixed names on edition 1 (empty beyond
// them), the string database's text on every other edition (or nullptr).
const char* ExpansionName(const Inventory& inventory, std::uint32_t expansion);

}  // namespace zira
