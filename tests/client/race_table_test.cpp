#include "client/race_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/client_fixture.h"
#include "common/pe_format.h"

namespace zira {
namespace {

using testing::ClientFixture;
using testing::ScanWindow;

std::vector<std::uint16_t> Bucket(const ClientImage& client, int bucket) {
  return std::vector<std::uint16_t>(client.codeIndex.ids[bucket], client.codeIndex.ids[bucket] + client.codeIndex.count[bucket]);
}

TEST(RaceTable, FailsWithoutImage) {
  auto client = std::make_unique<ClientImage>();
  EXPECT_EQ(ReadRaceTable(*client), ResultCode::kFailed);
}

TEST(RaceTable, EditionOneTakesGenderRaceAndCodeFromTheFirstSlots) {
  ClientFixture fixture(1);
  const std::uint32_t elf = fixture.writer.AddText("elf");
  auto code = fixture.registrations.Emitter(ScanWindow::kRace);
  code.PushImm8(1).PushImm8(5).PushImm32(elf).Call(fixture.registrations.Target(ScanWindow::kRace));
  // Only gender and race pushed: the code slot still holds the last address.
  code.PushImm8(0).PushImm8(6).Call(fixture.registrations.Target(ScanWindow::kRace));
  ASSERT_TRUE(fixture.registrations.Add(ScanWindow::kRace, code));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  const ClientImage& client = *fixture.client;
  EXPECT_STREQ(RaceCode(client, 5, 2), "ELF");
  EXPECT_EQ(RaceCode(client, 5, 2), RaceCode(client, 6, 1));
  EXPECT_EQ(client.races[5].raceId, 5);
  EXPECT_EQ(client.races[5].codeLength[1], 3);
  EXPECT_EQ(RaceCode(client, 5, 1), nullptr);
  EXPECT_EQ(client.raceCount, 2);
  EXPECT_EQ(client.codeCount, 2);
  EXPECT_EQ(client.maxRaceId, 6);
}

TEST(RaceTable, LaterEditionsReadSlotsThreeAndFourWhateverWasPushed) {
  for (std::uint32_t edition : {2u, 3u}) {
    ClientFixture fixture(edition);
    const std::uint32_t a = fixture.writer.AddText("aaa");
    const std::uint32_t b = fixture.writer.AddText("bbb");
    const std::uint32_t target = fixture.registrations.Target(ScanWindow::kRace);
    auto code = fixture.registrations.Emitter(ScanWindow::kRace);
    code.PushImm8(9).PushImm8(9).PushImm32(a).Call(target);  // slots 3 and 4 still zero: race 0, male
    code.PushImm8(0).PushImm8(0).PushImm32(b).PushImm8(1).PushImm8(7).Call(target);
    code.PushImm8(0).PushImm8(0).PushImm32(a).Call(target);  // race 7 female again, from the older pushes
    ASSERT_TRUE(fixture.registrations.Add(ScanWindow::kRace, code));
    ASSERT_EQ(fixture.Load(), ResultCode::kOk);
    ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
    const ClientImage& client = *fixture.client;
    EXPECT_STREQ(client.races[0].code[0], "AAA") << edition;
    EXPECT_EQ(RaceCode(client, 0, 1), nullptr);
    EXPECT_STREQ(RaceCode(client, 7, 2), "AAA");
    EXPECT_EQ(client.raceCount, 2);
    EXPECT_EQ(client.codeCount, 3);
    EXPECT_EQ(Bucket(client, 1), (std::vector<std::uint16_t>{0, 7}));
  }
}

TEST(RaceTable, RejectsOutOfRangeRegistrations) {
  ClientFixture fixture(1);
  const std::uint32_t start = fixture.writer.RdataStartAddress();
  const std::uint32_t end = fixture.writer.RdataEndAddress();
  const std::uint32_t target = fixture.registrations.Target(ScanWindow::kRace);
  fixture.writer.AddText("x");
  auto code = fixture.registrations.Emitter(ScanWindow::kRace);
  code.PushImm8(3).PushImm8(1).PushImm32(start + 16).Call(target);       // gender index 3
  code.PushImm8(0).PushImm32(2501).PushImm32(start + 16).Call(target);   // race above 2500
  code.PushImm8(0).PushImm8(2).PushImm32(start - 1).Call(target);        // before .rdata
  code.PushImm8(0).PushImm8(3).PushImm32(end + 1).Call(target);          // after .rdata
  code.PushImm8(2).PushImm32(2500).PushImm32(start + 16).Call(target);   // accepted
  code.PushImm8(1).PushImm8(4).PushImm32(end).Call(target);              // accepted: last byte of .rdata
  ASSERT_TRUE(fixture.registrations.Add(ScanWindow::kRace, code));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  const ClientImage& client = *fixture.client;
  EXPECT_EQ(client.codeCount, 2);
  EXPECT_EQ(client.maxRaceId, 2500);
  EXPECT_STREQ(RaceCode(client, 2500, 3), "X");
  EXPECT_STREQ(RaceCode(client, 4, 2), "");
  EXPECT_EQ(RaceCode(client, 1, 4), nullptr);
  EXPECT_EQ(RaceCode(client, 2501, 1), nullptr);
}

TEST(RaceTable, RepeatedRegistrationReplacesTheCode) {
  ClientFixture fixture(1);
  ASSERT_TRUE(fixture.registrations.AddRaces({{"hum", 1, 0}, {"huf", 1, 1}, {"hux", 1, 0}}));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  EXPECT_STREQ(RaceCode(*fixture.client, 1, 1), "HUX");
  EXPECT_EQ(fixture.client->raceCount, 1);
  EXPECT_EQ(fixture.client->codeCount, 3);
}

TEST(RaceTable, ModelCodeIndexListsRacesOncePerBucketInOrder) {
  ClientFixture fixture(2);
  ASSERT_TRUE(fixture.registrations.AddRaces({{"kam", 9, 0},
                                              {"kaf", 3, 0},
                                              {"kon", 3, 2},   // same letter as the male code of race 3
                                              {"elf", 3, 1},   // another letter: listed there too
                                              {"2ab", 5, 0},   // digit: bucket 0
                                              {"_ab", 6, 0},   // punctuation: bucket 0
                                              {"", 8, 0},      // stored, not indexed
                                              {"kay", 5, 1}}));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  const ClientImage& client = *fixture.client;
  EXPECT_EQ(Bucket(client, 11), (std::vector<std::uint16_t>{3, 5, 9}));
  EXPECT_EQ(Bucket(client, 5), (std::vector<std::uint16_t>{3}));
  EXPECT_EQ(Bucket(client, 0), (std::vector<std::uint16_t>{5, 6}));
  EXPECT_EQ(client.raceCount, 5);
  EXPECT_STREQ(RaceCode(client, 8, 1), "");
}

TEST(RaceTable, FullBucketDropsFurtherRaces) {
  ClientFixture fixture(1);
  std::vector<testing::RaceRegistration> races;
  for (std::uint32_t race = 1; race <= 121; ++race) races.push_back({"a" + std::to_string(race), race, 0});
  ASSERT_TRUE(fixture.registrations.AddRaces(races));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  EXPECT_EQ(fixture.client->codeIndex.count[1], 120);
  EXPECT_EQ(fixture.client->codeIndex.ids[1][119], 120);
  EXPECT_STREQ(RaceCode(*fixture.client, 121, 1), "A121");
}

TEST(RaceTable, SharedTextIsOnePointerUpperCasedOnce) {
  ClientFixture fixture(3);
  ASSERT_TRUE(fixture.registrations.AddRaces({{"dwm", 4, 0}, {"dwm", 40, 2}}));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  EXPECT_EQ(RaceCode(*fixture.client, 4, 1), RaceCode(*fixture.client, 40, 3));
  EXPECT_STREQ(RaceCode(*fixture.client, 4, 1), "DWM");
}

// A .rdata section whose raw data starts three bytes before the image end:
// its texts end at the image end, and addresses beyond it give the empty text there.
TEST(RaceTable, TextsNeverRunPastTheImage) {
  ClientFixture fixture(1);
  const auto size = static_cast<std::uint32_t>(fixture.writer.Bytes().size());
  fixture.writer.PutU32(fixture.writer.SectionHeaderOffset(1) + pe_format::kSectionRawOffsetField, size - 3);
  const std::uint8_t tail[3] = {'a', 'b', 'c'};
  fixture.writer.Put(size - 3, tail);
  const std::uint32_t start = fixture.writer.RdataStartAddress();
  const std::uint32_t target = fixture.registrations.Target(ScanWindow::kRace);
  auto code = fixture.registrations.Emitter(ScanWindow::kRace);
  code.PushImm8(0).PushImm8(1).PushImm32(start).Call(target);
  code.PushImm8(0).PushImm8(2).PushImm32(start + 1000).Call(target);
  ASSERT_TRUE(fixture.registrations.Add(ScanWindow::kRace, code));
  ASSERT_EQ(fixture.Load(), ResultCode::kOk);
  ASSERT_EQ(ReadRaceTable(*fixture.client), ResultCode::kOk);
  EXPECT_STREQ(RaceCode(*fixture.client, 1, 1), "ABC");
  EXPECT_EQ(fixture.client->races[1].codeLength[0], 3);
  EXPECT_STREQ(RaceCode(*fixture.client, 2, 1), "");
  EXPECT_EQ(fixture.client->codeIndex.count[1], 1);
}

}  // namespace
}  // namespace zira
