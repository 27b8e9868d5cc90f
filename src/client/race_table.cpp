#include "client/race_table.h"

namespace zira {

Result ReadRaceTable(ClientImage& client) { return client.image ? S_OK : E_FAIL; }

const char* RaceCode(const ClientImage& client, std::uint32_t race, std::uint32_t gender) {
  if (race == 0 || race > client.maxRaceId || gender < 1 || gender > 3) return nullptr;
  return client.races[race].code[gender - 1];
}

}  // namespace zira
