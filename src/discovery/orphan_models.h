#pragma once

#include "store/inventory.h"

namespace zira {

// Packages named after race codes that no earlier source holds. Always kSuccess.
Result LoadOrphanModels(Inventory& inventory);

}  // namespace zira
