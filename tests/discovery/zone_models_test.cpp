#include "discovery/zone_models.h"

#include "discovery_fixture.h"

namespace zira {
namespace {

using testing::Lines;

class ZoneModelsTest : public testing::DiscoveryTest {
 protected:
  void SetUp() override {
    DiscoveryTest::SetUp();
    SetCode(1, 1, Text("HUM"));
    SetCode(1, 2, Text("HUF"));
  }
  // A source of kind 0 or a global one holding the given model codes, as a
  // finished scan leaves it (a second scan ends at once).
  ModelSource* Source(const char* name, std::uint8_t kind, std::initializer_list<const char*> codes) {
    ModelSource* source = FindOrAddSource(inv(), name, static_cast<SourceKind>(kind), false);
    for (const char* code : codes) AddModel(inv(), source, code);
    source->scanned = 1;
    return source;
  }
  // The lines after the list's "Looking for" line.
  Lines Entries(const std::string& looking) const {
    Lines lines = From(looking);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
};

TEST_F(ZoneModelsTest, ZoneWithoutNickFails) {
  EXPECT_EQ(LoadZoneModels(io(), inv(), kMaxZoneId + 1), ResultCode::kInvalidArgument);
  EXPECT_EQ(LoadZoneImports(io(), inv(), kMaxZoneId + 1), ResultCode::kInvalidArgument);
  EXPECT_EQ(LoadZoneModels(io(), inv(), 3), ResultCode::kFailed);
  inv().client.zones[3].zoneNick = Text("");
  EXPECT_EQ(LoadZoneModels(io(), inv(), 3), ResultCode::kFailed);
  EXPECT_TRUE(lines_.empty());
}

TEST_F(ZoneModelsTest, OwnPackagesWithoutImportList) {
  Write("ABC_chr.s3d", "12345");
  Write("abc_CHR2.S3D", "123");
  const std::size_t zone = Zone(7, "abc");
  EXPECT_EQ(LoadZoneModels(io(), inv(), zone), ResultCode::kOk);
  ASSERT_NE(Links(zone).chrSource, nullptr);
  ASSERT_NE(Links(zone).chr2Source, nullptr);
  EXPECT_STREQ(Links(zone).chrSource->name, "abc_chr.s3d");
  EXPECT_STREQ(Links(zone).chr2Source->name, "abc_chr2.s3d");
  EXPECT_EQ(SourceKindNumber(Links(zone).chrSource->kind), 0);
  EXPECT_EQ(Links(zone).importCount, 0);
  // A failed scan of a zone package has no message of its own here; the file still counts.
  const Lines expected = {Log("  Found Zone Model File: abc_chr.s3d"), Log("  Found Zone Model File: abc_chr2.s3d")};
  EXPECT_EQ(lines_, expected);
  EXPECT_EQ(run_.stats.files, 2);
  EXPECT_EQ(run_.stats.bytes, 8u);
}

TEST_F(ZoneModelsTest, ZonePackageOfAGlobalNameGetsALocalRow) {
  ModelSource* global = Source("abc_chr.s3d", 2, {});
  Write("abc_chr.s3d");
  const std::size_t zone = Zone(1, "abc");
  static_cast<void>(LoadZoneModels(io(), inv(), zone));
  ASSERT_NE(Links(zone).chrSource, nullptr);
  EXPECT_NE(Links(zone).chrSource, global);
  EXPECT_EQ(SourceKindNumber(Links(zone).chrSource->kind), 0);
  EXPECT_EQ(Links(zone).chr2Source, nullptr);
}

TEST_F(ZoneModelsTest, OverlongNickRefusesPackagesSilentlyAndReportsTheList) {
  const std::string nick(56, 'n');  // every derived name has 64 characters
  Write(nick + "_chr.s3d");
  Write(nick + "_chr2.s3d");
  Write(nick + "_chr.txt", "1\nHUM,abc\n");
  const std::size_t zone = Zone(2, nick);
  ModelSource* stale = &inv().sources[0];
  Links(zone).chrSource = stale;
  Links(zone).chr2Source = stale;
  EXPECT_EQ(LoadZoneImports(io(), inv(), zone), ResultCode::kFailed);
  EXPECT_EQ(LoadZoneModels(io(), inv(), zone), ResultCode::kOk);
  EXPECT_EQ(Links(zone).chrSource, nullptr);
  EXPECT_EQ(Links(zone).chr2Source, nullptr);
  const std::string tooLong =
      "  SKIPPED: _sTXTFile '" + nick + "_chr.txt' is too long. Max allowed is 63 characters!";
  const Lines expected = {Both(tooLong), Both(tooLong)};
  EXPECT_EQ(lines_, expected);
  EXPECT_EQ(inv().sourceCount, 0);
}

TEST_F(ZoneModelsTest, ListOfSixtyThreeCharactersIsRead) {
  const std::string nick(55, 'm');
  Write(nick + "_CHR.TXT", "\n");
  const std::size_t zone = Zone(2, nick);
  EXPECT_EQ(LoadZoneImports(io(), inv(), zone), ResultCode::kOk);
  const Lines expected = {Log("  Found Zone Model Import File: " + nick + "_chr.txt")};
  EXPECT_EQ(lines_, expected);
}

TEST_F(ZoneModelsTest, ListThatExistsButCannotBeOpened) {
  // A socket, or a file held without sharing, cannot be opened, even by root.
  const testing::UnopenableEntry entry(dir_ / "Abc_Chr.txt");
  ASSERT_TRUE(entry.Made());
  run_.files.ForgetListings();
  const std::size_t zone = Zone(1, "abc");
  EXPECT_EQ(LoadZoneImports(io(), inv(), zone), ResultCode::kFailed);
  const Lines expected = {Both("  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.")};
  EXPECT_EQ(lines_, expected);
}

TEST_F(ZoneModelsTest, HeaderThatIsNoNonzeroNumber) {
  for (const char* header : {"0", "none", "  -0x5"}) {
    lines_.clear();
    Write("abc_chr.txt", std::string("\r\n  \r\n") + header + "\r\nHUM,abc\r\n");
    const std::size_t zone = Zone(1, "abc");
    EXPECT_EQ(LoadZoneImports(io(), inv(), zone), ResultCode::kFailed) << header;
    const Lines expected = {Log("  Found Zone Model Import File: abc_chr.txt"),
                            Both("  SKIPPED: Unable to parse abc_chr.txt for model imports")};
    EXPECT_EQ(lines_, expected) << header;
  }
}

TEST_F(ZoneModelsTest, ListWithoutAnyLineEndsQuietly) {
  Write("abc_chr.txt", "  \r\n\r\n   \n");
  const std::size_t zone = Zone(1, "abc");
  EXPECT_EQ(LoadZoneImports(io(), inv(), zone), ResultCode::kOk);
  const Lines expected = {Log("  Found Zone Model Import File: abc_chr.txt")};
  EXPECT_EQ(lines_, expected);
  EXPECT_EQ(run_.stats.files, 0);
}

TEST_F(ZoneModelsTest, EntriesThatFindNothing) {
  Write("Other.S3D");
  Write("Pick.OBG");
  Write("pick.s3d");
  Write("only.S3D");
  Write("strange.dat");
  const std::string longName(60, 'p');
  Write(longName + ".s3d");
  Write("abc_chr.txt",
        "  5 entries\r\n"
        "hum, Missing \r\n"
        "this line has no comma\r\n"
        "xyz,other.s3d\r\n"
        "\r\n"
        " hum , Other.S3D\r\n"
        "huf,PICK\r\n"
        "huf,only\r\n"
        "hum,strange.dat\r\n"
        "hum," +
            longName + ".s3d\r\n");
  const std::size_t zone = Zone(1, "abc");
  EXPECT_EQ(LoadZoneModels(io(), inv(), zone), ResultCode::kOk);
  const Lines expected = {
      Both("   SKIPPED: Model HUM in abc_chr.txt, nonexistent missing.*"),
      Both("   SKIPPED: No race found to match model code XYZ in abc_chr.txt"),
      Both("   SKIPPED: Problem loading models from other.s3d in abc_chr.txt"),
      Both("   SKIPPED: Model HUM in abc_chr.txt, not in other.s3d"),
      Both("      SKIPPED: Problem loading models from pick.obg in abc_chr.txt"),
      Both("   SKIPPED: Model HUF in abc_chr.txt, not in pick.obg"),
      Both("   SKIPPED: Problem loading models from only.s3d in abc_chr.txt"),
      Both("   SKIPPED: Model HUF in abc_chr.txt, not in only.s3d"),
      Both("   SKIPPED: Unknown model source type strange.dat in abc_chr.txt"),
      Both("   SKIPPED: Model HUM in abc_chr.txt, not in strange.dat"),
      Both("      SKIPPED: Could not add model source " + longName + ".s3d from abc_chr.txt"),
      Both("   ODDITY: Expected 5 model references in abc_chr.txt, found 7"),
  };
  EXPECT_EQ(Entries("   Looking for 5 model code/source entries in abc_chr.txt"), expected);
  EXPECT_EQ(Links(zone).importCount, 0);
  // Failed scans are not counted, and the list itself never is.
  EXPECT_EQ(run_.stats.files, 0);
}

TEST_F(ZoneModelsTest, PackageWithExtensionIsRegisteredEvenWhenMissing) {
  Write("abc_chr.txt", "1\nHUM,gone.s3d\n");
  const std::size_t zone = Zone(1, "abc");
  static_cast<void>(LoadZoneModels(io(), inv(), zone));
  ASSERT_NE(FindSource(inv(), "gone.s3d"), nullptr);
  EXPECT_TRUE(Logged("   SKIPPED: Model HUM in abc_chr.txt, not in gone.s3d"));
}

TEST_F(ZoneModelsTest, ImportsFromAKnownSourceWithoutANewScan) {
  ModelSource* global = Source("global_chr.obg", 2, {"HUM", "HUF"});
  Write("global_chr.obg");
  Write("GLOBAL_CHR.S3D");
  Write("abc_chr.txt", "3\nhum,global_chr\nHUM,Global_Chr.obg\nhuf , global_chr\n");
  const std::size_t zone = Zone(4, "abc");
  static_cast<void>(LoadZoneModels(io(), inv(), zone));
  const Lines expected = {
      Log("      Imported Model HUM (Race 1, Gender 1) to Zone abc"),
      Log("      Imported Model HUM (Race 1, Gender 1) to Zone abc"),
      Log("      Imported Model HUF (Race 1, Gender 2) to Zone abc"),
  };
  EXPECT_EQ(Entries("   Looking for 3 model code/source entries in abc_chr.txt"), expected);
  ASSERT_EQ(Links(zone).importCount, 2);
  EXPECT_EQ(Links(zone).imports[0], global->models[0]);
  EXPECT_EQ(Links(zone).imports[1], global->models[1]);
  EXPECT_EQ(inv().sourceCount, 1);
  EXPECT_EQ(run_.stats.files, 0);
}

TEST_F(ZoneModelsTest, FullImportListStillLogsTheImport) {
  ModelSource* source = Source("global_chr.obg", 2, {"HUM"});
  const std::size_t zone = Zone(4, "abc");
  ModelDef* filler = source->models[0] + 1;
  for (std::size_t i = 0; i < kZoneImportCapacity; ++i) Links(zone).imports[i] = filler;
  Links(zone).importCount = kZoneImportCapacity;
  Write("abc_chr.txt", "1\nHUM,global_chr.obg\n");
  static_cast<void>(LoadZoneModels(io(), inv(), zone));
  EXPECT_EQ(Links(zone).importCount, kZoneImportCapacity);
  EXPECT_TRUE(Logged("      Imported Model HUM (Race 1, Gender 1) to Zone abc"));
}

TEST_F(ZoneModelsTest, OverlongLinesReadAsSeveralLines) {
  Source("global_chr.obg", 2, {"HUM"});
  // The first 1023 characters hold no comma; the rest starts with one.
  const std::string line = std::string(1020, ' ') + "HUM" + ",global_chr.obg";
  Write("abc_chr.txt", "1\n" + line + "\n");
  const std::size_t zone = Zone(4, "abc");
  static_cast<void>(LoadZoneModels(io(), inv(), zone));
  EXPECT_EQ(Links(zone).importCount, 0);
  const Lines expected = {Both("   SKIPPED: No race found to match model code  in abc_chr.txt")};
  EXPECT_EQ(Entries("   Looking for 1 model code/source entries in abc_chr.txt"), expected);
}

}  // namespace
}  // namespace zira
