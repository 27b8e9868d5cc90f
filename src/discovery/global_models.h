#pragma once

#include "common/run_io.h"
#include "store/inventory.h"

namespace zira {

// Registers and scans the packages every zone can show: hard-coded ones,
// per-race ones and those of the global load list. Always kSuccess.
Result LoadGlobalModels(const RunIo& io, Inventory& inventory);

class ScanPlan;
// Adds the packages LoadGlobalModels is going to scan, in its order.
void PlanGlobalScans(const RunIo& io, const Inventory& inventory, ScanPlan& plan);

}  // namespace zira
