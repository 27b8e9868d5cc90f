#include "common/races.h"

namespace zira {

bool IsPlayableRace(std::uint32_t raceId) {
  return (raceId >= 1 && raceId <= 12) || raceId == 128 || raceId == 130 || raceId == 330 || raceId == 522;
}

}  // namespace zira
