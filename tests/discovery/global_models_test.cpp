#include "discovery/global_models.h"

#include "discovery_fixture.h"

namespace zira {
namespace {

using testing::Lines;

class GlobalModelsTest : public testing::DiscoveryTest {
 protected:
  void WriteList(const std::string& text) {
    MakeDir("RESOURCES");
    Write("RESOURCES/globalload.TXT", text);
  }
  // The lines after the list's own heading.
  Lines ListLines() const {
    Lines lines = From("  Loading and parsing Resources\\GlobalLoad.txt...");
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
};

TEST_F(GlobalModelsTest, EmptyDirectoryGivesThePhaseHeadingsAndTheMissingListLine) {
  EXPECT_EQ(LoadGlobalModels(io(), inv()), ResultCode::kOk);
  const Lines expected = {
      Both("  Loading Hard-Coded Non-Ostra Global Models..."),
      Both("  Loading Ostra playable race model sources..."),
      Both("  Loading Hard-Coded Ostra Global Models..."),
      Both("  Loading and parsing Resources\\GlobalLoad.txt..."),
      Both("  SKIPPING: Resources\\GlobalLoad.txt not found"),
  };
  EXPECT_EQ(lines_, expected);
  EXPECT_EQ(inv().sourceCount, 0);
  EXPECT_EQ(run_.stats.files, 0);
}

TEST_F(GlobalModelsTest, HardCodedPackagesAreTriedObgFirstInTheirFixedOrder) {
  // Empty files are no packages, so every scan fails after registration.
  for (const char* name : {"frog_mount_chr.S3D", "Global5_Chr2.obg", "global5_chr.s3d", "global7_chr.s3d",
                           "GLOBAL7_CHR.OBG"}) {
    Write(name);
  }
  EXPECT_EQ(LoadGlobalModels(io(), inv()), ResultCode::kOk);
  const Lines expected = {
      Both("  Loading Hard-Coded Non-Ostra Global Models..."),
      Log("   Loading global models from global7_chr.obg"),
      Both("    SKIPPED: Problem loading global models from global7_chr.obg"),
      Log("   Loading global models from global7_chr.s3d"),
      Both("    SKIPPED: Problem loading global models from global7_chr.s3d"),
      Both("  Loading Ostra playable race model sources..."),
      Both("  Loading Hard-Coded Ostra Global Models..."),
      Log("   Loading global models from global5_chr2.obg"),
      Both("    SKIPPED: Problem loading global models from global5_chr2.obg"),
      Log("   Loading global models from global5_chr.s3d"),
      Both("    SKIPPED: Problem loading global models from global5_chr.s3d"),
      Log("   Loading global models from frog_mount_chr.s3d"),
      Both("    SKIPPED: Problem loading global models from frog_mount_chr.s3d"),
      Both("  Loading and parsing Resources\\GlobalLoad.txt..."),
      Both("  SKIPPING: Resources\\GlobalLoad.txt not found"),
  };
  EXPECT_EQ(lines_, expected);
  ASSERT_EQ(SourceBucketCount(inv(), kGlobalBucket), 5);
  const char* names[] = {"global7_chr.obg", "global7_chr.s3d", "global5_chr2.obg", "global5_chr.s3d",
                         "frog_mount_chr.s3d"};
  const int kinds[] = {4, 4, 3, 3, 3};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_STREQ(SourceInBucket(inv(), kGlobalBucket, i)->name, names[i]);
    EXPECT_EQ(SourceKindNumber(SourceInBucket(inv(), kGlobalBucket, i)->kind), kinds[i]);
  }
  EXPECT_EQ(run_.stats.files, 0);  // failed packages are not counted
}

TEST_F(GlobalModelsTest, RacePackagesFollowPlayableRacesGendersAndSuffixes) {
  SetCode(1, 1, Text("HUM"));
  SetCode(1, 2, Text(""));  // an empty code is no code
  SetCode(1, 3, Text("HUN"));
  SetCode(13, 1, Text("XYZ"));  // not playable
  SetCode(522, 2, Text("ELF"));
  for (const char* name :
       {"globalhum_chr.s3d", "GLOBALHUM_CHR2.S3D", "globalhun_chr2.s3d", "globalxyz_chr.s3d", "GlobalElf_Chr.s3d",
        "global_chr.s3d", "global_chr2.s3d", "globalhum_chr.obg"}) {
    Write(name);
  }
  static_cast<void>(LoadGlobalModels(io(), inv()));
  Lines loads;
  for (const auto& line : lines_) {
    if (line.second.find("Loading global models from") != std::string::npos) loads.push_back(line);
  }
  const Lines expected = {
      Log("   Loading global models from globalHUM_chr.s3d"),
      Log("   Loading global models from globalHUM_chr2.s3d"),
      Log("   Loading global models from globalHUN_chr2.s3d"),
      Log("   Loading global models from globalELF_chr.s3d"),
  };
  EXPECT_EQ(loads, expected);
  ASSERT_EQ(SourceBucketCount(inv(), kGlobalBucket), 4);
  EXPECT_STREQ(SourceInBucket(inv(), kGlobalBucket, 0)->name, "globalhum_chr.s3d");
  EXPECT_EQ(SourceKindNumber(SourceInBucket(inv(), kGlobalBucket, 0)->kind), 3);
}

TEST_F(GlobalModelsTest, EditionOneKeepsLinesByFirstFieldAndPackageEnding) {
  inv().client.editionId = 1;
  WriteList(
      "1,0,x,a_chr,rest\r\n"
      "2,0,x,b_chr,rest\r\n"
      "1,0,x,c.s3d,rest\r\n"
      "  1,0,x,d.OBG,rest\r\n"
      ",0,x,e_CHR2,rest\r\n"
      "1,0,x,f_chr ,rest\r\n"
      "1,0,x,g_chr\r\n"
      "\r\n"
      "   \r\n");
  static_cast<void>(LoadGlobalModels(io(), inv()));
  const Lines expected = {
      Both("   SKIPPED: GlobalLoad - Could not find model source a_chr.*"),
      Both("   SKIPPED: GlobalLoad - Could not find model source d.obg"),
      Both("   SKIPPED: GlobalLoad - Could not find model source e_chr2.*"),
  };
  EXPECT_EQ(ListLines(), expected);
}

TEST_F(GlobalModelsTest, EditionTwoKeepsLinesWhoseThirdFieldEndsInC) {
  inv().client.editionId = 2;
  WriteList("1,0,C,a_chr,r\n1,0,abc,b_chr,r\n1,0,A,c_chr,r\n1,0,,d_chr,r\n2,0,c,e.s3d,r\n");
  static_cast<void>(LoadGlobalModels(io(), inv()));
  const Lines expected = {
      Both("   SKIPPED: GlobalLoad - Could not find model source a_chr.*"),
      Both("   SKIPPED: GlobalLoad - Could not find model source b_chr.*"),
      Both("   SKIPPED: GlobalLoad - Could not find model source e.s3d"),
  };
  EXPECT_EQ(ListLines(), expected);
}

TEST_F(GlobalModelsTest, OtherEditionsKeepEveryLineWithFourCommas) {
  for (int edition : {3, 0}) {
    SetUp();
    lines_.clear();
    inv().client.editionId = static_cast<std::uint8_t>(edition);
    WriteList("1,0,x,a.s3d\n1,0,x,b.s3d,\n2,0,A,c.xyz,r,s,t\n");
    static_cast<void>(LoadGlobalModels(io(), inv()));
    const Lines expected = {
        Both("   SKIPPED: GlobalLoad - Could not find model source b.s3d"),
        Both("   SKIPPED: GlobalLoad - Could not find model source c.xyz"),
    };
    EXPECT_EQ(ListLines(), expected);
  }
}

TEST_F(GlobalModelsTest, ListedPackagesAreTrimmedLowerCasedAndResolvedObgFirst) {
  inv().client.editionId = 3;
  Write("Global_Chr.OBG");
  Write("global_chr.s3d");
  Write("Only_S3d.S3D");
  Write("notes.TXT");
  WriteList(
      "1,0,x,  Global_Chr  ,r\n"
      "1,0,x,only_s3d,r\n"
      "1,0,x, Missing ,r\n"
      "1,0,x,NOTES.txt,r\n"
      "1,0,x,   ,r\n");
  EXPECT_EQ(LoadGlobalModels(io(), inv()), ResultCode::kOk);
  const Lines expected = {
      Log("   Loading global model source global_chr.obg"),
      Both("   SKIPPED: Could not load model source global_chr.obg"),
      Log("   Loading global model source only_s3d.s3d"),
      Both("   SKIPPED: Could not load model source only_s3d.s3d"),
      Both("   SKIPPED: GlobalLoad - Could not find model source missing.*"),
      Both("   ODDITY: Did not recognize model source file extension for notes.txt"),
  };
  EXPECT_EQ(ListLines(), expected);
  ASSERT_EQ(SourceBucketCount(inv(), kGlobalBucket), 2);
  EXPECT_EQ(SourceKindNumber(SourceInBucket(inv(), kGlobalBucket, 0)->kind), 2);
  // Only the list itself was read in full.
  EXPECT_EQ(run_.stats.files, 1);
}

TEST_F(GlobalModelsTest, ListedPackageRefusedByTheRegistry) {
  const std::string longName(60, 'q');
  Write(longName + ".s3d");
  WriteList("1,0,x," + longName + ".s3d,r\n");
  static_cast<void>(LoadGlobalModels(io(), inv()));
  const Lines expected = {Both("   SKIPPED: Could not add model source for " + longName + ".s3d")};
  EXPECT_EQ(ListLines(), expected);
  EXPECT_EQ(inv().sourceCount, 0);
}

TEST_F(GlobalModelsTest, TheListIsCountedWithItsSize) {
  const std::string text = "# nothing to load here\r\n";
  WriteList(text);
  static_cast<void>(LoadGlobalModels(io(), inv()));
  EXPECT_EQ(run_.stats.files, 1);
  EXPECT_EQ(run_.stats.bytes, text.size());
  EXPECT_TRUE(ListLines().empty());
}

}  // namespace
}  // namespace zira
