#pragma once
#include <cstdint>

#include "client/client_image.h"

namespace zira {

// Reads the race registrations of the recognized edition into the race table
// and builds the ModelCodeIndex. E_FAIL when no image is loaded.
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

}  // namespace zira
