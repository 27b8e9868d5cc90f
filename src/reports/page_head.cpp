#include "reports/page_head.h"

namespace zira {

namespace {

constexpr const char* kStyleOpen = "<style type=\"text/css\">\r\n<!--\r\n\r\n";
constexpr const char* kStyleClose = "\r\n-->\r\n</style>\r\n";

constexpr const char* kPageRules =
    "body { font-family:Calibri,Tahoma,sans-serif; cursor:default; margin:4px; }\r\n"
    "ul { margin-top:0; margin-bottom:8px; }\r\n"
    ".GenM { color:#4444ff; }\r\n"
    ".GenF { color:#ff6666; }\r\n"
    ".GenN { color:#339933; }\r\n"
    ".Global0 { color:#cc3333; }\r\n"
    ".Global1 { color:#999999; }\r\n"
    ".Global2 { color:#336699; }\r\n"
    ".Global3 { color:#3333cc; }\r\n"
    ".Global4 { color:#339933; }\r\n";

// The script switches "show all" through the first rule of this sheet, so
// .ScriptHide must stay first.
constexpr const char* kScriptRules =
    ".ScriptHide { display:none; }\r\n"
    ".ScriptShow { display:inline; }\r\n"
    ".FrameLeft { width:17%; height:100%; overflow:scroll; float:left; font-size:10pt; }\r\n"
    ".FrameRight { width:82%; height:100%; overflow:auto; float:right; padding-right:6px; }\r\n"
    "nobr a { cursor:pointer; }\r\n"
    "nobr a:hover { color:blue; }\r\n";

// Without scripts every section shows and the menu frame hides.
constexpr const char* kNoScriptRules =
    ".ScriptHide { display:inline; }\r\n"
    ".ScriptShow { display:none; }\r\n"
    ".FrameRight { width:99%; }\r\n";

void WriteStyleBlock(OutputFile& file, const char* rules) {
  file.Write(kStyleOpen);
  file.Write(rules);
  file.Write(kStyleClose);
}

// Helpers that do not depend on the page. Sections are reached through
// setDisplay: one that is not on the page (race 1 unlisted, say) is passed
// over, so the menu keeps working.
constexpr const char* kScriptHelpers =
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
    "\r\n";

// Over<name> and Out<name>: the menu entry under the mouse turns blue.
void WriteHoverHandlers(OutputFile& file, const char* name) {
  file.Print("  function Over%s() {\r\n", name);
  file.Write(
      "    var o = menuLink();\r\n"
      "    if (o) o.style.color = 'blue';\r\n"
      "  }\r\n"
      "\r\n");
  file.Print("  function Out%s() {\r\n", name);
  file.Write(
      "    var o = menuLink();\r\n"
      "    if (o) o.style.color = '';\r\n"
      "  }\r\n"
      "\r\n");
}

// Show<name>: a numbered entry shows its section alone; the Show All link
// (no '-' in it) switches between all sections and the last one shown.
void WriteShowHandler(OutputFile& file, const PageScript& script) {
  const char* name = script.sectionName;
  const char* lastTest = script.hidesSectionZero ? ">= 0" : "> 0";
  file.Print("  function Show%s(e) {\r\n", name);
  file.Write(
      "    if (window.event) e = window.event;\r\n"
      "    if (!e) return;\r\n"
      "    var o = e.srcElement ? e.srcElement : e.target;\r\n"
      "    if (!o || o.tagName != 'A') return;\r\n"
      "    var i = o.innerHTML.indexOf('-');\r\n");
  file.Print("    if (iLast%s %s) setDisplay('%s' + iLast%s, '');\r\n", name, lastTest, name, name);
  file.Print("    if (iLast%s == -1) hideStyle('none');\r\n", name);
  file.Write("    if (i == -1) {\r\n");
  file.Print("      if (iLast%s == -1) {\r\n", name);
  file.Print("        iLast%s = iSave%s;\r\n", name, name);
  file.Print("        setDisplay('%s' + iLast%s, 'inline');\r\n", name, name);
  file.Write("      } else {\r\n");
  file.Write("        hideStyle('inline');\r\n");
  file.Print("        iLast%s = -1;\r\n", name);
  file.Write("      }\r\n");
  file.Write("    } else {\r\n");
  file.Write("      var n = o.innerHTML.substring(0, i - 1);\r\n");
  file.Print("      setDisplay('%s' + n, 'inline');\r\n", name);
  file.Print("      iLast%s = n;\r\n", name);
  file.Print("      iSave%s = iLast%s;\r\n", name, name);
  file.Write("    }\r\n");
  file.Write("  }\r\n");
}

void WriteScript(OutputFile& file, const PageScript& script) {
  file.Write("<script language=\"javascript\">\r\n<!--\r\n\r\n");
  file.Print("  var iSave%s = %d;\r\n", script.sectionName, script.firstSection);
  file.Print("  var iLast%s = %d;\r\n", script.sectionName, script.firstSection);
  file.Write(kScriptHelpers);
  WriteHoverHandlers(file, script.sectionName);
  WriteShowHandler(file, script);
  file.Write("\r\n//-->\r\n</script>\r\n");
}

}  // namespace

void WritePageHead(OutputFile& file, const PageScript& script) {
  file.Write("<html>\r\n<head>\r\n");
  file.Print("<title>%s</title>\r\n", script.title);
  WriteStyleBlock(file, kPageRules);
  WriteStyleBlock(file, kScriptRules);
  file.Write("<noscript>\r\n");
  WriteStyleBlock(file, kNoScriptRules);
  file.Write("</noscript>\r\n");
  WriteScript(file, script);
  file.Write("</head>\r\n<body>\r\n\r\n");
}

}  // namespace zira
