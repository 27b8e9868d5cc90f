#pragma once
#include <cstdint>

namespace zira {

// The races a player can create: 1 to 12, 128, 130, 330 and 522.
bool IsPlayableRace(std::uint32_t raceId);

}  // namespace zira
