#pragma once
#include <cstddef>

#include "common/run_io.h"
#include "store/inventory.h"

namespace zira {

// A zone's own packages, then its import list; what they give goes into the
// zone's links in the store. An invalid argument for an id beyond the zone table,
// a failure for a zone without a nick.
Result LoadZoneModels(const RunIo& io, Inventory& inventory, std::size_t zoneId);
Result LoadZoneImports(const RunIo& io, Inventory& inventory, std::size_t zoneId);

class ScanPlan;
// Adds the packages LoadZoneModels is going to scan for the zone, in its order.
void PlanZoneScans(const RunIo& io, const Inventory& inventory, std::size_t zoneId, ScanPlan& plan);

}  // namespace zira
