#include "client/zone_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/client_fixture.h"

namespace zira {
namespace {

using testing::ClientFixture;
using testing::ScanWindow;
using testing::ZoneRegistration;

ZoneRegistration Zone(std::uint32_t id, const std::string& nick) {
  ZoneRegistration zone;
  zone.zoneId = id;
  zone.nick = nick;
  zone.name = "The " + nick;
  zone.stringId = 1000 + id;
  return zone;
}

TEST(ZoneTable, FailsWithoutImage) {
  auto client = std::make_unique<ClientImage>();
  EXPECT_EQ(ReadZoneTable(*client), ResultCode::kFailed);
}

TEST(ZoneTable, ReadsAllNineArguments) {
  ClientFixture fixture(1);
  ZoneRegistration zone{42, "QuArry", "North Quarry", 0x1FF, 0x12345, 0x80000001u, 7, 0xFFFFFFFF, 0x102, false};
  ASSERT_TRUE(fixture.registrations.AddZone(zone));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
  const ZoneRecord& row = fixture.client->zones[42];
  EXPECT_EQ(row.zoneId, 42);
  EXPECT_STREQ(row.zoneNick, "quarry");
  EXPECT_STREQ(row.zoneName, "North Quarry");
  EXPECT_EQ(row.expansion, 0xFF);
  EXPECT_EQ(row.stringId, 0x12345u);
  EXPECT_EQ(row.flags, 0x80000001u);
  EXPECT_EQ(row.unknown7, 7u);
  EXPECT_EQ(row.unknown8, 0xFFFFFFFFu);
  EXPECT_EQ(row.minLevel, 2);
  EXPECT_EQ(fixture.client->zoneCount, 1);
  EXPECT_EQ(fixture.client->maxZoneId, 42);
}

TEST(ZoneTable, SkipsShortAndOutOfRangeRegistrations) {
  ClientFixture fixture(2);
  const std::uint32_t nick = fixture.writer.AddText("abc");
  const std::uint32_t name = fixture.writer.AddText("Abc");
  const std::uint32_t outside = fixture.writer.RdataEndAddress() + 1;
  const std::uint32_t target = fixture.registrations.Target(ScanWindow::kZone);
  auto code = fixture.registrations.Emitter(ScanWindow::kZone);
  auto zone = [&](std::uint32_t id, std::uint32_t nickAddress, std::uint32_t nameAddress, bool full) {
    code.PushImm8(1).PushImm8(0).PushImm8(0).PushImm8(0).PushImm8(5);
    code.PushImm32(nameAddress).PushImm32(nickAddress).PushImm32(id);
    if (full) code.PushImm8(1);
    code.Call(target);
  };
  zone(10, nick, name, false);      // eight arguments
  zone(1501, nick, name, true);     // ZoneID too large
  zone(11, outside, name, true);    // nick outside .rdata
  zone(12, nick, outside, true);    // name outside .rdata
  zone(1500, nick, name, true);     // accepted
  ASSERT_TRUE(fixture.registrations.Add(ScanWindow::kZone, code));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
  EXPECT_EQ(fixture.client->zoneCount, 1);
  EXPECT_EQ(fixture.client->maxZoneId, 1500);
  for (std::uint32_t id : {10u, 11u, 12u}) EXPECT_EQ(fixture.client->zones[id].zoneNick, nullptr) << id;
  EXPECT_STREQ(fixture.client->zones[1500].zoneNick, "abc");
}

TEST(ZoneTable, RepeatedZoneReplacesTheRow) {
  ClientFixture fixture(3);
  ZoneRegistration first = Zone(7, "old");
  first.flags = 4;
  first.minLevel = 30;
  ZoneRegistration second = Zone(7, "New");
  second.useAltTarget = true;
  ASSERT_TRUE(fixture.registrations.AddZones({first, second}));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
  const ClientImage& client = *fixture.client;
  EXPECT_STREQ(client.zones[7].zoneNick, "new");
  EXPECT_STREQ(client.zones[7].zoneName, "The New");
  EXPECT_EQ(client.zones[7].flags, 0u);
  EXPECT_EQ(client.zones[7].minLevel, 0);
  EXPECT_EQ(client.zoneCount, 2);
  EXPECT_EQ(client.zoneIndex.count[14], 1);
  EXPECT_EQ(client.zoneIndex.count[15], 0);
}

TEST(ZoneTable, AltTargetCountsOnlyWhereTheEditionHasOne) {
  ClientFixture fixture(1);
  ZoneRegistration zone = Zone(3, "alt");
  zone.useAltTarget = true;
  EXPECT_FALSE(fixture.registrations.AddZone(zone));
  EXPECT_EQ(fixture.registrations.Position(ScanWindow::kZone), FindEdition(1)->zoneScanStart);
}

// Only a recognized edition says where zone registrations are; a hand-made
// image without one reads none, though its windows hold some.
TEST(ZoneTable, UnrecognizedEditionReadsNoZones) {
  ClientFixture fixture(3);
  ASSERT_TRUE(fixture.registrations.AddZone(Zone(12, "kept")));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  fixture.client->editionId = 0;
  ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
  EXPECT_EQ(fixture.client->zoneCount, 0);
  EXPECT_EQ(fixture.client->zones[12].zoneNick, nullptr);
  EXPECT_EQ(fixture.client->zoneIndex.count[11], 0);
  fixture.client->editionId = 3;
  ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
  EXPECT_EQ(fixture.client->zoneCount, 1);
}

TEST(ZoneTable, LetterIndexBucketsAndCapacity) {
  ClientFixture fixture(1);
  std::vector<ZoneRegistration> zones;
  for (std::uint32_t id = 200; id >= 130; --id) zones.push_back(Zone(id, "b" + std::to_string(id)));
  zones.push_back(Zone(5, "9lives"));
  zones.push_back(Zone(6, ""));
  ASSERT_TRUE(fixture.registrations.AddZones(zones));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
  const ZoneLetterIndex& index = fixture.client->zoneIndex;
  ASSERT_EQ(index.count[2], 70);
  EXPECT_EQ(index.ids[2][0], 130);
  EXPECT_EQ(index.ids[2][69], 199);  // the 71st nick, zone 200, is not indexed
  EXPECT_EQ(index.count[0], 1);
  EXPECT_EQ(index.ids[0][0], 5);
  EXPECT_STREQ(fixture.client->zones[6].zoneNick, "");
  EXPECT_EQ(fixture.client->zoneCount, 73);
}

}  // namespace
}  // namespace zira
