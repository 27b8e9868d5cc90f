#pragma once

#include "client/client_image.h"
#include "common/result.h"
#include "common/run_io.h"
#include "packages/found_models.h"

namespace zira {

// Scans one .obg package: models and variations from its entry names.
Result ScanObgPackage(const RunIo& io, const ClientImage& client, const char* name, ScannedPackage* found);

}  // namespace zira
