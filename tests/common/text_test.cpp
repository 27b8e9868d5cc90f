#include "common/text.h"
#include "common/capacities.h"

#include <gtest/gtest.h>

#include <string_view>

#include <cstring>
#include <string>

namespace zira {
namespace {

std::string Trimmed(std::string text, std::size_t* lengthOut = nullptr) {
  std::size_t length = text.size();
  TrimCounted(text.data(), &length);
  if (lengthOut) *lengthOut = length;
  return std::string(text.c_str());
}

TEST(TrimTest, RemovesLeadingSpacesAndTrailingSpacesCrLfButNoTabs) {
  std::size_t length = 99;
  EXPECT_EQ(Trimmed("  abc \r\n \r", &length), "abc");
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(Trimmed("\tabc\t"), "\tabc\t");
  EXPECT_EQ(Trimmed("\r\nabc"), "\r\nabc");  // CR and LF go only at the end
  EXPECT_EQ(Trimmed("a b"), "a b");
  EXPECT_EQ(Trimmed(" \r\n  ", &length), "");
  EXPECT_EQ(length, 0u);

  // Only the counted part is looked at.
  char text[] = "ab  cd";
  length = 4;
  TrimCounted(text, &length);
  EXPECT_EQ(length, 2u);
  EXPECT_STREQ(text, "ab");

  TrimCounted(nullptr, &length);
  TrimCounted(text, nullptr);
  char padded[] = "  x ";
  EXPECT_EQ(TrimText(padded), 1u);
  EXPECT_STREQ(padded, "x");
  EXPECT_EQ(TrimText(nullptr), 0u);
}

TEST(CompareTest, SameTextAndFoldedLetters) {
  const char* text = "Abc";
  EXPECT_TRUE(SameText(text, 3, text, 99, false));  // the same pointer is always the same text
  EXPECT_TRUE(SameText(nullptr, 0, nullptr, 5, false));
  EXPECT_FALSE(SameText("abc", 3, nullptr, 3, false));
  EXPECT_FALSE(SameText("abc", 3, "abd", 2, false));
  EXPECT_TRUE(SameText("abX", 2, "abY", 2, false));
  EXPECT_FALSE(SameText("abc", 3, "ABC", 3, false));
  EXPECT_TRUE(SameText("abc", 3, "ABC", 3, true));
  // Folding ORs 0x20 into both bytes, so some non-letters pair up too.
  EXPECT_TRUE(SameText("_", 1, "\x7f", 1, true));
  EXPECT_TRUE(SameText("@[", 2, "`{", 2, true));
  EXPECT_FALSE(SameText("1", 1, "2", 1, true));

  EXPECT_TRUE(EqualsNoCase("GlobalLoad", 10, "globalload"));
  EXPECT_FALSE(EqualsNoCase("GlobalLoad.txt", 14, "globalload"));
  EXPECT_FALSE(EqualsNoCase("abc", 3, nullptr));
}

TEST(CompareTest, StartsAndEndsWithFoldedLetters) {
  EXPECT_TRUE(StartsWithNoCase("ABC_chr.s3d", "abc_"));
  EXPECT_TRUE(StartsWithNoCase("abc", ""));
  EXPECT_FALSE(StartsWithNoCase("ab", "abc"));
  EXPECT_FALSE(StartsWithNoCase(nullptr, ""));
  EXPECT_FALSE(StartsWithNoCase("abc", nullptr));
  EXPECT_TRUE(StartsWithNoCase("abcdef", 3, "ABCxxx", 3));
  EXPECT_FALSE(StartsWithNoCase("abcdef", 2, "abc", 3));

  EXPECT_TRUE(EndsWithNoCase("zone_CHR.S3D", "_chr.s3d"));
  EXPECT_FALSE(EndsWithNoCase("3d", "s3d"));
  EXPECT_FALSE(EndsWithNoCase(nullptr, ""));
  EXPECT_TRUE(EndsWithNoCase("a.wldxx", 5, ".WLD", 4));
  EXPECT_FALSE(EndsWithNoCase("a.wld", 5, ".wl", 3));
}

// Views compare only their own bytes: a text cut out of a buffer needs no terminator.
TEST(CompareTest, ViewsEndAtTheirLength) {
  const char bytes[] = {'A', 'b', 'C', 'x'};
  const std::string_view abc(bytes, 3);
  EXPECT_TRUE(SameText(abc, "abc", true));
  EXPECT_FALSE(SameText(abc, "abc", false));
  EXPECT_FALSE(SameText(abc, "abcx", true));
  EXPECT_TRUE(StartsWithNoCase(abc, "ab"));
  EXPECT_TRUE(EndsWithNoCase(abc, "BC"));
  EXPECT_FALSE(EndsWithNoCase(abc, "cx"));
  EXPECT_FALSE(StartsWithNoCase(abc, "abcx"));
}

TEST(LetterBucketTest, LettersInEitherCaseElseZero) {
  EXPECT_EQ(LetterBucket("abc"), 1);
  EXPECT_EQ(LetterBucket("Zed"), 26);
  EXPECT_EQ(LetterBucket("1chr"), 0);
  EXPECT_EQ(LetterBucket("_x"), 0);
  EXPECT_EQ(LetterBucket("@"), 0);
  EXPECT_EQ(LetterBucket("["), 0);
  EXPECT_EQ(LetterBucket("\xC1"), 0);  // clearing 0x20 must not make a letter of a high byte
  EXPECT_EQ(LetterBucket(""), 0);
}

TEST(SplitFieldsTest, CutsAtSeparatorsUpToTheMostFields) {
  char buffer[64];
  char* fields[4] = {};
  ASSERT_EQ(SplitFields("1^a^b^c^d", '^', buffer, sizeof(buffer), fields, 4), 4);
  EXPECT_STREQ(fields[0], "1");
  EXPECT_STREQ(fields[1], "a");
  EXPECT_STREQ(fields[2], "b");
  EXPECT_STREQ(fields[3], "c^d");  // the rest, separators included

  ASSERT_EQ(SplitFields("a^^", '^', buffer, sizeof(buffer), fields, 4), 3);
  EXPECT_STREQ(fields[1], "");
  EXPECT_STREQ(fields[2], "");
  EXPECT_EQ(SplitFields("plain", '^', buffer, sizeof(buffer), fields, 4), 1);
  EXPECT_STREQ(fields[0], "plain");
  EXPECT_EQ(SplitFields("", '^', buffer, sizeof(buffer), fields, 4), 1);
  EXPECT_EQ(SplitFields(nullptr, '^', buffer, sizeof(buffer), fields, 4), 0);
  EXPECT_EQ(SplitFields("a^b", '^', nullptr, 8, fields, 4), 0);

  // The copy is cut to the buffer; a separator beyond the cut does not count.
  char small[4];
  ASSERT_EQ(SplitFields("ab^cd", '^', small, sizeof(small), fields, 4), 2);
  EXPECT_STREQ(fields[1], "");
  EXPECT_EQ(SplitFields("abc^d", '^', small, sizeof(small), fields, 4), 1);
  EXPECT_STREQ(small, "abc");
}

TEST(JoinPathTest, JoinsWithOneBackslash) {
  char buffer[16];
  EXPECT_STREQ(JoinPath("out\\\\", "a.txt", buffer, sizeof(buffer)), "out\\a.txt");
  EXPECT_STREQ(JoinPath("out", "", buffer, sizeof(buffer)), "out");
  EXPECT_STREQ(JoinPath("", "a.txt", buffer, sizeof(buffer)), "a.txt");
  EXPECT_STREQ(JoinPath(nullptr, nullptr, buffer, sizeof(buffer)), "");

  // Room for directory, name, backslash and terminator, and not one byte less.
  EXPECT_STREQ(JoinPath("dir", "0123456789", buffer, 15), "dir\\0123456789");
  EXPECT_EQ(JoinPath("dir", "01234567890", buffer, 15), nullptr);
  EXPECT_STREQ(buffer, "");

  EXPECT_EQ(JoinPath("x", "y", nullptr, 0), nullptr);
  char path[kPathCapacity];
  EXPECT_EQ(JoinPath("a", std::string(258, 'n').c_str(), path, sizeof(path)), nullptr);
}

TEST(JoinPathTest, DirectoryMayAlreadyStandInTheBuffer) {
  char buffer[32] = "out\\";
  EXPECT_STREQ(JoinPath(buffer, "log.txt", buffer, sizeof(buffer)), "out\\log.txt");
  char path[kPathCapacity];
  char* joined = JoinPath("ZIRA", "sub", path, sizeof(path));
  EXPECT_STREQ(JoinPath(joined, "file.txt", path, sizeof(path)), "ZIRA\\sub\\file.txt");
  char named[32] = "name.txt";
  EXPECT_STREQ(JoinPath("dir", named, named, sizeof(named)), "dir\\name.txt");
}

TEST(AtoITest, ReadsLikeTheCLibrary) {
  EXPECT_EQ(AtoI("42"), 42);
  EXPECT_EQ(AtoI(" \t\r\n-17xyz"), -17);
  EXPECT_EQ(AtoI("+8"), 8);
  EXPECT_EQ(AtoI("- 8"), 0);
  EXPECT_EQ(AtoI("abc"), 0);
  EXPECT_EQ(AtoI(""), 0);
  EXPECT_EQ(AtoI(nullptr), 0);
  EXPECT_EQ(AtoI("2147483647"), 2147483647);
  EXPECT_EQ(AtoI("-2147483648"), INT32_MIN);
  EXPECT_EQ(AtoI("4294967297"), 1);  // wraps instead of failing
}

TEST(CaseTest, OnlyAsciiLettersChange) {
  char text[] = "aZ_@[`{\xE1";
  UpperInPlace(text);
  EXPECT_STREQ(text, "AZ_@[`{\xE1");
  LowerInPlace(text);
  EXPECT_STREQ(text, "az_@[`{\xE1");

  char copy[4];
  EXPECT_EQ(CopyText(copy, sizeof(copy), "abcdef"), 3u);
  EXPECT_STREQ(copy, "abc");
  EXPECT_EQ(CopyText(copy, sizeof(copy), nullptr), 0u);
  EXPECT_STREQ(copy, "");
}

}  // namespace
}  // namespace zira
