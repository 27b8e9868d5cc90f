#include "client/string_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "client/working_directory.h"

namespace zira {
namespace {

class StringListTest : public testing::WorkingDirectoryTest {
 protected:
  Result Load(const std::string& text) {
    Write("OBSTR_US.TXT", text);  // found whatever the case on disk
    return LoadStringList(files(), *list);
  }
  std::unique_ptr<StringList> list = std::make_unique<StringList>();
};

TEST_F(StringListTest, MissingFileFails) { EXPECT_EQ(LoadStringList(files(), *list), ResultCode::kFailed); }

TEST_F(StringListTest, EmptyFileIsAnEmptyList) {
  ASSERT_EQ(Load(""), ResultCode::kOk);
  EXPECT_EQ(list->count, 0);
  EXPECT_EQ(StringListText(*list, 0), nullptr);
}

TEST_F(StringListTest, ReadsIdsAndTexts) {
  ASSERT_EQ(Load("header line\r\n1 First\r\n12    Spaced text  \r\n7\r\n64999 Last\n65000 Too high\n0 Zero\n"
                 "20\tTabbed\n21\tTabbed and spaced\n5 Old\n5 New"),
            ResultCode::kOk);
  EXPECT_STREQ(StringListText(*list, 1), "First");
  EXPECT_STREQ(StringListText(*list, 12), "Spaced text");
  EXPECT_STREQ(StringListText(*list, 7), "");
  EXPECT_STREQ(StringListText(*list, 64999), "Last");
  EXPECT_EQ(StringListText(*list, 65000), nullptr);
  EXPECT_EQ(StringListText(*list, 0), nullptr);
  EXPECT_STREQ(StringListText(*list, 20), "");
  EXPECT_STREQ(StringListText(*list, 21), "and spaced");
  EXPECT_STREQ(StringListText(*list, 5), "New");
  EXPECT_EQ(StringListText(*list, 2), nullptr);
  EXPECT_EQ(StringListText(*list, 65535), nullptr);
  EXPECT_EQ(list->count, 8);
  EXPECT_EQ(list->highestId, 64999);
}

TEST_F(StringListTest, OnlyInvalidIdsLoadAsEmpty) {
  ASSERT_EQ(Load("0 zero\n65000 high\n-3 negative\nword\n\n"), ResultCode::kOk);
  EXPECT_EQ(list->count, 0);
  EXPECT_EQ(list->highestId, 0);
  EXPECT_EQ(StringListText(*list, 0), nullptr);
}

TEST_F(StringListTest, StopsAfter9999Entries) {
  std::string text;
  for (int id = 1; id <= 10005; ++id) text += std::to_string(id) + " t" + std::to_string(id) + "\r\n";
  ASSERT_EQ(Load(text), ResultCode::kOk);
  EXPECT_EQ(list->count, 9999);
  EXPECT_EQ(list->highestId, 9999);
  EXPECT_STREQ(StringListText(*list, 9999), "t9999");
  EXPECT_EQ(StringListText(*list, 10000), nullptr);
}

TEST_F(StringListTest, ReloadForgetsTheEarlierList) {
  ASSERT_EQ(Load("3 three\n4 four\n"), ResultCode::kOk);
  ASSERT_EQ(Load("4 vier\n"), ResultCode::kOk);
  EXPECT_EQ(StringListText(*list, 3), nullptr);
  EXPECT_STREQ(StringListText(*list, 4), "vier");
}

}  // namespace
}  // namespace zira
