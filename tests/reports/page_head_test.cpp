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
    EXPECT_TRUE(file.Open(run().files, path.c_str()));
    WritePageHead(file, script);
    file.Close();
    return ReadTextFile(path);
  }
};

// The text of the n-th style block (0-based), from "<!--" to "-->".
std::string StyleBlock(const std::string& head, int n) {
  std::size_t at = 0;
  for (int i = 0; i <= n; ++i) {
    at = head.find("<style", at);
    if (at == std::string::npos) return "";
    ++at;
  }
  const std::size_t from = head.find("<!--", at);
  const std::size_t to = head.find("-->", from);
  return from == std::string::npos || to == std::string::npos ? "" : head.substr(from, to - from);
}

// The first rule line of a style block.
std::string FirstRule(const std::string& block) {
  const std::size_t from = block.find_first_of(".abcdefghijklmnopqrstuvwxyz", block.find("\r\n\r\n"));
  return from == std::string::npos ? "" : block.substr(from, block.find("\r\n", from) - from);
}

// What each page's script relies on: its own names and first section, the
// show-all switch on the first rule of the second sheet, and a noscript
// sheet that shows every section. The goldens hold the exact text.
TEST_F(PageHeadTest, ScriptAndStylesFitTogether) {
  struct Case {
    const PageScript* script;
    const char* title;
    const char* names[3];  // handlers and variables of this page
    const char* firstSection;
    const char* lastTest;  // the zone page can hide its section 0
    const char* otherName;
  };
  const Case cases[] = {
      {&kRacePageScript, "<title>Ombrith Race Inventory</title>", {"ShowRace(e)", "OverRace()", "OutRace()"},
       "  var iSaveRace = 1;\r\n  var iLastRace = 1;\r\n", "if (iLastRace > 0)", "Zone"},
      {&kZonePageScript, "<title>Ombrith Zone/Race Inventory</title>", {"ShowZone(e)", "OverZone()", "OutZone()"},
       "  var iSaveZone = 0;\r\n  var iLastZone = 0;\r\n", "if (iLastZone >= 0)", "Race"},
  };
  for (const Case& c : cases) {
    const std::string head = Head(*c.script);
    SCOPED_TRACE(c.title);
    EXPECT_EQ(0u, head.find("<html>\r\n<head>\r\n"));
    EXPECT_NE(std::string::npos, head.find(c.title));
    EXPECT_EQ(head.size() - 19, head.rfind("</head>\r\n<body>\r\n\r\n"));
    for (const char* name : c.names) EXPECT_NE(std::string::npos, head.find(std::string("function ") + name));
    EXPECT_NE(std::string::npos, head.find(c.firstSection));
    EXPECT_NE(std::string::npos, head.find(c.lastTest));
    EXPECT_EQ(std::string::npos, head.find(c.otherName, head.find("<script")));

    EXPECT_NE(std::string::npos, head.find("oRules[0].style.display = s;"));
    EXPECT_EQ(".ScriptHide { display:none; }", FirstRule(StyleBlock(head, 1)));
    const std::string noScript = StyleBlock(head, 2);
    EXPECT_NE(std::string::npos, noScript.find(".ScriptHide { display:inline; }"));
    EXPECT_NE(std::string::npos, noScript.find(".ScriptShow { display:none; }"));
    EXPECT_LT(head.find("<noscript>"), head.find(noScript));
    // Binary output: every line of the head ends in CR LF.
    for (std::size_t at = head.find('\n'); at != std::string::npos; at = head.find('\n', at + 1)) {
      ASSERT_EQ('\r', head[at - 1]) << at;
    }
  }
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
