#pragma once
#include <cstddef>
#include <cstdint>

#include "client/gender.h"
#include "common/variation_kind.h"

namespace zira {

// One AddVariation call that a file name asks for.
struct VariationCall {
  VariationKind kind;
  std::uint8_t value;
};

// What one file name of a package gives one model: calls whose failure goes
// unreported, then the one call whose failure is reported.
struct NameVariations {
  std::uint8_t extraCount = 0;
  VariationCall extra[3] = {};
  bool hasFinal = false;
  VariationCall final = {};
};

// The model a name is examined for: its code and the race and gender the
// code decodes to.
struct ObgModel {
  const char* code;
  std::uint16_t raceId;
  Gender gender;
};

// The variations that the file name gives the model (none for most names).
NameVariations ExamineName(const char* name, const ObgModel& model);

}  // namespace zira
