#include "client/race_table.h"

#include <cstring>

#include "client/call_scanner.h"
#include "client/edition.h"
#include "common/capacities.h"
#include "common/text.h"

namespace zira {

namespace {

void BuildModelCodeIndex(ClientImage& client) {
  ModelCodeIndex& index = client.codeIndex;
  std::memset(&index, 0, sizeof(index));
  for (std::uint32_t race = 0; race <= client.maxRaceId; ++race) {
    for (const char* code : client.races[race].code) {
      if (code == nullptr || code[0] == '\0') continue;
      const int bucket = LetterBucket(code);
      const std::uint16_t count = index.count[bucket];
      // Each race is listed once per bucket although several of its codes may share it.
      if (count > 0 && index.ids[bucket][count - 1] == race) continue;
      if (count >= kCodesPerLetter) continue;
      index.ids[bucket][count] = static_cast<std::uint16_t>(race);
      index.count[bucket] = static_cast<std::uint16_t>(count + 1);
    }
  }
}

}  // namespace

Result ReadRaceTable(ClientImage& client) {
  if (!client.image) return Fail("no client image loaded");
  // Rows are cleared too, so a second read does not count races of the first.
  client.raceCount = 0;
  client.maxRaceId = 0;
  client.codeCount = 0;
  std::memset(client.races, 0, sizeof(client.races));

  ScanState state{};
  state.position = client.raceScanStart;
  state.end = client.raceScanEnd;
  state.target = client.raceTarget;
  state.altTarget = 0;
  const RaceSlots slots = RulesOfEdition(client.editionId).raceSlots;
  const std::span<const std::uint8_t> image = client.Bytes();

  while (FindNextCall(image, state)) {
    // Fixed slots are read whatever was pushed in this walk.
    const std::uint32_t gender = state.stack[slots.gender];
    const std::uint32_t race = state.stack[slots.race];
    const std::uint32_t address = state.stack[slots.code];
    if (gender >= kGenderSlots || race > kMaxRaceId || !IsRdataAddress(client, address)) continue;

    char* code = ImageAddressToText(client, address);
    UpperInPlace(code);
    RaceRecord& row = client.races[race];
    if (row.code[0] == nullptr && row.code[1] == nullptr && row.code[2] == nullptr) ++client.raceCount;
    row.code[gender] = code;
    row.codeLength[gender] = static_cast<std::uint8_t>(std::strlen(code));
    row.raceId = static_cast<std::uint16_t>(race);
    if (race > client.maxRaceId) client.maxRaceId = static_cast<std::uint16_t>(race);
    ++client.codeCount;
  }

  BuildModelCodeIndex(client);
  return kSuccess;
}

bool IsPlayableRace(std::uint32_t raceId) {
  return (raceId >= 1 && raceId <= 12) || raceId == 128 || raceId == 130 || raceId == 330 || raceId == 522;
}

bool IsPlayableRaceRow(const ClientImage& client, std::uint32_t raceId) {
  if (raceId == 0 || raceId >= RaceRows(client).size()) return false;
  return IsPlayableRace(client.races[raceId].raceId);
}

Result DecodeModelCode(const ClientImage& client, std::string_view code, std::uint16_t* raceId, Gender* gender) {
  if (raceId) *raceId = 0;
  if (gender) *gender = Gender::kNone;
  if (raceId == nullptr || gender == nullptr) return InvalidArgument("nowhere to put race or gender");
  if (code.size() >= kModelCodeCapacity || code.empty()) return Fail("no model code of that length");
  char upper[kModelCodeCapacity];
  std::memcpy(upper, code.data(), code.size());
  upper[code.size()] = '\0';
  UpperInPlace(upper);
  const std::string_view wanted(upper, code.size());

  const std::span<const std::uint16_t> races = BucketIds(client.codeIndex, LetterBucket(upper));
  // The bucket is ascending, so walking it backwards lets the highest race win.
  // Codes of one bucket mostly share their first letter: the second settles most.
  for (auto race = races.rbegin(); race != races.rend(); ++race) {
    for (const Gender g : kGenders) {
      const char* raceCode = RaceCodeOf(client, *race, g);
      if (raceCode != nullptr && raceCode[1] == upper[1] && std::string_view(raceCode) == wanted) {
        *raceId = *race;
        *gender = g;
        return kSuccess;
      }
    }
  }
  return Fail("no race has that code");
}

}  // namespace zira
