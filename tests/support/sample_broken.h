#pragma once
#include <string>
#include <vector>

namespace zira::testing {

// The ways a written sample client can be broken, one kind of input at a time.
const std::vector<std::string>& BrokenVariants();

// Breaks one kind of input of a written sample client; false for an unknown variant.
bool BreakSampleClient(const std::string& folder, unsigned editionId, const std::string& variant);

// The packages that the package variants break, one per discovery path that
// reaches a package (lower case; found on disk without regard to case).
const std::vector<std::string>& BrokenPackageTargets();

}  // namespace zira::testing
