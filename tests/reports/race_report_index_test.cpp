#include "reports/race_report_index.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "reports/race_reports.h"
#include "reports/report_fixture.h"

namespace zira::testing {
namespace {

using Rows = std::vector<std::uint16_t>;

class RaceReportIndexTest : public ReportTest {};

std::uint16_t RowOf(Inventory& inventory, const ModelSource* source) {
  return static_cast<std::uint16_t>(source - inventory.sources);
}

TEST_F(RaceReportIndexTest, SourcesOfRaceByCodeAndByRecordedRace) {
  SetRace(100, "ABM", "ABF", "");
  SetRace(101, "", "", "ABF");  // one code text for two races
  SetRace(102, "CDM", "", "");
  ModelSource* first = AddSource("first_chr.s3d", 0);
  ModelSource* second = AddSource("second.s3d", 3);
  ModelSource* third = AddSource("third_chr.s3d", 0);
  AddModel(first, "ABF", 0, 0);
  AddModel(first, "ABM", 0, 0);  // a second code of the same race lists the source once
  AddModel(second, "XYZ", 102, 1);  // no code of race 102, but it carries the race
  AddModel(third, "CDM", 0, 0);
  AddModel(third, "abm", 0, 0);  // codes compare with their case

  RaceReportIndex index;
  BuildRaceReportIndex(inv(), &index);
  ASSERT_EQ(103u, index.sourcesOfRace.size());
  EXPECT_EQ((Rows{RowOf(inv(), first)}), index.sourcesOfRace[100]);
  EXPECT_EQ((Rows{RowOf(inv(), first)}), index.sourcesOfRace[101]);
  EXPECT_EQ((Rows{RowOf(inv(), second), RowOf(inv(), third)}), index.sourcesOfRace[102]);
  EXPECT_TRUE(index.sourcesOfRace[0].empty());
  // Every source that holds a race by the full test is in its list.
  for (std::uint32_t race = 1; race <= 102; ++race) {
    for (std::uint16_t row = 0; row < inv().sourceCount; ++row) {
      const Rows& rows = index.sourcesOfRace[race];
      const bool listed = std::find(rows.begin(), rows.end(), row) != rows.end();
      EXPECT_EQ(SourceHoldsRace(inv(), inv().sources[row], race), listed) << race << " " << row;
    }
  }
}

TEST_F(RaceReportIndexTest, ZonesOfSourceFromOwnPackagesAndImports) {
  SetRace(100, "ABM", "", "");
  ModelSource* own = AddSource("abc_chr.s3d", 0);
  ModelSource* shared = AddSource("shared.s3d", 3);
  ModelSource* unused = AddSource("unused.s3d", 0);
  ModelDef* imported = AddModel(shared, "ABM", 100, 1);
  SetZone(4, "abc", "Abc");
  SetZone(9, "bcd", "Bcd");
  SetZone(12, "cde", "Cde");
  ZoneLinks* aLinks = Links(4);
  ZoneLinks* bLinks = Links(9);
  aLinks->chrSource = own;
  aLinks->chr2Source = own;  // one zone is listed once per source
  aLinks->imports[aLinks->importCount++] = imported;
  bLinks->imports[bLinks->importCount++] = imported;
  bLinks->imports[bLinks->importCount++] = imported;
  ModelSource stray{};  // not a row of the source table
  Links(12)->chrSource = &stray;

  RaceReportIndex index;
  BuildRaceReportIndex(inv(), &index);
  ASSERT_EQ(3u, index.zonesOfSource.size());
  EXPECT_EQ((Rows{4}), index.zonesOfSource[RowOf(inv(), own)]);
  EXPECT_EQ((Rows{4, 9}), index.zonesOfSource[RowOf(inv(), shared)]);
  EXPECT_TRUE(index.zonesOfSource[RowOf(inv(), unused)].empty());
}

}  // namespace
}  // namespace zira::testing
