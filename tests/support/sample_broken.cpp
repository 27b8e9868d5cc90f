#include "support/sample_broken.h"

namespace zira::testing {

const std::vector<std::string>& BrokenVariants() {
  static const std::vector<std::string> variants;
  return variants;
}

bool BreakSampleClient(const std::string& folder, unsigned editionId, const std::string& variant) {
  (void)folder;
  (void)editionId;
  return variant.empty();
}

}  // namespace zira::testing
