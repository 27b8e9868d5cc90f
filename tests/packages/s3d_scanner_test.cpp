#include "discovery/package_names.h"

#include <gtest/gtest.h>

#include "common/run_stats.h"
#include "packages/scanner_fixture.h"
#include "support/world_builder.h"

namespace zira::testing {
namespace {

constexpr std::uint32_t kModel = 0x14, kSkeletonLink = 0x11, kSkeleton = 0x10, kMeshLink = 0x2D;
constexpr std::uint32_t kMesh = 0x36, kOtherMesh = 0x2C, kMaterial = 0x30, kMaterialList = 0x31;
constexpr std::uint32_t kBitmaps = 0x03, kTextureType = 0x04, kTextureLink = 0x05;

class S3dScannerTest : public ScannerTest {
 protected:
  // A material whose texture lists the given number of bitmap names.
  std::int32_t Material(const std::string& name, std::uint32_t bitmaps = 1) {
    std::vector<std::uint8_t> names = Words({bitmaps - 1});
    for (std::uint32_t i = 0; i < bitmaps; ++i) names.insert(names.end(), {3, 0, 'b', 'm', 'p'});
    const std::int32_t list = world_.AddFragment(kBitmaps, "", names);
    const std::int32_t texture = world_.AddFragment(kTextureType, "", Words({0, 1, Ref(list)}));
    const std::int32_t link = world_.AddFragment(kTextureLink, "", Words({Ref(texture)}));
    return world_.AddFragment(kMaterial, name, Words({0, 0, 0, 0, 0, Ref(link)}));
  }
  // A mesh listing materials; padding makes its body larger.
  std::int32_t Mesh(const std::string& name, std::vector<std::int32_t> materials, std::uint32_t padding = 0,
                    std::uint32_t type = kMesh) {
    std::vector<std::uint8_t> list = Words({0, static_cast<std::uint32_t>(materials.size())});
    for (std::int32_t m : materials) Append(list, Ref(m));
    const std::int32_t listRef = world_.AddFragment(kMaterialList, "", list);
    std::vector<std::uint8_t> body = Words({0, Ref(listRef)});
    body.resize(body.size() + padding);
    return world_.AddFragment(type, name, body);
  }
  // A model whose target is a skeleton link to a skeleton with these meshes.
  void SkeletonModel(const std::string& name, std::vector<std::int32_t> meshes) {
    std::vector<std::uint8_t> body = Words({0x200, 0, 0, static_cast<std::uint32_t>(meshes.size())});
    for (std::int32_t m : meshes) Append(body, Ref(m));
    const std::int32_t skeleton = world_.AddFragment(kSkeleton, "", body);
    const std::int32_t link = world_.AddFragment(kSkeletonLink, "", Words({Ref(skeleton)}));
    TargetModel(name, link);
  }
  // A model whose target is a mesh link.
  void LinkModel(const std::string& name, std::int32_t mesh) {
    TargetModel(name, world_.AddFragment(kMeshLink, "", Words({Ref(mesh)})));
  }
  void TargetModel(const std::string& name, std::int32_t target) {
    world_.AddFragment(kModel, name, Words({0, 0, 0, 0, 0, Ref(target)}));
  }

  // Packs the world as name's world file and scans the source.
  Result Scan(const std::string& name = "abc_chr.s3d", SourceKind kind = SourceKind::kLocalToZone) {
    WritePackage(name, {{name.substr(0, name.size() - 3) + "WLD", world_.Bytes()}});
    source_ = AddSource(name.c_str(), kind);
    return ScanPackage(run_->Io(), inv(), source_, PackageType::kS3d);
  }
  ModelDef* Model(std::size_t i) { return i < source_->modelCount ? source_->models[i] : nullptr; }

  static std::uint32_t Ref(std::int32_t number) { return static_cast<std::uint32_t>(number); }
  static void Append(std::vector<std::uint8_t>& bytes, std::uint32_t word) {
    const std::vector<std::uint8_t> w = Words({word});
    bytes.insert(bytes.end(), w.begin(), w.end());
  }

