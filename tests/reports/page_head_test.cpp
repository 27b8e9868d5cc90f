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

// The script of the race page, written out; the zone page differs only
// where the test below replaces text.
const char* const kRaceScript =
    "  var iSaveRace = 1;\r\n"
    "  var iLastRace = 1;\r\n"
    "\r\n"
    "  function setDisplay(sId, s) {\r\n"
    "    var o = document.getElementById(sId);\r\n"
    "    if (o) o.style.display = s;\r\n"
    "  }\r\n"
    "\r\n"
    "  function hideStyle(s) {\r\n"
    "    var oSheet = document.styleSheets[1];\r\n"
    "    var oRules = oSheet.rules ? oSheet.rules : oSheet.cssRules;\r\n"
    "    oRules[0].style.display = s;\r\n"
    "    var oLink = document.getElementById('HideShow');\r\n"
    "    if (oLink) oLink.innerHTML = (s == 'none') ? 'Show All' : 'Show Single';\r\n"
    "  }\r\n"
    "\r\n"
    "  function menuLink() {\r\n"
    "    var e = window.event;\r\n"
    "    if (!e) return null;\r\n"
    "    var o = e.srcElement ? e.srcElement : e.target;\r\n"
    "    return (o && o.tagName == 'A') ? o : null;\r\n"
    "  }\r\n"
    "\r\n"
    "  function OverRace() {\r\n"
    "    var o = menuLink();\r\n"
    "    if (o) o.style.color = 'blue';\r\n"
    "  }\r\n"
    "\r\n"
    "  function OutRace() {\r\n"
    "    var o = menuLink();\r\n"
    "    if (o) o.style.color = '';\r\n"
    "  }\r\n"
    "\r\n"
    "  function ShowRace(e) {\r\n"
    "    if (window.event) e = window.event;\r\n"
    "    if (!e) return;\r\n"
    "    var o = e.srcElement ? e.srcElement : e.target;\r\n"
    "    if (!o || o.tagName != 'A') return;\r\n"
    "    var i = o.innerHTML.indexOf('-');\r\n"
    "    if (iLastRace > 0) setDisplay('Race' + iLastRace, '');\r\n"
    "    if (iLastRace == -1) hideStyle('none');\r\n"
    "    if (i == -1) {\r\n"
    "      if (iLastRace == -1) {\r\n"
    "        iLastRace = iSaveRace;\r\n"
    "        setDisplay('Race' + iLastRace, 'inline');\r\n"
    "      } else {\r\n"
    "        hideStyle('inline');\r\n"
    "        iLastRace = -1;\r\n"
    "      }\r\n"
    "    } else {\r\n"
    "      var n = o.innerHTML.substring(0, i - 1);\r\n"
    "      setDisplay('Race' + n, 'inline');\r\n"
    "      iLastRace = n;\r\n"
    "      iSaveRace = iLastRace;\r\n"
    "    }\r\n"
    "  }\r\n";

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

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  for (std::size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size())) {
    text->replace(at, from.size(), to);
  }
}

TEST_F(PageHeadTest, RacePageHeadIsExact) {
  EXPECT_EQ(ExpectedHead("Ombrith Race Inventory", kRaceScript), Head(kRacePageScript));
}

TEST_F(PageHeadTest, ZonePageHeadStartsAtZeroAndCanHideZoneZero) {
  std::string script = kRaceScript;
  ReplaceAll(&script, "Race", "Zone");
  ReplaceAll(&script, "Zone = 1;", "Zone = 0;");
  ReplaceAll(&script, "iLastZone > 0", "iLastZone >= 0");
  EXPECT_EQ(ExpectedHead("Ombrith Zone/Race Inventory", script), Head(kZonePageScript));
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
