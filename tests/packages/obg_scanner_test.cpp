#include "discovery/package_names.h"

#include <gtest/gtest.h>

#include "packages/scanner_fixture.h"

namespace zira::testing {
namespace {

using Line = std::pair<int, std::string>;

class ObgScannerTest : public ScannerTest {
 protected:
  // Writes a package of empty-content files with these names and scans it.
  Result Scan(const std::vector<std::string>& names, const std::string& package = "test.obg") {
    std::vector<PackageFile> files;
    for (const std::string& name : names) files.push_back({name, {'x'}});
    WritePackage(package, files);
    source_ = AddSource(package.c_str());
    return ScanPackage(run_->Io(), inv(), source_, PackageType::kObg);
  }
  ModelDef* Model(std::size_t i) { return i < source_->modelCount ? source_->models[i] : nullptr; }
  std::size_t Count(const Line& line) const { return std::count(lines_.begin(), lines_.end(), line); }

  ModelSource* source_ = nullptr;
};

TEST_F(ObgScannerTest, TwoModelFilesOfOneCodeRegisterOneModel) {
  SetUpRaces({{1, "HUM"}});
  ASSERT_EQ(Scan({"hum.mod", "HUM.MDS", "hum_hair_2.mod", "zzz.mod"}), ResultCode::kOk);
  EXPECT_EQ(source_->scanned, 1);
  ASSERT_EQ(source_->modelCount, 1);
  EXPECT_STREQ(Model(0)->code, "HUM");
  EXPECT_EQ(Values(Model(0)->heads), (std::vector<int>{1, 2, 3}));  // playable, without head files
  EXPECT_EQ(Values(Model(0)->hair), (std::vector<int>{2}));
  EXPECT_EQ(Count({0, "     Found model HUM in source test.obg"}), 2u);
  EXPECT_EQ(lines_.size(), 2u);
}

TEST_F(ObgScannerTest, FileNamesGiveVariationsOfTheirKinds) {
  SetUpRaces({{442, "ELM"}});
  ASSERT_EQ(Scan({"elm.mod", "elm_hair_2.mod", "ELM_FACIALATT_3.MOD", "elm_facialhair_0.mod", "elm_facialhair_4.mod",
                  "hum_hair_5.mod", "c_elm_05_c.dds", "a_elm_10_x_s2_c.dds", "a_elm_10_c.dds", "C_ELM_BD_S4_C.DDS",
                  "a_elm_hd_s3_c.dds", "a_elm_head_s2_c.dds", "a_elm_hr_s6_c.dds", "a_elm_tattoo_s7_c.dds",
                  "a_elm_flag1_s9_c.dds", "b_elm_06_c.dds", "c_elm_07_d.dds", "elm_08.dds", "elm_hair.mod", "c_elm_xx_s9_c.dds",
                  "c_elm_hd_9_c.dds"}),
            ResultCode::kOk);
  const ModelDef* m = Model(0);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(Values(m->textures), (std::vector<int>{4, 5, 9, 10, 12}));
  EXPECT_EQ(Values(m->heads), (std::vector<int>{3, 4}));  // race 442: a head with each body texture
  EXPECT_EQ(Values(m->faces), (std::vector<int>{2}));
  EXPECT_EQ(Values(m->hair), (std::vector<int>{2, 6}));
  EXPECT_EQ(Values(m->beards), (std::vector<int>{4}));
  EXPECT_EQ(Values(m->tattoos), (std::vector<int>{7}));
  EXPECT_EQ(Values(m->details), (std::vector<int>{3}));
}

TEST_F(ObgScannerTest, ModelFileNamesUpToSeventeenCharacters) {
  SetUpRaces({{442, "ELM"}, {443, "OGM"}});
  ASSERT_EQ(Scan({"elm          .mod", "ogm           .mds"}), ResultCode::kOk);
  ASSERT_EQ(source_->modelCount, 1);
  EXPECT_STREQ(Model(0)->code, "ELM");
}

TEST_F(ObgScannerTest, RaceRulesOfBodyTextures) {
  SetUpRaces({{431, "AAA"},
                                     {456, "BBB"},
                                     {458, "CCC"},
                                     {474, nullptr, nullptr, "DDD"},
                                     {465, "KKK"},
                                     {492, "EEE"},
                                     {497, nullptr, "FFF"},
                                     {566, "GGG"},
                                     {569, "HHH"},
                                     {580, "III"},
                                     {586, "JJJ"}});
  struct Case {
    std::vector<std::string> names;
    std::vector<int> textures, heads;
  };
  const Case cases[] = {
      {{"aaa.mod", "a_aaa_hd_s4_c.dds"}, {4}, {1}},
      {{"bbb.mod", "a_bbb_bd_s3_c.dds", "a_bbb_bd_s2_c.dds"}, {4, 6}, {3}},
      {{"ccc.mod", "a_ccc_bd_s5_c.dds"}, {5, 8}, {5, 8}},
      {{"ddd.mod", "c_kor_bd_s1_c.dds", "c_ddd_bd_s2_c.dds"}, {2}, {1}},
      {{"kkk.mod", "a_kkk_bd_s2_c.dds"}, {2}, {2, 3}},
      {{"eee.mod", "a_eee_bd_s2_c.dds"}, {2}, {6}},
      {{"fff.mod", "a_vam_aw_s2_c.dds", "a_fff_AB_s3_c.dds"}, {2, 3}, {2, 3}},
      {{"ggg.mod", "a_ggg_bd_s2_c.dds"}, {}, {2}},
      {{"hhh.mod", "a_hhh_bd_s2_c.dds"}, {}, {}},
      {{"iii.mod", "a_iii_bd_s0_c.dds"}, {}, {1, 2}},
      {{"jjj.mod", "a_jjj_flag1_s0_c.dds"}, {31}, {}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Scan(c.names, c.names[0].substr(0, 3) + ".obg"), ResultCode::kOk) << c.names[0];
    ASSERT_NE(Model(0), nullptr) << c.names[0];
    EXPECT_EQ(Values(Model(0)->textures), c.textures) << c.names[0];
    EXPECT_EQ(Values(Model(0)->heads), c.heads) << c.names[0];
  }
}

TEST_F(ObgScannerTest, OnlyFailedFinalVariationsAreReported) {
  SetUpRaces({{442, "ELM"}});
  std::vector<std::string> names = {"elm.mod"};
  for (int i = 1; i <= 20; ++i) names.push_back("a_elm_hd_s" + std::to_string(i) + "_c.dds");
  names.push_back("a_elm_bd_s21_c.dds");  // extra head 21 does not fit, texture 21 does
  for (int i = 22; i <= 51; ++i) names.push_back("c_elm_" + std::to_string(i) + "_c.dds");
  ASSERT_EQ(Scan(names), ResultCode::kOk);
  EXPECT_EQ(Model(0)->heads.count, 20);
  EXPECT_EQ(Model(0)->textures.count, 30);
  EXPECT_EQ(Count({1, "    SKIPPED: Problem adding variation from c_elm_51_c.dds"}), 1u);
  EXPECT_EQ(Count({1, "    SKIPPED: Problem adding variation from a_elm_bd_s21_c.dds"}), 0u);
  EXPECT_EQ(lines_.size(), 2u);  // the found line and the one skipped texture
}

TEST_F(ObgScannerTest, RefusedModelIsReportedAndTheScanGoesOn) {
  SetUpRaces({{442, "ELM"}});
  inv().modelDefCount = kModelCapacity;
  ASSERT_EQ(Scan({"elm.mod"}), ResultCode::kOk);
  EXPECT_EQ(source_->modelCount, 0);
  EXPECT_EQ(Count({1, "     FAILURE: Could not add model ELM from source test.obg"}), 1u);
  EXPECT_EQ(source_->scanned, 1);
}

TEST_F(ObgScannerTest, UnopenedPackagesStayUnscanned) {
  EXPECT_EQ(ScanPackage(run_->Io(), inv(), nullptr, PackageType::kObg), ResultCode::kInvalidArgument);
  ModelSource* missing = AddSource("missing.obg");
  EXPECT_EQ(ScanPackage(run_->Io(), inv(), missing, PackageType::kObg), ResultCode::kFailed);
  EXPECT_EQ(missing->scanned, 0);
  missing->scanned = 1;
  EXPECT_EQ(ScanPackage(run_->Io(), inv(), missing, PackageType::kObg), ResultCode::kOk);
}

}  // namespace
}  // namespace zira::testing
