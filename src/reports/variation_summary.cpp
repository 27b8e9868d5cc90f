#include "reports/variation_summary.h"

namespace zira {

Result WriteVariationSummary(OutputFile* file, const ClientImage&, const ModelDef* model) {
  return (file && model) ? S_OK : E_INVALIDARG;
}

Result WriteVariationList(OutputFile* file, std::uint8_t count, const std::uint8_t* numbers) {
  return (file && numbers && count) ? S_OK : E_INVALIDARG;
}

}  // namespace zira
