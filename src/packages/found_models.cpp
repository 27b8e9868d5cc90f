#include "packages/found_models.h"

namespace zira {

void FoundModel::Add(VariationKind kind, std::uint8_t value) {
  if (value == 0) return;  // 0 is no variation
  const std::size_t bit = static_cast<std::size_t>(kind) * 256u + value;
  if (bit < seen_.size()) {
    if (seen_.test(bit)) return;
    seen_.set(bit);
  }
  variations.push_back({kind, value});
}

void FoundModel::AddRange(VariationKind kind, std::uint8_t count) {
  // A wider counter, so that a count of 255 ends instead of wrapping.
  for (unsigned value = 1; value <= count; ++value) Add(kind, static_cast<std::uint8_t>(value));
}

void FoundModel::AddReported(VariationKind kind, std::uint8_t value, std::uint16_t report) {
  if (value == 0) return;
  const std::size_t bit = static_cast<std::size_t>(kind) * 256u + value;
  if (bit < seen_.size()) seen_.set(bit);
  variations.push_back({kind, value, report});
}

}  // namespace zira
