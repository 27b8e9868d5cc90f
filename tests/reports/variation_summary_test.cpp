#include "reports/variation_summary.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reports/report_fixture.h"
#include "support/text_files.h"

namespace zira::testing {
namespace {

class VariationSummaryTest : public ReportTest {
 protected:
  std::string Render(const std::vector<std::uint8_t>& numbers, Result* result = nullptr) {
    const std::string path = OutputPath() + "/list.txt";
    OutputFile file;
    EXPECT_TRUE(file.Open(run().files, path.c_str()));
    const Result r = WriteVariationList(&file, numbers);
    if (result) *result = r;
    file.Close();
    return ReadTextFile(path);
  }

  std::string Summary(const ModelDef& model) {
    const std::string path = OutputPath() + "/summary.txt";
    OutputFile file;
    EXPECT_TRUE(file.Open(run().files, path.c_str()));
    EXPECT_EQ(ResultCode::kOk, WriteVariationSummary(&file, inv().client, &model));
    file.Close();
    return ReadTextFile(path);
  }

  // A model with one variation in every list.
  ModelDef* ModelWithEveryList(std::uint16_t raceId) {
    ModelDef* model = AddModel(nullptr, "XYZ", raceId, 1);
    SetList(model->textures, {1});
    SetList(model->heads, {2});
    SetList(model->faces, {3});
    SetList(model->hair, {4});
    SetList(model->beards, {5});
    SetList(model->details, {6});
    SetList(model->tattoos, {7});
    return model;
  }
};

TEST_F(VariationSummaryTest, ListFoldsRunsAsInTheTable) {
  const std::vector<std::pair<std::vector<std::uint8_t>, std::string>> rows = {
      {{1, 2, 3}, "00-03"},       {{1}, "00 01"},          {{1, 2}, "00-02"},
      {{1, 3}, "00 01, 03"},      {{2, 5}, "00 02 05"},    {{1, 2, 3, 5, 6}, "00-03, 05 06"},
      {{2, 5, 6, 7}, "00 02 05-07"}, {{3, 5, 6}, "00 03 05 06"},
  };
  for (const auto& [numbers, expected] : rows) EXPECT_EQ(expected, Render(numbers));
}

TEST_F(VariationSummaryTest, ListKeepsOnlyTwoDigits) {
  EXPECT_EQ("00 01, 23", Render({1, 123}));
  EXPECT_EQ("00 00-02, 55", Render({100, 101, 102, 255}));
}

TEST_F(VariationSummaryTest, ListRefusesMissingInput) {
  Result result = kSuccess;
  EXPECT_EQ("", Render({}, &result));
  EXPECT_EQ(ResultCode::kInvalidArgument, result);
  const std::uint8_t one = 1;
  EXPECT_EQ(ResultCode::kInvalidArgument, WriteVariationList(nullptr, {&one, 1}));
  EXPECT_EQ(ResultCode::kInvalidArgument, WriteVariationSummary(nullptr, inv().client, nullptr));
}

TEST_F(VariationSummaryTest, PlayableModelShowsEveryCategoryInOrder) {
  SetRace(3, "XYZ", "", "");
  EXPECT_EQ(
      " - Textures: <b>00 01</b>, Heads: <b>00 02</b>, Faces: <b>00 03</b>, Hair: <b>00 04</b>, Beards: <b>00 05</b>,"
      " Detail: <b>00 06</b>, Tattoo: <b>00 07</b>",
      Summary(*ModelWithEveryList(3)));

  ModelDef* model = AddModel(nullptr, "ABC", 3, 1);
  SetList(model->textures, {1, 2, 3});
  SetList(model->heads, {1});
  EXPECT_EQ(" - Textures: <b>00-03</b>, Heads: <b>00 01</b>", Summary(*model));
}

TEST_F(VariationSummaryTest, OnlyPlayableRaceRowsShowMoreThanTexturesAndHeads) {
  SetRace(40, "XYZ", "", "");
  const std::string texturesAndHeads = " - Textures: <b>00 01</b>, Heads: <b>00 02</b>";
  EXPECT_EQ(texturesAndHeads, Summary(*ModelWithEveryList(40)));
  EXPECT_EQ(texturesAndHeads, Summary(*ModelWithEveryList(0)));
  // Race 7 is playable, but its row was never filled.
  inv().client.maxRaceId = 50;
  EXPECT_EQ(texturesAndHeads, Summary(*ModelWithEveryList(7)));

  ModelDef* facesOnly = AddModel(nullptr, "XYZ", 40, 1);
  SetList(facesOnly->faces, {1});
  EXPECT_EQ("", Summary(*facesOnly));
  SetList(facesOnly->heads, {4, 5});
  EXPECT_EQ(" - Heads: <b>00 04 05</b>", Summary(*facesOnly));
}

TEST_F(VariationSummaryTest, Race522AlwaysEndsWithHeritage) {
  ModelDef* bare = AddModel(nullptr, "DRK", 522, 1);
  EXPECT_EQ("", Summary(*bare));  // not in the race table: not playable
  SetRace(522, "DRK", "", "");
  EXPECT_EQ(" - Heritage: <b>00-07</b>", Summary(*bare));
  SetList(bare->textures, {1});
  SetList(bare->tattoos, {2, 3});
  EXPECT_EQ(" - Textures: <b>00 01</b>, Tattoo: <b>00 02 03</b>, Heritage: <b>00-07</b>", Summary(*bare));
}

TEST_F(VariationSummaryTest, CountBeyondTheListIsCutToItsRoom) {
  ModelDef* model = AddModel(nullptr, "XYZ", 0, 0);
  for (std::uint8_t i = 0; i < 30; ++i) model->textures.values[i] = static_cast<std::uint8_t>(i + 1);
  model->textures.count = 200;
  SetList(model->heads, {9});
  EXPECT_EQ(" - Textures: <b>00-30</b>, Heads: <b>00 09</b>", Summary(*model));
}

}  // namespace
}  // namespace zira::testing
