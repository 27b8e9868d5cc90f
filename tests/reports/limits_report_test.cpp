#include "reports/limits_report.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/session_log.h"
#include "store/model_registry.h"
#include "support/race_table_builder.h"
#include "support/test_run.h"

namespace zira {
namespace {

using Lines = std::vector<std::pair<int, std::string>>;

class MaximumsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.log.Install();
    run_.log.capture = &lines_;
  }

  static Lines Expected(const std::vector<int>& values) {
    static const char* const kNames[20] = {
        "RaceID",           "ModelCodesPerLetter", "ModelDefs",  "ModelSources", "ModelSourcesPerLetter",
        "SourceModelDefs",  "VarsTexture",         "VarsHead",   "VarsFace",     "VarsTattoo",
        "VarsHair",         "VarsBeard",           "VarsDetail", "ZoneID",       "ZoneNicksPerLetter",
        "ZoneImportModels", "DBStrings",           "DBStringID", "List Strings", "List StringID"};
    Lines lines;
    for (std::size_t i = 0; i < 20; ++i) {
      lines.emplace_back(0, "  MAXIMUM: " + std::string(kNames[i]) + " = " + std::to_string(values[i]));
    }
    return lines;
  }

  Lines lines_;
  testing::TestRun run_{"/"};
};

TEST_F(MaximumsTest, EmptyRunReportsZeroEverywhereOnTheLogOnly) {
  EXPECT_EQ(LogMaximums(run_.log, *run_.inventory), ResultCode::kOk);
  EXPECT_EQ(lines_, Expected(std::vector<int>(20, 0)));
}

TEST_F(MaximumsTest, ReportsTheLargestValueOfEachTable) {
  Inventory& inv = *run_.inventory;
  testing::RaceTableBuilder races(inv.client);
  races.Add(1, 1, "HUM").Add(2, 1, "HOM").Add(3, 1, "ELF").Add(12, 2, "HSF");

  ModelSource* a = FindOrAddSource(inv, "aaa.s3d", SourceKind::kLocalToZone, false);
  ModelSource* b = FindOrAddSource(inv, "abb.s3d", SourceKind::kLocalToZone, false);
  FindOrAddSource(inv, "global.s3d", SourceKind::kGlobalLoadList, false);
  ModelDef* hum = AddModel(inv, a, "HUM");
  ModelDef* elf = AddModel(inv, a, "ELF");
  AddModel(inv, b, "HUM");
  static_cast<void>(AddVariationRange(hum, VariationKind::kTexture, 7));
  static_cast<void>(AddVariationRange(elf, VariationKind::kTexture, 9));
  static_cast<void>(AddVariationRange(hum, VariationKind::kHead, 2));
  static_cast<void>(AddVariationRange(elf, VariationKind::kFace, 3));
  static_cast<void>(AddVariationRange(hum, VariationKind::kTattoo, 4));
  static_cast<void>(AddVariationRange(elf, VariationKind::kHair, 5));
  static_cast<void>(AddVariationRange(hum, VariationKind::kBeard, 6));
  static_cast<void>(AddVariationRange(elf, VariationKind::kDetail, 8));

  ClientImage& client = inv.client;
  client.maxZoneId = 40;
  inv.zoneLinks[40].importCount = 3;  // the last row counts
  inv.zoneLinks[41].importCount = 9;  // beyond the highest zone: not a zone row
  client.zoneIndex.count[26] = 11;
  inv.database.count = 321;
  inv.database.highestId = 70000;
  inv.strings.count = 17;
  inv.strings.highestId = 6000;

  EXPECT_EQ(LogMaximums(run_.log, inv), ResultCode::kOk);
  EXPECT_EQ(lines_, Expected({12, 3, 3, 3, 2, 2, 9, 2, 3, 4, 5, 6, 8, 40, 11, 3, 321, 70000, 17, 6000}));
}

TEST_F(MaximumsTest, DamagedCountersStayInsideTheirTables) {
  Inventory& inv = *run_.inventory;
  inv.client.maxZoneId = 0xFFFF;
  inv.zoneLinks[1500].importCount = 5;
  EXPECT_EQ(LogMaximums(run_.log, inv), ResultCode::kOk);
  ASSERT_EQ(lines_.size(), 20u);
  EXPECT_EQ(lines_[15].second, "  MAXIMUM: ZoneImportModels = 5");
}

TEST_F(MaximumsTest, NothingIsWrittenWithoutASessionLog) {
  static_cast<void>(run_.log.Release());
  EXPECT_EQ(LogMaximums(run_.log, *run_.inventory), ResultCode::kOk);
  EXPECT_TRUE(lines_.empty());
}

}  // namespace
}  // namespace zira
