// Discovery over packages that scan: sources filled with models, reuse of
// sources already scanned, imports and orphans.
#include "discovery/global_models.h"
#include "discovery/orphan_models.h"
#include "discovery/zone_models.h"
#include "discovery_fixture.h"
#include "support/package_writer.h"
#include "support/world_builder.h"

namespace zira {
namespace {

using testing::Lines;

class ScannedPackagesTest : public testing::DiscoveryTest {
 protected:
  // An .obg package whose entries are model files and textures by name.
  void WriteObg(const std::string& name, std::initializer_list<const char*> entries) {
    testing::PackageWriter writer;
    for (const char* entry : entries) writer.AddEntry(entry, {'x'});
    ASSERT_TRUE(writer.WriteTo(dir_ / name));
    run_.files.ForgetListings();
  }
  // An .s3d package whose world file (named after the package) holds one
  // model fragment per code. Returns the world file's size.
  std::size_t WriteS3d(const std::string& name, std::initializer_list<const char*> codes) {
    testing::WorldBuilder world;
    for (const char* code : codes) world.AddModel(std::string(code) + "_ACTORDEF", 0);
    testing::PackageWriter writer;
    const std::vector<std::uint8_t> bytes = world.Bytes();
    writer.AddEntry(name.substr(0, name.size() - 3) + "wld", bytes);
    EXPECT_TRUE(writer.WriteTo(dir_ / name));
    run_.files.ForgetListings();
    return bytes.size();
  }
  std::size_t Count(const std::string& text) const {
    std::size_t count = 0;
    for (const auto& line : lines_) count += line.second == text ? 1 : 0;
    return count;
  }
  bool HasFailures() const {
    for (const auto& line : lines_) {
      if (line.second.find("SKIPPED") != std::string::npos || line.second.find("FAILURE") != std::string::npos ||
          line.second.find("ODDITY") != std::string::npos) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(ScannedPackagesTest, GlobalPackagesAreScannedAndCounted) {
  char* hum = Text("HUM");
  SetCode(1, 1, hum);
  SetCode(1, 3, hum);  // one stored code for two genders: its packages count twice
  SetCode(1, 2, Text("HUF"));
  WriteObg("Global7_Chr.obg", {"huf.mod", "a_huf_01_c.dds"});
  const std::size_t world = WriteS3d("GLOBALHUM_CHR.S3D", {"HUM", "HUF"});
  EXPECT_EQ(LoadGlobalModels(io(), inv()), ResultCode::kOk);
  EXPECT_FALSE(HasFailures());
  EXPECT_EQ(Count("   Loading global models from globalHUM_chr.s3d"), 2u);
  EXPECT_EQ(Count("     Found model HUM in source globalhum_chr.s3d"), 1u);
  ASSERT_EQ(SourceBucketCount(inv(), kGlobalBucket), 2);
  ModelSource* obg = SourceInBucket(inv(), kGlobalBucket, 0);
  ModelSource* s3d = SourceInBucket(inv(), kGlobalBucket, 1);
  EXPECT_EQ(SourceKindNumber(obg->kind), 4);
  EXPECT_EQ(obg->modelCount, 1);
  EXPECT_EQ(SourceKindNumber(s3d->kind), 3);
  EXPECT_EQ(s3d->modelCount, 2);
  // The .obg once, the .s3d twice and its world file once.
  EXPECT_EQ(run_.stats.files, 4);
  std::uint32_t obgSize = 0;
  std::uint32_t s3dSize = 0;
  ASSERT_TRUE(run_.files.FileSize("global7_chr.obg", &obgSize));
  ASSERT_TRUE(run_.files.FileSize("globalhum_chr.s3d", &s3dSize));
  EXPECT_EQ(run_.stats.bytes, obgSize + 2u * s3dSize + world);
}

TEST_F(ScannedPackagesTest, ListedPackagesAreScannedOnceAndCountedEachTime) {
  SetCode(1, 1, Text("HUM"));
  WriteS3d("global7_chr.s3d", {"HUM"});
  WriteObg("Extra.OBG", {"hum.mod"});
  MakeDir("Resources");
  Write("Resources/GlobalLoad.txt", "1,0,x,global7_chr.s3d,r\r\n1,0,x,extra,r\r\n");
  static_cast<void>(LoadGlobalModels(io(), inv()));
  EXPECT_FALSE(HasFailures());
  const Lines expected = {
      Log("   Loading global model source global7_chr.s3d"),
      Log("   Loading global model source extra.obg"),
      Log("     Found model HUM in source extra.obg"),
  };
  EXPECT_EQ(From("   Loading global model source global7_chr.s3d"), expected);
  ASSERT_EQ(SourceBucketCount(inv(), kGlobalBucket), 2);
  EXPECT_EQ(SourceKindNumber(SourceInBucket(inv(), kGlobalBucket, 0)->kind), 4);
  EXPECT_EQ(SourceKindNumber(SourceInBucket(inv(), kGlobalBucket, 1)->kind), 2);
  // global7_chr.s3d twice, its world file once, extra.obg and the list.
  EXPECT_EQ(run_.stats.files, 5);
}

TEST_F(ScannedPackagesTest, ZonePackagesAndImports) {
  SetCode(1, 1, Text("HUM"));
  SetCode(1, 2, Text("HUF"));
  SetCode(2, 1, Text("ELM"));
  WriteObg("global_chr.obg", {"hum.mod"});
  WriteS3d("global_chr.s3d", {"HUF"});
  MakeDir("resources");
  Write("resources/globalload.txt", "1,0,x,global_chr,r\n");
  WriteS3d("ABC_CHR.s3d", {"ELM"});
  WriteObg("Other.obg", {"huf.mod", "elm.mod"});
  WriteS3d("far.s3d", {"HUF"});
  Write("abc_chr.txt",
        "4\n"
        "hum,global_chr\n"   // the global source, found again
        "huf,global_chr\n"   // resolves to the .obg, which lacks HUF
        "huf,other\n"        // a new package, scanned here
        "huf,far.s3d\n");
  Write("xyz_chr.txt", "2\nelm,other.obg\nelm,abc_chr.s3d\n");
  static_cast<void>(LoadGlobalModels(io(), inv()));
  const std::uint16_t globals = inv().sourceCount;
  const std::size_t abc = Zone(3, "abc");
  const std::size_t xyz = Zone(4, "xyz");
  lines_.clear();
  run_.stats = RunStats{};

  EXPECT_EQ(LoadZoneModels(io(), inv(), abc), ResultCode::kOk);
  ASSERT_NE(Links(abc).chrSource, nullptr);
  EXPECT_EQ(Links(abc).chrSource->modelCount, 1);
  EXPECT_EQ(Links(abc).chr2Source, nullptr);
  const Lines expected = {
      Log("  Found Zone Model File: abc_chr.s3d"),
      Log("     Found model ELM in source abc_chr.s3d"),
      Log("  Found Zone Model Import File: abc_chr.txt"),
      Log("   Looking for 4 model code/source entries in abc_chr.txt"),
      Log("      Imported Model HUM (Race 1, Gender 1) to Zone abc"),
      Both("   SKIPPED: Model HUF in abc_chr.txt, not in global_chr.obg"),
      Log("     Found model HUF in source other.obg"),
      Log("     Found model ELM in source other.obg"),
      Log("      Loaded models from other.obg in abc_chr.txt"),
      Log("      Imported Model HUF (Race 1, Gender 2) to Zone abc"),
      Log("     Found model HUF in source far.s3d"),
      Log("      Loaded models from far.s3d in abc_chr.txt"),
      Log("      Imported Model HUF (Race 1, Gender 2) to Zone abc"),
  };
  EXPECT_EQ(lines_, expected);
  EXPECT_EQ(Links(abc).importCount, 3);
  // abc_chr.s3d, other.obg, far.s3d and two world files; never the list.
  EXPECT_EQ(run_.stats.files, 5);
  EXPECT_EQ(inv().sourceCount, globals + 3);

  lines_.clear();
  EXPECT_EQ(LoadZoneModels(io(), inv(), xyz), ResultCode::kOk);
  const Lines again = {
      Log("  Found Zone Model Import File: xyz_chr.txt"),
      Log("   Looking for 2 model code/source entries in xyz_chr.txt"),
      Log("      Imported Model ELM (Race 2, Gender 1) to Zone xyz"),
      Log("      Imported Model ELM (Race 2, Gender 1) to Zone xyz"),
  };
  EXPECT_EQ(lines_, again);
  ASSERT_EQ(Links(xyz).importCount, 2);
  EXPECT_EQ(Links(xyz).imports[1], Links(abc).chrSource->models[0]);
  EXPECT_EQ(inv().sourceCount, globals + 3);
}

TEST_F(ScannedPackagesTest, SameModelTwiceIsImportedOnceAndCountedTwice) {
  SetCode(1, 1, Text("HUM"));
  WriteObg("pack.obg", {"hum.mod"});
  Write("abc_chr.txt", "3\nHUM,pack\nhum,PACK.obg\n");
  const std::size_t zone = Zone(1, "abc");
  static_cast<void>(LoadZoneModels(io(), inv(), zone));
  EXPECT_EQ(Links(zone).importCount, 1);
  EXPECT_EQ(Count("      Imported Model HUM (Race 1, Gender 1) to Zone abc"), 2u);
  EXPECT_EQ(Count("      Loaded models from pack.obg in abc_chr.txt"), 1u);
  EXPECT_EQ(lines_.back(), Both("   ODDITY: Expected 3 model references in abc_chr.txt, found 2"));
}

TEST_F(ScannedPackagesTest, OrphansAreFoundByFileNameEachTime) {
  char* elf = Text("ELF");
  SetCode(1, 1, Text("HUM"));
  SetCode(2, 1, elf);
  SetCode(3, 2, Text("ELF"));  // the same code again, held by no earlier source
  SetCode(4, 3, Text("DWF"));
  SetCode(5, 1, Text("GEM"));
  WriteObg("global7_chr.obg", {"hum.mod"});
  WriteObg("hum.obg", {"hum.mod"});
  WriteObg("Elf.obg", {"elf.mod"});
  WriteS3d("elf_chr.s3d", {"ELF"});
  WriteS3d("DWF_CHR.S3D", {"DWF"});
  WriteS3d("gem_chr.s3d", {"XXX"});
  static_cast<void>(LoadGlobalModels(io(), inv()));
  lines_.clear();
  run_.stats = RunStats{};

  EXPECT_EQ(LoadOrphanModels(io(), inv()), ResultCode::kOk);
  const Lines expected = {
      Log("     Found model ELF in source elf.obg"),
      Log("  Loaded orphan model source ELF.obg"),
      Log("  Loaded orphan model source ELF.obg"),
      Log("     Found model DWF in source dwf_chr.s3d"),
      Log("  Loaded orphan model source DWF_chr.s3d"),
      Log("     Found model XXX in source gem_chr.s3d"),
      Log("  Loaded orphan model source GEM_chr.s3d"),
  };
  EXPECT_EQ(lines_, expected);
  ASSERT_EQ(SourceBucketCount(inv(), kOrphanBucket), 3);
  EXPECT_STREQ(SourceInBucket(inv(), kOrphanBucket, 0)->name, "elf.obg");
  EXPECT_EQ(FindSource(inv(), "elf.obg"), nullptr);
  // elf.obg twice, two .s3d packages and their world files.
  EXPECT_EQ(run_.stats.files, 6);
}

TEST_F(ScannedPackagesTest, OrphanImportNamesAreNotFoundInTheOrphanBucket) {
  SetCode(1, 1, Text("ELF"));
  SetCode(2, 1, Text("HUM"));
  WriteObg("elf.obg", {"elf.mod"});
  static_cast<void>(LoadOrphanModels(io(), inv()));
  ASSERT_EQ(SourceBucketCount(inv(), kOrphanBucket), 1);
  Write("abc_chr.txt", "1\nelf,elf\n");
  const std::size_t zone = Zone(1, "abc");
  lines_.clear();
  static_cast<void>(LoadZoneModels(io(), inv(), zone));
  // The import registers a second, local row and scans it on its own.
  EXPECT_EQ(Count("      Loaded models from elf.obg in abc_chr.txt"), 1u);
  EXPECT_EQ(Links(zone).importCount, 1);
  EXPECT_NE(Links(zone).imports[0]->source, SourceInBucket(inv(), kOrphanBucket, 0));
}

}  // namespace
}  // namespace zira
