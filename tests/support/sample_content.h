#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zira::testing {

// The races, zones and text files of the sample client: every kind of race
// and zone registration and every line kind of the text files, so a run over
// it reaches every rule at least once.

struct SampleRace {
  const char* code;
  std::uint32_t raceId;
  std::uint32_t genderIndex;  // 0 male, 1 female, 2 neutral
};

struct SampleZone {
  std::uint32_t zoneId;
  std::string nick;
  std::string name;
  std::uint32_t expansion;
  std::uint32_t stringId;
  std::uint32_t flags;
  std::uint32_t unknown7;
  std::uint32_t unknown8;
  std::uint32_t minLevel;
  bool useAltTarget;
};

struct SampleFile {
  std::string name;  // relative, '/' separated, in the letter case written to disk
  std::string text;
};

const std::vector<SampleRace>& SampleRaces();
std::vector<SampleZone> SampleZones(unsigned editionId);
// The string list, string database, global load list and import lists.
std::vector<SampleFile> SampleTextFiles(unsigned editionId);

}  // namespace zira::testing
