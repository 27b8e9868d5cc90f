#pragma once

#include "common/run_io.h"
#include "store/inventory.h"

namespace zira {

// Packages named after race codes that no earlier source holds. Always kSuccess.
Result LoadOrphanModels(const RunIo& io, Inventory& inventory);

}  // namespace zira