  WorldBuilder world_;
  ModelSource* source_ = nullptr;
};

TEST_F(S3dScannerTest, WorkedExampleGivesTexturesHeadsAndIsCountedOnce) {
  SetUpRaces({{1, "ABC"}});
  const std::int32_t listed = Material("ABCXY0001_MDF");
  Material("ABCXY0101_MDF");
  Material("abcxy0201_mdf");
  Material("ABCXY0302_MDF");  // another suffix
  SkeletonModel("ABC_ACTORDEF", {Mesh("ABC_DMSPRITEDEF", {listed})});
  ASSERT_EQ(Scan(), ResultCode::kOk);
  EXPECT_EQ(source_->scanned, 1);
  ASSERT_EQ(source_->modelCount, 1);
  EXPECT_EQ(Values(Model(0)->textures), (std::vector<int>{1, 2}));
  EXPECT_EQ(Values(Model(0)->heads), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Model(0)->hair.count + Model(0)->beards.count, 0);  // kind 0: no per-race extras
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(lines_[0], (std::pair<int, std::string>{0, "     Found model ABC in source abc_chr.s3d"}));
  EXPECT_EQ(run_->stats.files, 1);
  EXPECT_EQ(run_->stats.bytes, world_.Bytes().size());

  EXPECT_EQ(ScanPackage(run_->Io(), inv(), source_, PackageType::kS3d), ResultCode::kOk);
  EXPECT_EQ(run_->stats.files, 1);
  EXPECT_EQ(lines_.size(), 1u);
}

TEST_F(S3dScannerTest, CloakMaterialNumbersTexturesFromTen) {
  const std::int32_t cloak = Material("CLK0401_MDF");
  Material("CLK0501_MDF");
  LinkModel("ABC_ACTORDEF", Mesh("ABC_DMSPRITEDEF", {cloak}));
  ASSERT_EQ(Scan(), ResultCode::kOk);
  EXPECT_EQ(Values(Model(0)->textures), (std::vector<int>{10, 11}));
  EXPECT_EQ(Model(0)->heads.count, 0);  // race unknown: not playable
}

TEST_F(S3dScannerTest, ModelNamesGiveCodesOrAreSkipped) {
  const std::int32_t mesh = Mesh("ABC_DMSPRITEDEF", {Material("ABCXY0001_MDF"), Material("ABCXY0401_MDF")});
  LinkModel("_ABC_ACTORDEF", mesh);
  LinkModel("NOUNDERSCORE", mesh);
  LinkModel("ABCDEFGHIJKLMN_ACTORDEF", mesh);
  LinkModel(" abcde _x", mesh);
  TargetModel("XYZ_ACTORDEF", Material("XYZXY0001_MDF"));  // target of no mesh kind
  ASSERT_EQ(Scan(), ResultCode::kOk);
  ASSERT_EQ(source_->modelCount, 2);
  EXPECT_STREQ(Model(0)->code, "ABCDE");
  EXPECT_EQ(Values(Model(0)->textures), (std::vector<int>{4}));
  EXPECT_STREQ(Model(1)->code, "XYZ");
  EXPECT_EQ(Model(1)->textures.count, 0);
}

TEST_F(S3dScannerTest, PrimaryMeshIsTheLargestBodyAndNeverAListedHead) {
  const std::int32_t head = Mesh("ABCHE00_DMSPRITEDEF", {Material("ABCAA0001_MDF"), Material("ABCAA0101_MDF")}, 400);
  const std::int32_t small = Mesh("ABC_DMSPRITEDEF", {Material("ABCBB0001_MDF"), Material("ABCBB0201_MDF")});
  const std::int32_t large = Mesh("ABCB_DMSPRITEDEF", {Material("ABCCC0001_MDF"), Material("ABCCC0301_MDF")}, 40);
  const std::int32_t tie = Mesh("ABCC_DMSPRITEDEF", {Material("ABCDD0001_MDF"), Material("ABCDD0401_MDF")}, 40);
  SkeletonModel("ABC_ACTORDEF", {head, small, large, tie});
  // A model with a single mesh takes it even when it is a head.
  LinkModel("XYZ_ACTORDEF", Mesh("XYZHE00_DMSPRITEDEF", {Material("XYZAA0001_MDF"), Material("XYZAA0501_MDF")}));
  ASSERT_EQ(Scan(), ResultCode::kOk);
  EXPECT_EQ(Values(Model(0)->textures), (std::vector<int>{3}));
  EXPECT_EQ(Values(Model(1)->textures), (std::vector<int>{5}));
}

TEST_F(S3dScannerTest, ListedHeadZeroStartsTheScanOfUnlistedHeads) {
  SkeletonModel("ABC_ACTORDEF", {Mesh("ABC_DMSPRITEDEF", {}), Mesh("ABCHE00_DMSPRITEDEF", {})});
  Mesh("ABCHE01_DMSPRITEDEF", {});
  Mesh("abche02_dmspritedef", {});
  Mesh("ABCHE1X_DMSPRITEDEF", {});
  Mesh("ABCHE07_DMSPRITEDEF", {}, 0, kOtherMesh);  // not a head mesh type
  SkeletonModel("DEF_ACTORDEF", {Mesh("DEF_DMSPRITEDEF", {}), Mesh("DEFHE01_DMSPRITEDEF", {})});
  Mesh("DEFHE02_DMSPRITEDEF", {});
  ASSERT_EQ(Scan(), ResultCode::kOk);
  EXPECT_EQ(Values(Model(0)->heads), (std::vector<int>{1, 2}));
  EXPECT_EQ(Model(1)->heads.count, 0);
}

TEST_F(S3dScannerTest, PerRaceBaseVariationsOnlyInKindThreeSources) {
  SetUpRaces({{1, "HUM", "HUF"}, {3, "DWM", "DWF"}, {9, "ELM", "ELF"}});
  struct Case {
    const char* code;
    std::vector<int> heads, hair, beards;
  };
  const Case cases[] = {{"HUM", {1, 2, 3}, {1, 2, 3}, {1, 2, 3, 4, 5}}, {"HUF", {1, 2, 3}, {1, 2, 3}, {}},
                        {"DWM", {1, 2, 3, 4}, {}, {1, 2, 3, 4, 5}},    {"DWF", {1, 2, 3, 4}, {}, {}},
                        {"ELM", {1, 2, 3}, {}, {}},                    {"ELF", {1, 2, 3}, {1, 2, 3}, {}}};
  for (const Case& c : cases) {
    world_ = WorldBuilder();
    LinkModel(std::string(c.code) + "_ACTORDEF", Mesh(std::string(c.code) + "_DMSPRITEDEF", {}));
    ASSERT_EQ(Scan(std::string("global_") + c.code + ".s3d", SourceKind::kWithOstraModels), ResultCode::kOk) << c.code;
    EXPECT_EQ(Values(Model(0)->heads), c.heads) << c.code;
    EXPECT_EQ(Values(Model(0)->hair), c.hair) << c.code;
    EXPECT_EQ(Values(Model(0)->beards), c.beards) << c.code;
  }
}

TEST_F(S3dScannerTest, HeadMaterialsByRaceAndTheirTextureReadingForOtherRaces) {
  SetUpRaces({{1, "HUM"}, {2, "BOM"}, {3, "ESM"}, {442, "KOM"}});
  struct Case {
    const char* code;
    std::vector<int> textures, faces, hair, beards, tattoos;
  };
  const Case cases[] = {{"HUM", {}, {2}, {}, {3}, {}},
                        {"BOM", {}, {2}, {}, {}, {3}},
                        {"ESM", {}, {2}, {3}, {}, {}},
                        {"KOM", {3}, {}, {}, {}, {}}};
  for (const Case& c : cases) {
    const std::string code = c.code;
    world_ = WorldBuilder();
    const std::int32_t listed = Material(code + "HE0001_MDF");
    Material(code + "HE0301_MDF", 2);  // two bitmaps: hair, beard or tattoo 3
    Material(code + "HE0621_MDF", 1);  // one bitmap: face 2 only
    LinkModel(code + "_ACTORDEF", Mesh(code + "_DMSPRITEDEF", {listed}));
    ASSERT_EQ(Scan(code + ".s3d"), ResultCode::kOk) << code;
    const ModelDef* m = Model(0);
    EXPECT_EQ(Values(m->textures), c.textures) << code;
    EXPECT_EQ(Values(m->faces), c.faces) << code;
    EXPECT_EQ(Values(m->hair), c.hair) << code;
    EXPECT_EQ(Values(m->beards), c.beards) << code;
    EXPECT_EQ(Values(m->tattoos), c.tattoos) << code;
  }
}

TEST_F(S3dScannerTest, OversizedListsAndPrefixesStayInBounds) {
  // A list claiming four billion materials holds two references.
  const std::int32_t first = Material("ABCXY0001_MDF");
  const std::int32_t second = Material("ABCXY0701_MDF");
  const std::int32_t list = world_.AddFragment(kMaterialList, "", Words({0, 0xFFFFFFFF, Ref(first), Ref(second)}));
  // A material prefix of 32 characters is passed over; 31 still works.
  const std::string longPrefix(32, 'P');
  const std::string fitting(31, 'Q');
  const std::int32_t tooLong = Material(longPrefix + "0001_MDF");
  Material(longPrefix + "0901_MDF");
  const std::int32_t fits = Material(fitting + "0001_MDF");
  Material(fitting + "0801_MDF");
  const std::int32_t mesh = world_.AddFragment(kMesh, "ABC_DMSPRITEDEF", Words({0, Ref(list)}));
  LinkModel("ABC_ACTORDEF", mesh);
  LinkModel("XYZ_ACTORDEF", Mesh("XYZ_DMSPRITEDEF", {tooLong, fits}));
  // A mesh whose body ends before its list reference.
  LinkModel("SHO_ACTORDEF", world_.AddFragment(kMesh, "SHO_DMSPRITEDEF", {1, 2}));
  ASSERT_EQ(Scan(), ResultCode::kOk);
  EXPECT_EQ(Values(Model(0)->textures), (std::vector<int>{7}));
  EXPECT_EQ(Values(Model(1)->textures), (std::vector<int>{8}));
  EXPECT_EQ(Model(2)->textures.count, 0);
}

TEST_F(S3dScannerTest, FailuresLeaveTheSourceUnscannedAndUncounted) {
  EXPECT_EQ(ScanPackage(run_->Io(), inv(), nullptr, PackageType::kS3d), ResultCode::kInvalidArgument);
  ModelSource* missing = AddSource("missing.s3d");
  EXPECT_EQ(ScanPackage(run_->Io(), inv(), missing, PackageType::kS3d), ResultCode::kFailed);

  WritePackage("nowld.s3d", {{"other.wld", world_.Bytes()}});
  ModelSource* noWorld = AddSource("nowld.s3d");
  EXPECT_EQ(ScanPackage(run_->Io(), inv(), noWorld, PackageType::kS3d), ResultCode::kFailed);

  std::vector<std::uint8_t> broken = world_.Bytes();
  broken[0] ^= 0xFF;
  WritePackage("broken.s3d", {{"broken.wld", broken}});
  ModelSource* badWorld = AddSource("broken.s3d");
  EXPECT_TRUE(Failed(ScanPackage(run_->Io(), inv(), badWorld, PackageType::kS3d)));

  EXPECT_EQ(missing->scanned + noWorld->scanned + badWorld->scanned, 0);
  EXPECT_EQ(run_->stats.files, 0);

  // A source marked scanned is not opened again.
  missing->scanned = 1;
  EXPECT_EQ(ScanPackage(run_->Io(), inv(), missing, PackageType::kS3d), ResultCode::kOk);
}

}  // namespace
}  // namespace zira::testing
