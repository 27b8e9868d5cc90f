#include "client/string_database.h"

#include <gtest/gtest.h>

#include <string>

#include "client/working_directory.h"

namespace zira {
namespace {

class StringDatabaseTest : public testing::WorkingDirectoryTest {
 protected:
  Result Load(const std::string& text) {
    Write("DbStr_US.txt", text);
    return LoadStringDatabase(files(), database);
  }
  StringDatabase database;
};

TEST_F(StringDatabaseTest, MissingFileFails) { EXPECT_EQ(LoadStringDatabase(files(), database), ResultCode::kFailed); }

TEST_F(StringDatabaseTest, EmptyFileOrNoCaretsLoadAsEmpty) {
  ASSERT_EQ(Load(""), ResultCode::kOk);
  EXPECT_EQ(database.count, 0);
  ASSERT_EQ(Load("no carets here\r\nat all\r\n"), ResultCode::kOk);
  EXPECT_EQ(database.count, 0);
  EXPECT_EQ(StringDatabaseText(database, 0, 0), nullptr);
}

TEST_F(StringDatabaseTest, ReadsRecordsByTypeAndId) {
  ASSERT_EQ(Load("12^11^ Human ^0\r\n12^12^Humans\r\n0^20^Base game\r\n7^8^\r\n"), ResultCode::kOk);
  EXPECT_STREQ(StringDatabaseText(database, 11, 12), "Human");
  EXPECT_EQ(database.map.count((11u << 24) + 12), 1u);
  EXPECT_STREQ(StringDatabaseText(database, 12, 12), "Humans");
  EXPECT_STREQ(StringDatabaseText(database, 20, 0), "Base game");
  EXPECT_STREQ(StringDatabaseText(database, 8, 7), "");
  EXPECT_EQ(StringDatabaseText(database, 11, 13), nullptr);
  EXPECT_EQ(database.count, 4);
  EXPECT_EQ(database.highestType, 20);
  EXPECT_EQ(database.highestId, 12u);
}

TEST_F(StringDatabaseTest, TextRunsOverLinesWithoutCarets) {
  ASSERT_EQ(Load("1^8^First line\r\nsecond line\r\n2^8^Next\r\nlast one\r\nand more"), ResultCode::kOk);
  EXPECT_STREQ(StringDatabaseText(database, 8, 1), "First line\r\nsecond line");
  EXPECT_STREQ(StringDatabaseText(database, 8, 2), "Next\r\nlast one\r\nand more");
  EXPECT_EQ(database.count, 2);
}

TEST_F(StringDatabaseTest, InvalidIdsAndTypesAreSkipped) {
  ASSERT_EQ(Load(" 0 ^1^zero\n00^1^double zero\nx^1^letter\n^1^empty\n5^256^big type\n6^-1^negative\n"
                 "7^255^top type\n"),
            ResultCode::kOk);
  EXPECT_STREQ(StringDatabaseText(database, 1, 0), "zero");
  EXPECT_STREQ(StringDatabaseText(database, 255, 7), "top type");
  EXPECT_EQ(database.count, 2);
  EXPECT_EQ(database.highestType, 255);
  EXPECT_EQ(database.highestId, 7u);
}

TEST_F(StringDatabaseTest, LaterRecordWinsAndBothCount) {
  ASSERT_EQ(Load("3^11^Old^x\n3^11^New^y\n"), ResultCode::kOk);
  EXPECT_STREQ(StringDatabaseText(database, 11, 3), "New");
  EXPECT_EQ(database.count, 2);
  EXPECT_EQ(database.map.size(), 1u);
}

TEST_F(StringDatabaseTest, CountWrapEndsTheLoad) {
  std::string text;
  for (int id = 1; id <= 65540; ++id) text += std::to_string(id) + "^1^t\n";
  ASSERT_EQ(Load(text), ResultCode::kOk);
  EXPECT_EQ(database.count, 0);
  EXPECT_EQ(database.highestId, 65536u);
  EXPECT_NE(StringDatabaseText(database, 1, 65536), nullptr);
  EXPECT_EQ(StringDatabaseText(database, 1, 65537), nullptr);
}

TEST_F(StringDatabaseTest, ReloadForgetsTheEarlierDatabase) {
  ASSERT_EQ(Load("1^1^one\n2^1^two\n"), ResultCode::kOk);
  ASSERT_EQ(Load("2^1^zwei\n"), ResultCode::kOk);
  EXPECT_EQ(StringDatabaseText(database, 1, 1), nullptr);
  EXPECT_STREQ(StringDatabaseText(database, 1, 2), "zwei");
  EXPECT_EQ(database.count, 1);
}

}  // namespace
}  // namespace zira
