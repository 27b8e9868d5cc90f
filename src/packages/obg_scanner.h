#pragma once

#include "client/client_image.h"
#include "common/result.h"
#include "packages/package_input.h"
#include "packages/found_models.h"

namespace zira {

// Scans one .obg package: models and variations from its entry names.
Result ScanObgPackage(const PackageInput& input, const ClientImage& client, ScannedPackage* found);

}  // namespace zira
