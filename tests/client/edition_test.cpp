#include "client/edition.h"

#include <gtest/gtest.h>

namespace zira {
namespace {

TEST(Edition, RowsAreFoundByIdAndByExactSize) {
  for (const ClientEdition& edition : kEditionTable) {
    EXPECT_EQ(FindEdition(edition.editionId), &edition);
    EXPECT_EQ(EditionForSize(edition.fileSize), edition.editionId);
    EXPECT_EQ(EditionForSize(edition.fileSize - 1), 0u) << edition.editionShort;
    EXPECT_EQ(EditionForSize(edition.fileSize + 1), 0u) << edition.editionShort;
  }
  for (std::uint32_t unknown : {0u, 4u, 255u, 0xFFFFFFFFu}) EXPECT_EQ(FindEdition(unknown), nullptr) << unknown;
  EXPECT_EQ(EditionForSize(0), 0u);
}

// The scanner reads windows and targets as offsets into the file of its edition.
TEST(Edition, ScanWindowsLieInsideTheirFile) {
  for (const ClientEdition& e : kEditionTable) {
    EXPECT_LT(e.raceScanStart, e.raceScanEnd) << e.editionShort;
    EXPECT_LE(e.raceScanEnd, e.fileSize) << e.editionShort;
    EXPECT_LT(e.zoneScanStart, e.zoneScanEnd) << e.editionShort;
    EXPECT_LE(e.zoneScanEnd, e.fileSize) << e.editionShort;
    EXPECT_LT(e.raceTarget, e.fileSize) << e.editionShort;
    EXPECT_LT(e.zoneTarget, e.fileSize) << e.editionShort;
    EXPECT_LT(e.zoneAltTarget, e.fileSize) << e.editionShort;
  }
}

TEST(Edition, RulesOfEachEdition) {
  struct Case {
    std::uint32_t editionId;
    RaceSlots slots;
    bool countsPlainLine, countsLineTwo, countsS3dLine;
    const char* expansionThree;  // nullptr: the string database names expansions
  };
  // Unknown ids read like the later builds.
  const Case cases[] = {
      {1, {0, 1, 2}, true, false, false, "Veil of Ostra"},
      {2, {3, 4, 2}, false, true, true, nullptr},
      {3, {3, 4, 2}, true, true, true, nullptr},
      {0, {3, 4, 2}, true, true, true, nullptr},
      {9, {3, 4, 2}, true, true, true, nullptr},
  };
  for (const Case& c : cases) {
    const EditionRules& rules = RulesOfEdition(c.editionId);
    EXPECT_EQ(rules.raceSlots.gender, c.slots.gender) << c.editionId;
    EXPECT_EQ(rules.raceSlots.race, c.slots.race) << c.editionId;
    EXPECT_EQ(rules.raceSlots.code, c.slots.code) << c.editionId;
    EXPECT_EQ(rules.loadList.Counts("1", "x", "a_chr"), c.countsPlainLine) << c.editionId;
    EXPECT_EQ(rules.loadList.Counts("2", "abc", "b_CHR2"), c.countsLineTwo) << c.editionId;
    EXPECT_EQ(rules.loadList.Counts("1", "C", "c.s3d"), c.countsS3dLine) << c.editionId;
    if (c.expansionThree == nullptr) {
      EXPECT_TRUE(rules.expansionNames.empty()) << c.editionId;
    } else {
      ASSERT_GT(rules.expansionNames.size(), 3u);
      EXPECT_STREQ(rules.expansionNames[3], c.expansionThree);
    }
  }
}

TEST(Edition, LoadListFilterConditions) {
  const LoadListFilter& cobalt = RulesOfEdition(1).loadList;
  EXPECT_TRUE(cobalt.Counts("", "", "d.OBG"));
  EXPECT_TRUE(cobalt.Counts("12", "", "e_Chr2"));
  EXPECT_FALSE(cobalt.Counts("1", "", "f_chr "));  // the package as written, before trimming
  EXPECT_FALSE(cobalt.Counts("1", "", "chr"));
  const LoadListFilter& lirael = RulesOfEdition(2).loadList;
  EXPECT_FALSE(lirael.Counts("1", "", "a_chr"));  // an empty third field has no last character
  EXPECT_FALSE(lirael.Counts("1", "cA", "a_chr"));
  EXPECT_TRUE(lirael.Counts("2", "Ac", "x.txt"));
}

}  // namespace
}  // namespace zira
