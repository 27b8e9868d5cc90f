#include "client/zone_table.h"

#include <cstring>

#include "client/call_scanner.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr std::uint32_t kZoneArguments = 9;

void BuildZoneLetterIndex(ClientImage& client) {
  ZoneLetterIndex& index = client.zoneIndex;
  std::memset(&index, 0, sizeof(index));
  for (std::uint32_t zone = 0; zone <= client.maxZoneId; ++zone) {
    const char* nick = client.zones[zone].zoneNick;
    if (nick == nullptr || nick[0] == '\0') continue;
    const int bucket = LetterBucket(nick);
    if (index.count[bucket] >= kZonesPerLetter) continue;
    index.ids[bucket][index.count[bucket]++] = static_cast<std::uint16_t>(zone);
  }
}

}  // namespace

Result ReadZoneTable(ClientImage& client) {
  if (!client.image) return E_FAIL;
  // Rows are cleared too, so nothing of an earlier read survives.
  client.zoneCount = 0;
  client.maxZoneId = 0;
  for (ZoneRecord& row : client.zones) row = ZoneRecord{};

  ScanState state{};
  state.position = client.zoneScanStart;
  state.end = client.zoneScanEnd;
  state.target = client.zoneTarget;
  state.altTarget = client.zoneAltTarget;
  const std::span<const std::uint8_t> image = client.Bytes();

  while (FindNextCall(image, state)) {
    if (client.editionId < 1 || client.editionId > 3) continue;
    if (state.depth < kZoneArguments || state.stack[7] > kMaxZoneId) continue;
    const std::uint32_t nickAddress = state.stack[6];
    const std::uint32_t nameAddress = state.stack[5];
    if (!IsRdataAddress(client, nickAddress) || !IsRdataAddress(client, nameAddress)) continue;

    // A fresh row: the fields zone discovery fills start empty again.
    ZoneRecord row{};
    row.zoneId = static_cast<std::uint16_t>(state.stack[7]);
    row.zoneNick = ImageAddressToText(client, nickAddress);
    row.zoneName = ImageAddressToText(client, nameAddress);
    row.expansion = static_cast<std::uint8_t>(state.stack[8]);
    row.stringId = state.stack[4];
    row.flags = state.stack[3];
    row.unknown7 = state.stack[2];
    row.unknown8 = state.stack[1];
    row.minLevel = static_cast<std::uint8_t>(state.stack[0]);
    LowerInPlace(row.zoneNick);

    client.zones[row.zoneId] = row;
    if (row.zoneId > client.maxZoneId) client.maxZoneId = row.zoneId;
    ++client.zoneCount;
  }

  BuildZoneLetterIndex(client);
  return S_OK;
}

}  // namespace zira
