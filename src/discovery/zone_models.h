#pragma once

#include "store/inventory.h"

namespace zira {

// A zone's own packages, then its import list.
Result LoadZoneModels(Inventory& inventory, ZoneRecord* zone);
Result LoadZoneImports(Inventory& inventory, ZoneRecord* zone);

}  // namespace zira
