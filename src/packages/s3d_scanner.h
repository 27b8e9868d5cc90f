#pragma once

#include "store/inventory.h"

namespace zira {

// Scans one .s3d source: its world file's models and their variations.
Result ScanS3dSource(Inventory& inventory, ModelSource* source);

}  // namespace zira
