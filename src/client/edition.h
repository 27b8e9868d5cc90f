#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace zira {

// Which pushed argument of a race registration holds what.
struct RaceSlots {
  std::uint32_t gender, race, code;
};

// Which lines of the global load list apply, by their comma-separated
// fields; a zero character or an empty list is no condition.
struct LoadListFilter {
  char skippedFirstChar;                        // a first field beginning with it drops the line
  char thirdFieldLastChar;                      // lower case; the third field must end with it, letters folded
  std::span<const char* const> packageEndings;  // the package field, as written, must end with one, letters folded

  bool Counts(const char* firstField, const char* thirdField, const char* packageField) const;
};

// Everything the code does differently from one client build to another.
struct EditionRules {
  RaceSlots raceSlots;
  LoadListFilter loadList;
  // Expansion names the build carries itself, by number; empty: the string database names them.
  std::span<const char* const> expansionNames;
};

// One known client build: its exact size, where its start-up code registers
// races and zones (file offsets; targets as the scanner computes them; a zone
// alt target of 0 when the build has one zone routine), and its rules.
struct ClientEdition {
  std::uint32_t editionId;
  const char* editionShort;
  const char* editionLong;
  std::uint32_t fileSize;
  std::uint32_t raceScanStart, raceScanEnd, raceTarget;
  std::uint32_t zoneScanStart, zoneScanEnd, zoneTarget, zoneAltTarget;
  EditionRules rules;
};

inline constexpr std::size_t kEditionCount = 3;
extern const ClientEdition kEditionTable[kEditionCount];

// The table row of an edition id, or nullptr.
const ClientEdition* FindEdition(std::uint32_t editionId);
// The id of the edition whose file has exactly this size, or 0.
std::uint32_t EditionForSize(std::uint64_t size);
// The rules of an edition id. An id the table lacks (only a hand-made image
// has one) reads like the later builds.
const EditionRules& RulesOfEdition(std::uint32_t editionId);

}  // namespace zira
