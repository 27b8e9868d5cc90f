#pragma once

#include "client/client_image.h"
#include "common/result.h"
#include "packages/package_input.h"
#include "packages/found_models.h"

namespace zira {

// Scans one .s3d package: the models of its world file and their variations.
// perRaceRules: the client loads the package with its per-race models.
Result ScanS3dPackage(const PackageInput& input, const ClientImage& client, bool perRaceRules,
                      ScannedPackage* found);

}  // namespace zira
