#pragma once

#include "store/inventory.h"

namespace zira {

// Scans one .obg source: models and variations from its entry names.
Result ScanObgSource(Inventory& inventory, ModelSource* source);

}  // namespace zira
