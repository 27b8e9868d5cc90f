#pragma once
#include <cstdint>

namespace zira {

// Numbers the variation lists of a model; 5 is not a kind.
enum class VariationKind : std::uint8_t {
  kTexture = 1,
  kHead = 2,
  kFace = 3,
  kHair = 4,
  kBeard = 6,
  kTattoo = 7,
  kDetail = 8,
};

}  // namespace zira
