#pragma once
#include <cstdint>
#include <string_view>

#include "client/client_image.h"
#include "client/gender.h"
#include "client/table_views.h"

namespace zira {

// Reads the race registrations of the recognized edition into the race table
// and builds the ModelCodeIndex. Fails when no image is loaded.
Result ReadRaceTable(ClientImage& client);

// The model code of race for gender number 1 to 3, or nullptr.
// Inline: model code decoding asks it for every candidate race.
inline const char* RaceCode(const ClientImage& client, std::uint32_t race, std::uint32_t gender) {
  if (race == 0 || race > client.maxRaceId || race > kMaxRaceId || gender < 1 || gender > kGenderSlots) return nullptr;
  return client.races[race].code[gender - 1];
}

// The races a player can create: 1 to 12, 128, 130, 330 and 522. A fact of
// the game, the same in every edition.
bool IsPlayableRace(std::uint32_t raceId);

// The race's model code for a gender, when present and not empty; nullptr
// for race 0, a race above the table and a gender that is none.
inline const char* RaceCodeOf(const ClientImage& client, std::uint32_t raceId, Gender gender) {
  if (raceId == 0 || raceId >= RaceRows(client).size() || !IsGender(gender)) return nullptr;
  const char* code = RaceCode(client, raceId, GenderNumber(gender));
  return code != nullptr && code[0] != '\0' ? code : nullptr;
}

// Whether the race table row of raceId holds a playable race id.
bool IsPlayableRaceRow(const ClientImage& client, std::uint32_t raceId);

// The race and gender a model code stands for: the highest race whose code
// matches, male before female before neutral.
Result DecodeModelCode(const ClientImage& client, std::string_view code, std::uint16_t* raceId, Gender* gender);

}  // namespace zira
