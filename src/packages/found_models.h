#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/gender.h"
#include "common/capacities.h"
#include "common/variation_kind.h"

namespace zira {

// One variation a scanner's rules give a model, in the order the rules give
// them: the store keeps lists of fixed size, so the order decides what a full
// list refuses.
struct FoundVariation {
  static constexpr std::uint16_t kSilent = 0xFFFF;
  VariationKind kind;
  std::uint8_t value;
  // The package entry named when the store refuses it, or kSilent.
  std::uint16_t report = kSilent;
};

// A model as a scanner found it: its code, the race and gender the code
// decodes to, and its variations.
struct FoundModel {
  char code[kModelCodeCapacity] = {};
  std::uint8_t codeLength = 0;
  std::uint16_t raceId = 0;
  Gender gender = Gender::kNone;
  std::vector<FoundVariation> variations;

  std::string_view Code() const { return {code, codeLength}; }
  // A repeat of a silent variation changes nothing in the store (present, or
  // refused by a list that never shrinks), so it is kept once.
  void Add(VariationKind kind, std::uint8_t value);
  // Values 1 to count.
  void AddRange(VariationKind kind, std::uint8_t count);
  void AddReported(VariationKind kind, std::uint8_t value, std::uint16_t report);

 private:
  std::bitset<256 * 9> seen_;
};

// What one package holds, for discovery to register.
struct ScannedPackage {
  std::vector<FoundModel> models;
  // Entry names that refusals name (FoundVariation::report).
  std::vector<std::string> reportNames;
  // Whether the store refusing a model is reported (the OBG scanner's rule).
  bool reportRefusedModels = false;
  // Bytes of world file read, for the run statistics.
  std::uint32_t worldBytes = 0;
};

}  // namespace zira
