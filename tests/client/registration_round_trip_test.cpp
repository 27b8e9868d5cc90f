#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "client/client_fixture.h"
#include "client/race_table.h"
#include "client/zone_table.h"

namespace zira {
namespace {

using testing::ClientFixture;
using testing::CodeStyle;
using testing::RaceRegistration;
using testing::ScanWindow;
using testing::ZoneRegistration;

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<RaceRegistration> SomeRaces() {
  std::vector<RaceRegistration> races;
  const std::uint32_t ids[] = {1, 2, 3, 12, 128, 130, 255, 256, 330, 522, 700, 2500};
  for (std::uint32_t id : ids) {
    for (std::uint32_t gender = 0; gender < 3; ++gender) {
      if ((id + gender) % 5 == 4) continue;  // not every race has every gender
      const char first = static_cast<char>((id % 2 ? 'a' : 'Q') + gender);
      races.push_back({std::string(1, first) + "x" + std::to_string(id), id, gender});
    }
  }
  return races;
}

std::vector<ZoneRegistration> SomeZones(bool withAlt) {
  std::vector<ZoneRegistration> zones;
  for (std::uint32_t i = 0; i < 40; ++i) {
    ZoneRegistration zone;
    zone.zoneId = i * 37 % 1501;
    zone.nick = (i % 3 ? "Zn" : "ab") + std::to_string(i);
    zone.name = "Zone Number " + std::to_string(i);
    zone.expansion = i % 20;
    zone.stringId = i * 1000 + 7;
    zone.flags = i % 2 ? 0x80000000u >> (i % 31) : 0;
    zone.unknown7 = i;
    zone.unknown8 = 0xFFFF0000u + i;
    zone.minLevel = i * 3 % 70;
    zone.useAltTarget = withAlt && i % 4 == 1;
    zones.push_back(zone);
  }
  return zones;
}

void ExpectTablesMatch(const ClientImage& client, const std::vector<RaceRegistration>& races,
                       const std::vector<ZoneRegistration>& zones) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> expected;
  for (const RaceRegistration& race : races) expected[{race.raceId, race.genderIndex}] = Upper(race.code);
  std::size_t found = 0;
  for (std::uint32_t id = 0; id <= kMaxRaceId; ++id) {
    for (std::uint32_t gender = 0; gender < 3; ++gender) {
      const char* code = client.races[id].code[gender];
      const auto want = expected.find({id, gender});
      if (want == expected.end()) {
        EXPECT_EQ(code, nullptr) << id << ' ' << gender;
        continue;
      }
      ++found;
      ASSERT_NE(code, nullptr) << id << ' ' << gender;
      EXPECT_EQ(want->second, code);
    }
  }
  EXPECT_EQ(found, expected.size());
  EXPECT_EQ(client.codeCount, races.size());

  std::map<std::uint32_t, const ZoneRegistration*> byId;
  for (const ZoneRegistration& zone : zones) byId[zone.zoneId] = &zone;
  EXPECT_EQ(client.zoneCount, zones.size());
  for (std::uint32_t id = 0; id <= kMaxZoneId; ++id) {
    const ZoneRecord& row = client.zones[id];
    const auto want = byId.find(id);
    if (want == byId.end()) {
      EXPECT_EQ(row.zoneNick, nullptr) << id;
      continue;
    }
    const ZoneRegistration& zone = *want->second;
    ASSERT_NE(row.zoneNick, nullptr) << id;
    EXPECT_EQ(row.zoneId, id);
    EXPECT_EQ(Lower(zone.nick), row.zoneNick);
    EXPECT_EQ(zone.name, row.zoneName);
    EXPECT_EQ(row.expansion, zone.expansion);
    EXPECT_EQ(row.stringId, zone.stringId);
    EXPECT_EQ(row.flags, zone.flags);
    EXPECT_EQ(row.unknown7, zone.unknown7);
    EXPECT_EQ(row.unknown8, zone.unknown8);
    EXPECT_EQ(row.minLevel, zone.minLevel);
  }
}

TEST(RegistrationRoundTrip, TablesComeBackAsWrittenInEveryEdition) {
  for (std::uint32_t edition = 1; edition <= 3; ++edition) {
    for (CodeStyle style : {CodeStyle::kMixed, CodeStyle::kPlain}) {
      SCOPED_TRACE(edition);
      ClientFixture fixture(edition, style);
      const std::vector<RaceRegistration> races = SomeRaces();
      const std::vector<ZoneRegistration> zones = SomeZones(edition == 3);
      ASSERT_TRUE(fixture.registrations.AddRaces(races));
      ASSERT_TRUE(fixture.registrations.AddZones(zones));
      ASSERT_EQ(fixture.Load(), ResultCode::kOk);
      ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
      ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
      ExpectTablesMatch(*fixture.client, races, zones);
    }
  }
}

// The writer refuses what does not fit instead of writing past the window,
// and what it did write still reads back.
TEST(RegistrationRoundTrip, FullWindowIsRefused) {
  ClientFixture fixture(1, CodeStyle::kMixed);
  std::vector<RaceRegistration> written;
  for (std::uint32_t i = 0;; ++i) {
    const RaceRegistration race{"r" + std::to_string(i), 300 + i % 2000, i % 3};
    if (!fixture.registrations.AddRace(race)) break;
    written.push_back(race);
  }
  ASSERT_GT(written.size(), 450u);
  EXPECT_LE(fixture.registrations.Position(ScanWindow::kRace), fixture.registrations.End(ScanWindow::kRace));
  const std::uint8_t tooMuch[64] = {};
  EXPECT_FALSE(fixture.registrations.AddRaw(ScanWindow::kRace, tooMuch));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  ASSERT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
  ExpectTablesMatch(*fixture.client, written, {});
}

// Random bytes in both windows, with matching calls and .rdata addresses
// sprinkled in, are read without any out-of-range access (sanitizer build).
TEST(RegistrationRoundTrip, RandomWindowsAreReadSafely) {
  std::mt19937 random(1234);
  for (std::uint32_t edition = 1; edition <= 3; ++edition) {
    ClientFixture fixture(edition);
    for (ScanWindow window : {ScanWindow::kRace, ScanWindow::kZone}) {
      for (;;) {
        auto code = fixture.registrations.Emitter(window);
        const std::uint32_t pick = random() % 16;
        if (pick == 0) {
          code.Call(fixture.registrations.Target(window, window == ScanWindow::kZone && random() % 2));
        } else if (pick == 1) {
          code.PushImm32(fixture.writer.RdataEndAddress() - random() % 64);
        } else {
          code.Raw({static_cast<std::uint8_t>(random())});
        }
        if (!fixture.registrations.Add(window, code)) break;
      }
    }
    ASSERT_EQ(fixture.Load(), ResultCode::kOk);
    EXPECT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
    EXPECT_EQ(ReadZoneTable(*fixture.client), ResultCode::kOk);
    EXPECT_LE(fixture.client->maxRaceId, kMaxRaceId);
    EXPECT_LE(fixture.client->maxZoneId, kMaxZoneId);
  }
}

}  // namespace
}  // namespace zira
