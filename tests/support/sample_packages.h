#pragma once
#include <string>

namespace zira::testing {

// Writes the model packages of the sample client into folder: global,
// per-race, load-list, zone, imported and orphan packages, named on disk in
// mixed letter case.
bool WriteSamplePackages(const std::string& folder, unsigned editionId);

}  // namespace zira::testing
