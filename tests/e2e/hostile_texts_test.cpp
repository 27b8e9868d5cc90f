// Texts from the client's files that carry markup or row breaks: the pages
// show them as text, the lists keep their rows and columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;
using testing::ReadTextFile;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteTextFile;

struct Edit {
  const char* file;
  std::string from;
  std::string to;  // in the executable: no longer than from, padded with zero bytes
};

// Replaces every from in the file; a text of the executable must be there
// once, whole, and keeps its length.
bool Apply(const std::string& folder, const Edit& edit) {
  std::string text = ReadTextFile(folder + "/" + edit.file);
  const bool image = std::string(edit.file) == "OBGame.EXE";
  const std::string from = image ? '\0' + edit.from + '\0' : edit.from;
  std::string to = image ? '\0' + edit.to : edit.to;
  if (image) to.resize(from.size(), '\0');
  const std::size_t at = text.find(from);
  if (at == std::string::npos || (image && text.find(from, at + 1) != std::string::npos)) return false;
  for (std::size_t found = at; found != std::string::npos; found = text.find(from, found + to.size())) {
    text.replace(found, from.size(), to);
  }
  return WriteTextFile(folder + "/" + edit.file, text);
}

// The page's markup: its tag names, and the ampersands that begin none of the
// entities the pages write (the script has some).
std::pair<std::set<std::string>, long> Markup(const std::string& page) {
  std::set<std::string> tags;
  const std::regex tag("<(/?[A-Za-z0-9]+)");
  for (std::sregex_iterator it(page.begin(), page.end(), tag), end; it != end; ++it) tags.insert((*it)[1]);
  const std::regex stray("&(?!amp;|lt;|gt;|quot;)");
  return {tags, std::distance(std::sregex_iterator(page.begin(), page.end(), stray), std::sregex_iterator())};
}

// The fields of each CR LF line of a list, -1 for a line with a line end inside.
std::vector<std::ptrdiff_t> Rows(const std::string& list) {
  std::vector<std::ptrdiff_t> rows;
  for (std::size_t start = 0, end; (end = list.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = list.substr(start, end - start);
    rows.push_back(line.find_first_of("\r\n") != std::string::npos ? -1 : std::count(line.begin(), line.end(), '\t'));
  }
  return rows;
}

TEST(HostileTextsTest, PagesShowClientTextsAsTextAndListsKeepTheirColumns) {
  ZIRA_SKIP_UNLESS_POSIX("file names holding < and >, which Windows refuses");
  TempDir dir;
  ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), 3, ""));
  std::string console;
  ASSERT_EQ(RunProgram(ZIRA_BINARY, dir.Path(), &console), 0) << console;
  const std::string out = dir / "ZIRA/MK2_";
  const char* const pages[] = {"OBRaces.htm", "OBZones.htm"};
  const char* const lists[] = {"OBRaces_ModelCodes_DB.txt", "OBZoneInfo_DB.txt"};
  std::vector<std::pair<std::set<std::string>, long>> markup;
  for (const char* page : pages) markup.push_back(Markup(ReadTextFile(out + page)));
  std::vector<std::vector<std::ptrdiff_t>> rows;
  for (const char* list : lists) rows.push_back(Rows(ReadTextFile(out + list)));

  const Edit edits[] = {
      {"DBStr_US.txt", "1^11^Human^", "1^11^Hu<b>man</b>\t&\rx^"},
      {"DBStr_US.txt", "1^12^Humans^", "1^12^<i>Humans</i>^"},
      {"DBStr_US.txt", "Humans are found everywhere.", "<script>alert(1)</script>"},
      {"DBStr_US.txt", "0^20^Ombrith Classic^", "0^20^<Classic & Co>^"},
      {"obstr_us.txt", "1001 South Quarry", "1001 <u>Quarry</u>"},
      {"OBGame.EXE", "South Quarry", "S<u>\tQu\r\ny&"},
      {"OBGame.EXE", "QUARRY", "QU<\tR>"},
      {"OBGame.EXE", "NOP", "N<P"},
      {"OBGame.EXE", "SKE", "S\nE"},
      {"Resources/GlobalLoad.TXT", "global4_chr", "glob<al>4&_chr"},
      {"Importer_chr.txt", "gobpack", "gob<pack>"},
  };
  for (const Edit& edit : edits) ASSERT_TRUE(Apply(dir.Path(), edit)) << edit.from;
  fs::rename(dir / "global4_chr.obg", dir / "glob<al>4&_chr.obg");
  fs::rename(dir / "GobPack.obg", dir / "gob<pack>.obg");
  ASSERT_EQ(RunProgram(ZIRA_BINARY, dir.Path(), &console), 0) << console;

  struct Shown {
    const char* report;
    std::string text;
  };
  const Shown shown[] = {
      {"OBRaces.htm", "<a>1 - Hu&lt;b&gt;man&lt;/b&gt;\t&amp;\rx (P)</a>"},
      {"OBRaces.htm", "Plural '&lt;i&gt;Humans&lt;/i&gt;'"},
      {"OBRaces.htm", "<p>&lt;script&gt;alert(1)&lt;/script&gt;\r\n"},
      {"OBRaces.htm", "<b class=\"GenM\">N&lt;P</b>"},
      {"OBRaces.htm", "Via Source: glob&lt;al&gt;4&amp;_chr.obg"},
      {"OBRaces.htm", "Via Source: gob&lt;pack&gt;.obg"},
      {"OBZones.htm", "<b class=\"Global0\">&lt;Classic &amp; Co&gt;</b>"},
      {"OBZones.htm", "<a>1 - qu&lt;\tr&gt;</a>"},
      {"OBZones.htm", "&quot;S&lt;u&gt;\tQu\r\ny&amp;&quot;"},
      {"OBZones.htm", "String Table Name:</b> &lt;u&gt;Quarry&lt;/u&gt;"},
      {"OBRaces_ModelCodes_DB.txt", "\r\n1\tHu<b>man</b> & x\tHUM\t"},
      {"OBRaces_ModelCodes_DB.txt", "\r\n60\tSkeleton\tS E\t\tS E\r\n"},
      {"OBZoneInfo_DB.txt", "\r\n1\tqu< r>\tS<u> Qu  y&\t1001\t"},
  };
  for (const Shown& s : shown) EXPECT_NE(ReadTextFile(out + s.report).find(s.text), std::string::npos) << s.text;
  // No markup but the page's own, and the same rows and columns.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Markup(ReadTextFile(out + pages[i])), markup[i]) << pages[i];
    EXPECT_EQ(Rows(ReadTextFile(out + lists[i])), rows[i]) << lists[i];
  }
}

}  // namespace
}  // namespace zira
