#include "client/zone_table.h"

#include <cstring>

#include "client/call_scanner.h"
#include "client/edition.h"
#include "common/text.h"

namespace zira {

namespace {

// The nine arguments of a zone registration, by the stack slot each lands in.
enum ZoneArgument : std::uint32_t {
  kMinLevelSlot,
  kUnknown8Slot,
  kUnknown7Slot,
  kFlagsSlot,
  kStringIdSlot,
  kNameSlot,
  kNickSlot,
  kZoneIdSlot,
  kExpansionSlot,
  kZoneArguments
};

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

void ReadZoneRegistrations(ClientImage& client) {
  ScanState state{};
  state.position = client.zoneScanStart;
  state.end = client.zoneScanEnd;
  state.target = client.zoneTarget;
  state.altTarget = client.zoneAltTarget;
  const std::span<const std::uint8_t> image = client.Bytes();

  while (FindNextCall(image, state)) {
    if (state.depth < kZoneArguments || state.stack[kZoneIdSlot] > kMaxZoneId) continue;
    const std::uint32_t nickAddress = state.stack[kNickSlot];
    const std::uint32_t nameAddress = state.stack[kNameSlot];
    if (!IsRdataAddress(client, nickAddress) || !IsRdataAddress(client, nameAddress)) continue;

    // A fresh row: the fields zone discovery fills start empty again.
    ZoneRecord row{};
    row.zoneId = static_cast<std::uint16_t>(state.stack[kZoneIdSlot]);
    row.zoneNick = ImageAddressToText(client, nickAddress);
    row.zoneName = ImageAddressToText(client, nameAddress);
    row.expansion = static_cast<std::uint8_t>(state.stack[kExpansionSlot]);
    row.stringId = state.stack[kStringIdSlot];
    row.flags = state.stack[kFlagsSlot];
    row.unknown7 = state.stack[kUnknown7Slot];
    row.unknown8 = state.stack[kUnknown8Slot];
    row.minLevel = static_cast<std::uint8_t>(state.stack[kMinLevelSlot]);
    LowerInPlace(row.zoneNick);

    client.zones[row.zoneId] = row;
    if (row.zoneId > client.maxZoneId) client.maxZoneId = row.zoneId;
    ++client.zoneCount;
  }
}

}  // namespace

Result ReadZoneTable(ClientImage& client) {
  if (!client.image) return Fail("no client image loaded");
  // Rows are cleared too, so nothing of an earlier read survives.
  client.zoneCount = 0;
  client.maxZoneId = 0;
  for (ZoneRecord& row : client.zones) row = ZoneRecord{};

  // Only a recognized build says where its zone registrations are.
  if (FindEdition(client.editionId) != nullptr) ReadZoneRegistrations(client);
  BuildZoneLetterIndex(client);
  return kSuccess;
}

}  // namespace zira
