#include "reports/page_head.h"

#include <string>

#include <gtest/gtest.h>

#include "reports/report_fixture.h"
#include "support/text_files.h"

namespace zira::testing {
namespace {

class PageHeadTest : public ReportTest {
 protected:
  std::string Head(const PageScript& script) {
    const std::string path = OutputPath() + "/head.htm";
    OutputFile file;
    EXPECT_TRUE(file.Open(path.c_str()));
    WritePageHead(file, script);
    file.Close();
    return ReadTextFile(path);
  }
};

// Everything the description fixes word for word; the script body is
// checked by its parts below.
std::string ExpectedHead(const std::string& title, const std::string& script) {
  return "<html>\r\n<head>\r\n<title>" + title +
         "</title>\r\n"
         "<style type=\"text/css\">\r\n<!--\r\n\r\n"
         "body { font-family:Calibri,Tahoma,sans-serif; cursor:default; margin:4px; }\r\n"
         "ul { margin-top:0; margin-bottom:8px; }\r\n"
         ".GenM { color:#4444ff; }\r\n.GenF { color:#ff6666; }\r\n.GenN { color:#339933; }\r\n"
         ".Global0 { color:#cc3333; }\r\n.Global1 { color:#999999; }\r\n.Global2 { color:#336699; }\r\n"
         ".Global3 { color:#3333cc; }\r\n.Global4 { color:#339933; }\r\n"
         "\r\n-->\r\n</style>\r\n"
         "<style type=\"text/css\">\r\n<!--\r\n\r\n"
         ".ScriptHide { display:none; }\r\n.ScriptShow { display:inline; }\r\n"
         ".FrameLeft { width:17%; height:100%; overflow:scroll; float:left; font-size:10pt; }\r\n"
         ".FrameRight { width:82%; height:100%; overflow:auto; float:right; padding-right:6px; }\r\n"
         "nobr a { cursor:pointer; }\r\nnobr a:hover { color:blue; }\r\n"
         "\r\n-->\r\n</style>\r\n"
         "<noscript>\r\n<style type=\"text/css\">\r\n<!--\r\n\r\n"
         ".ScriptHide { display:inline; }\r\n.ScriptShow { display:none; }\r\n.FrameRight { width:99%; }\r\n"
         "\r\n-->\r\n</style>\r\n</noscript>\r\n"
         "<script language=\"javascript\">\r\n<!--\r\n\r\n" +
         script + "\r\n//-->\r\n</script>\r\n</head>\r\n<body>\r\n\r\n";
}

// The head with its script body cut out, and the script body.
std::pair<std::string, std::string> SplitScript(const std::string& head) {
  const std::string open = "<script language=\"javascript\">\r\n<!--\r\n\r\n";
  const std::size_t from = head.find(open);
  const std::size_t to = head.find("\r\n//-->");
  if (from == std::string::npos || to == std::string::npos) return {head, ""};
  const std::size_t body = from + open.size();
  return {head.substr(0, body) + head.substr(to), head.substr(body, to - body)};
}

TEST_F(PageHeadTest, HeadsAreExact) {
  const auto [raceHead, raceScript] = SplitScript(Head(kRacePageScript));
  EXPECT_EQ(ExpectedHead("Ombrith Race Inventory", ""), raceHead);
  const auto [zoneHead, zoneScript] = SplitScript(Head(kZonePageScript));
  EXPECT_EQ(ExpectedHead("Ombrith Zone/Race Inventory", ""), zoneHead);

  for (const char* line : {"  var iSaveRace = 1;\r\n  var iLastRace = 1;\r\n", "  function OverRace() {\r\n",
                           "  function OutRace() {\r\n", "  function ShowRace(e) {\r\n",
                           "    if (iLastRace > 0) setDisplay('Race' + iLastRace, '');\r\n"}) {
    EXPECT_NE(std::string::npos, raceScript.find(line)) << line;
  }
  for (const char* line : {"  var iSaveZone = 0;\r\n  var iLastZone = 0;\r\n", "  function OverZone() {\r\n",
                           "  function OutZone() {\r\n", "  function ShowZone(e) {\r\n",
                           "    if (iLastZone >= 0) setDisplay('Zone' + iLastZone, '');\r\n"}) {
    EXPECT_NE(std::string::npos, zoneScript.find(line)) << line;
  }
  // Show all switches the first rule of the second sheet.
  EXPECT_NE(std::string::npos, raceScript.find("document.styleSheets[1];"));
  EXPECT_NE(std::string::npos, raceScript.find("oRules[0].style.display = s;"));
  EXPECT_EQ(std::string::npos, zoneScript.find("Race"));
}

// A section that is not on the page must not stop the menu: every section
// lookup goes through the one guarded helper.
TEST_F(PageHeadTest, MissingSectionsArePassedOver) {
  for (const PageScript* script : {&kRacePageScript, &kZonePageScript}) {
    const std::string head = Head(*script);
    std::size_t lookups = 0;
    for (std::size_t at = head.find("getElementById("); at != std::string::npos;
         at = head.find("getElementById(", at + 1)) {
      ++lookups;
    }
    EXPECT_EQ(2u, lookups);  // setDisplay and the Show All link
    EXPECT_NE(std::string::npos,
              head.find("    var o = document.getElementById(sId);\r\n    if (o) o.style.display = s;\r\n"));
    EXPECT_EQ(std::string::npos, head.find(").style.display"));
  }
}

}  // namespace
}  // namespace zira::testing
