#include "discovery/orphan_models.h"

#include "discovery_fixture.h"

namespace zira {
namespace {

using testing::Lines;

class OrphanModelsTest : public testing::DiscoveryTest {};

TEST_F(OrphanModelsTest, NoRacesDoNothing) {
  Write("hum.obg");
  EXPECT_EQ(LoadOrphanModels(io(), inv()), ResultCode::kOk);
  EXPECT_TRUE(lines_.empty());
  EXPECT_EQ(inv().sourceCount, 0);
}

TEST_F(OrphanModelsTest, TrulyOrphanedCodesAreReportedOncePerStoredCode) {
  char* hum = Text("HUM");
  char* elf = Text("ELF");
  SetCode(1, 1, hum);
  SetCode(1, 3, hum);            // the same stored code: one report
  SetCode(2, 1, Text("HUM"));    // equal text stored elsewhere: a code of its own
  SetCode(2, 2, Text(""));       // no code
  SetCode(3, 1, elf);
  SetCode(4, 2, elf);            // directly after its own report again
  SetCode(5, 3, hum);            // after another report: reported again
  EXPECT_EQ(LoadOrphanModels(io(), inv()), ResultCode::kOk);
  const Lines expected = {
      Log("  ODDITY: Model code 'HUM' is truly orphaned (no sources)"),
      Log("  ODDITY: Model code 'HUM' is truly orphaned (no sources)"),
      Log("  ODDITY: Model code 'ELF' is truly orphaned (no sources)"),
      Log("  ODDITY: Model code 'HUM' is truly orphaned (no sources)"),
  };
  EXPECT_EQ(lines_, expected);
}

TEST_F(OrphanModelsTest, CoveredCodesAreNeverLookedUp) {
  SetCode(1, 1, Text("HUM"));
  SetCode(1, 2, Text("HUF"));
  ModelSource* global = FindOrAddSource(inv(), "global_chr.s3d", SourceKind::kGlobalLoadList, false);
  AddModel(inv(), global, "HUM");
  Write("HUM.obg");
  Write("huf_CHR.s3d");
  static_cast<void>(LoadOrphanModels(io(), inv()));
  // Only the female code is an orphan; its scan fails on the empty file.
  const Lines expected = {Both("  SKIPPED: Problem loading model information from HUF_chr.s3d")};
  EXPECT_EQ(lines_, expected);
  ASSERT_EQ(SourceBucketCount(inv(), kOrphanBucket), 1);
  EXPECT_STREQ(SourceInBucket(inv(), kOrphanBucket, 0)->name, "huf_chr.s3d");
  EXPECT_EQ(run_.stats.files, 0);
}

TEST_F(OrphanModelsTest, ObgPackageComesBeforeTheChrPackage) {
  SetCode(9, 1, Text("XYZ"));
  Write("xyz.OBG");
  Write("XYZ_chr.s3d");
  static_cast<void>(LoadOrphanModels(io(), inv()));
  const Lines expected = {Both("  SKIPPED: Problem loading model information from XYZ.obg")};
  EXPECT_EQ(lines_, expected);
  ASSERT_EQ(SourceBucketCount(inv(), kOrphanBucket), 1);
  ModelSource* orphan = SourceInBucket(inv(), kOrphanBucket, 0);
  EXPECT_STREQ(orphan->name, "xyz.obg");
  EXPECT_EQ(SourceKindNumber(orphan->kind), 0);
  EXPECT_EQ(FindSource(inv(), "xyz.obg"), nullptr);
}

TEST_F(OrphanModelsTest, FullOrphanBucketRefusesThePackage) {
  for (std::size_t i = 0; i < kSourcesPerBucket; ++i) {
    ASSERT_NE(FindOrAddSource(inv(), ("o" + std::to_string(i) + ".obg").c_str(), SourceKind::kLocalToZone, true), nullptr);
  }
  SetCode(9, 1, Text("XYZ"));
  Write("xyz.obg");
  static_cast<void>(LoadOrphanModels(io(), inv()));
  const Lines expected = {Both("  FAILURE: Problem adding orphan model source XYZ.obg")};
  EXPECT_EQ(lines_, expected);
}

TEST_F(OrphanModelsTest, CodeTooLongForAPackageNameIsTrulyOrphaned) {
  const std::string code(60, 'Q');
  SetCode(9, 1, Text(code));
  // Neither the whole name nor one cut to the name buffer is taken.
  Write(code + ".obg");
  Write(code + ".ob");
  static_cast<void>(LoadOrphanModels(io(), inv()));
  const Lines expected = {Log("  ODDITY: Model code '" + code + "' is truly orphaned (no sources)")};
  EXPECT_EQ(lines_, expected);
}

}  // namespace
}  // namespace zira
