#include "reports/zone_reports.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "reports/report_fixture.h"

namespace zira::testing {
namespace {

class ZoneReportsTest : public ReportTest {
 protected:
  std::string ExportPage() {
    EXPECT_EQ(ResultCode::kOk, ExportZoneReports(io(), inv(), OutputPath().c_str()));
    return ReadOutput("TST_OBZones.htm");
  }
  static std::string Section(const std::string& page, int zone) {
    return Between(page, "<span id=\"Zone" + std::to_string(zone) + "\"", "</span>\r\n");
  }
  static std::string Menu(const std::string& page) {
    const std::string showAll = "<b><a id=\"HideShow\">Show All</a></b><br />\r\n";
    return Between(page, showAll, "</nobr>").substr(showAll.size());
  }
  static constexpr const char* kRuler =
      "\r\n<p><pre>        3         2         1         0\r\n       10987654321098765432109876543210\r\n<b>Flags:</b> ";
  static constexpr const char* kNoLocalModels =
      "<li>No in-zone or imported race models found. Rendering limited to global models.</li>\r\n";
};

TEST_F(ZoneReportsTest, ZoneListPrintsSignedDecimals) {
  ZoneRecord* zone = SetZone(3, "abc", "A Bee See", 4);
  zone->stringId = 0xFFFFFFFEu;
  zone->flags = 0x80000000u;
  zone->minLevel = 45;
  zone->unknown7 = 0x80000001u;
  zone->unknown8 = 7;
  SetZone(5, "", "Nameless");
  inv().client.zones[6].zoneNick = Own("ghost");  // id never registered
  inv().client.maxZoneId = 6;

  ExportPage();
  EXPECT_EQ(
      "ZoneID\tZoneNick\tZoneName\tStringID\tExpansion\tFlags\tMinLevel\tUnknown7\tUnknown8\r\n"
      "3\tabc\tA Bee See\t-2\t4\t-2147483648\t45\t-2147483647\t7\r\n"
      "5\t\tNameless\t0\t0\t0\t0\t0\t0\r\n",
      ReadOutput("TST_OBZoneInfo_DB.txt"));
  // Row 0 counts once it has a nick.
  SetZone(0, "zero", "");
  ExportPage();
  EXPECT_EQ(0u, ReadOutput("TST_OBZoneInfo_DB.txt").find(
                    "ZoneID\tZoneNick\tZoneName\tStringID\tExpansion\tFlags\tMinLevel\tUnknown7\tUnknown8\r\n"
                    "0\tzero\t\t0\t0\t0\t0\t0\t0\r\n3\t"));
  ASSERT_EQ(4u, logLines_.size());
  EXPECT_EQ("  Listing OB Zone Information in TST_OBZoneInfo_DB.txt", logLines_[0].second);
  EXPECT_EQ("  Listing formatted Zone information in TST_OBZones.htm", logLines_[1].second);
}

TEST_F(ZoneReportsTest, EditionOneMenuUsesFixedNamesWhileSectionsReadTheDatabase) {
  inv().client.editionId = 1;
  SetZone(2, "ash", "Ashen Field", 1);
  SetZone(4, "far", "", 12);
  SetZone(5, "", "Nickless", 1);
  SetDatabaseText(20, 1, "From the database");

  const std::string page = ExportPage();
  std::string expected = "<br />\r\n<b class=\"Global0\">Ombrith</b><br />\r\n<a>0 - Globals</a><br />\r\n"
                         "<br />\r\n<b class=\"Global0\">Ashen Reach</b><br />\r\n<a>2 - ash</a><br />\r\n";
  const char* names[] = {"Frozen Crown", "Veil of Ostra", "Spires of Dusk", "Call of Merrow", "Deep Halls",
                         "Broken Gate",  "Signs of Ruin", "Wyrm Tide",      "Underglow"};
  for (const char* name : names) expected += std::string("<br />\r\n<b class=\"Global0\">") + name + "</b><br />\r\n";
  expected += "<br />\r\n<b class=\"Global0\">Expansion 11</b><br />\r\n"
              "<br />\r\n<b class=\"Global0\">Expansion 12</b><br />\r\n<a>4 - far</a><br />\r\n</nobr>";
  EXPECT_EQ(expected, Menu(page));
  EXPECT_EQ("", std::string(ExpansionName(inv(), 11)));

  EXPECT_NE(std::string::npos, Section(page, 2).find("<h3>Zone # 2 - ash - &quot;Ashen Field&quot;</h3>\r\n"
                                                      "<p><b>Expansion:</b> 1 - From the database</b>\n"));
  EXPECT_NE(std::string::npos, Section(page, 4).find("<h3>Zone # 4 - far - &quot;N/A&quot;</h3>\r\n"
                                                      "<p><b>Expansion:</b> 12 - N/A</b>\n"));
  EXPECT_NE(std::string::npos, Section(page, 5).find("<h3>Zone # 5 - N/A - &quot;Nickless&quot;</h3>\r\n"));
}

TEST_F(ZoneReportsTest, OtherEditionsNameExpansionsFromTheDatabase) {
  SetZone(2, "ash", "Ashen Field", 2);
  SetDatabaseText(20, 0, "Base");
  SetDatabaseText(20, 2, "");
  EXPECT_EQ("<br />\r\n<b class=\"Global0\">Base</b><br />\r\n<a>0 - Globals</a><br />\r\n"
            "<br />\r\n<b class=\"Global0\">Expansion 1</b><br />\r\n"
            "<br />\r\n<b class=\"Global0\">Expansion 2</b><br />\r\n<a>2 - ash</a><br />\r\n</nobr>",
            Menu(ExportPage()));
  EXPECT_EQ(nullptr, ExpansionName(inv(), 1));
}

TEST_F(ZoneReportsTest, GlobalsSectionListsOnlySourcesWithModels) {
  const std::string noGlobals =
      "<span id=\"Zone0\" class=\"ScriptHide\" style=\"display:inline\">\r\n\r\n<hr>\r\n\r\n"
      "<h3>Globally Available Race Models</h3>\r\n\r\n<ul>\r\n"
      "<li>No global race models found. Rendering limited to local models.</li>\r\n</ul>\r\n<br />\r\n</span>\r\n";
  EXPECT_EQ(noGlobals, Section(ExportPage(), 0));
  AddSource("empty.s3d", 3);
  AddModel(AddSource("local.s3d", 0), "HUM", 1, 1);
  EXPECT_EQ(noGlobals, Section(ExportPage(), 0));

  SetRace(1, "HUM", "HUF", "");
  SetRace(2, "BOM", "", "");
  SetDatabaseText(11, 2, "Bom");
  ModelSource* global = AddSource("globalhuf.s3d", 4);
  ModelDef* huf = AddModel(global, "HUF", 1, 2);
  SetList(huf->textures, {1, 2});
  SetList(huf->faces, {1});
  AddModel(global, "BOM", 2, 3);
  AddModel(global, "XXX", 0, 0);
  EXPECT_EQ("<span id=\"Zone0\" class=\"ScriptHide\" style=\"display:inline\">\r\n\r\n<hr>\r\n\r\n"
            "<h3>Globally Available Race Models</h3>\r\n\r\n<ul>\r\n"
            "<li><b>Source:</b> globalhuf.s3d (<span class=\"Global4\">Loaded when Ostra models disabled</span>)\r\n<ul>\r\n"
            "<li><b class=\"GenF\">HUF</b> - Unknown Female (Race 1, Gender 1) - Textures: <b>00-02</b>, Faces: "
            "<b>00 01</b></li>\r\n"
            "<li><b class=\"GenN\">BOM</b> - Bom (Race 2, Gender 2)</li>\r\n"
            "<li><b>XXX</b> - Unrecognized Race Model</li>\r\n"
            "</ul>\r\n</li>\r\n</ul>\r\n<br />\r\n</span>\r\n",
            Section(ExportPage(), 0));
}

TEST_F(ZoneReportsTest, ZoneSectionsWithoutModels) {
  SetZone(7, "bare", "Bare Zone");
  SetZone(8, "emp", "Empty Source");
  Links(8)->chrSource = AddSource("emp_chr.s3d", 0);
  const std::string page = ExportPage();
  EXPECT_EQ(std::string("<span id=\"Zone7\" class=\"ScriptHide\">\r\n\r\n<hr>\r\n\r\n"
                        "<h3>Zone # 7 - bare - &quot;Bare Zone&quot;</h3>\r\n<p><b>Expansion:</b> 0 - N/A</b>\n") +
                kRuler +
                "00000000000000000000000000000000</pre></p>\r\n"
                "<p><b>Non-Global Race Models Available:</b></p>\r\n\r\n<ul>\r\n" +
                kNoLocalModels + "</ul>\r\n<br />\r\n</span>\r\n",
            Section(page, 7));
  EXPECT_NE(std::string::npos,
            Section(page, 8).find(std::string("<ul>\r\n<li>Inside: <b class=\"Global0\">emp_chr.s3d</b>\r\n<ul>\r\n</ul>\r\n"
                                              "</li>\r\n") +
                                  kNoLocalModels + "</ul>\r\n<br />\r\n</span>\r\n"));
  const std::string ending = "</span>\r\n\r\n</span>\r\n\r\n\r\n</body>\r\n</html>\r\n";
  EXPECT_EQ(ending, page.substr(page.size() - ending.size()));
}

TEST_F(ZoneReportsTest, ZoneSectionDetailsAndModels) {
  SetRace(1, "HUM", "HUF", "");
  SetDatabaseText(11, 1, "Human");
  ZoneRecord* zone = SetZone(9, "qey", "Qeyside", 3);
  zone->stringId = 12;
  zone->flags = 0x80000005u;
  zone->minLevel = 10;
  zone->unknown7 = 0xFFFFFFFFu;
  zone->unknown8 = 3;
  SetListText(12, "Qeyside Harbour");
  ModelSource* own = AddSource("qey_chr.s3d", 0);
  AddModel(own, "HUM", 1, 1);
  ZoneLinks* links = Links(9);
  links->chr2Source = AddSource("qey2_chr.s3d", 0);
  ModelSource* elsewhere = AddSource("elsewhere.s3d", 0);
  ModelDef* unknown = AddModel(elsewhere, "QQQ", 0, 0);
  SetList(unknown->heads, {1});
  links->imports[links->importCount++] = AddModel(elsewhere, "HUF", 1, 2);
  links->imports[links->importCount++] = unknown;
  links->imports[links->importCount++] = AddModel(nullptr, "ORF", 0, 2);
  links->chrSource = own;

  EXPECT_EQ(std::string("<span id=\"Zone9\" class=\"ScriptHide\">\r\n\r\n<hr>\r\n\r\n"
                        "<h3>Zone # 9 - qey - &quot;Qeyside&quot;</h3>\r\n"
                        "<p><b>Zone String Table Name:</b> Qeyside Harbour</b>\r\n"
                        "<p><b>Expansion:</b> 3 - N/A</b>\n"
                        "<p><b>Minimum Level to Enter:</b> 10</p>\r\n<p><b>Unknown7:</b> -1</p>\r\n"
                        "<p><b>Unknown8:</b> 3</p>\r\n") +
                kRuler +
                "10000000000000000000000000000101</pre></p>\r\n"
                "<p><b>Non-Global Race Models Available:</b></p>\r\n\r\n<ul>\r\n"
                "<li>Inside: <b class=\"Global0\">qey_chr.s3d</b>\r\n<ul>\r\n"
                "<li><b class=\"GenM\">HUM</b> - Human Male (Race 1, Gender 0)</li>\r\n</ul>\r\n</li>\r\n"
                "<li>Inside: <b class=\"Global0\">qey2_chr.s3d</b>\r\n<ul>\r\n</ul>\r\n</li>\r\n"
                "<li>Imports via: <b class=\"Global2\">qey_chr.txt</b>\r\n<ul>\r\n"
                "<li><b class=\"GenF\">HUF</b> - Human Female (Race 1, Gender 1), via <span "
                "class=\"Global3\">elsewhere.s3d</span></li>\r\n"
                "<li><b>QQQ</b> (Race Unknown, Gender Unknown), via elsewhere.s3d\r\n - Heads: <b>00 01</b></li>\r\n"
                "<li><b>ORF</b> (Race Unknown, Gender 1), via UnknownSource\r\n</li>\r\n"
                "</ul>\r\n</li>\r\n</ul>\r\n<br />\r\n</span>\r\n",
            Section(ExportPage(), 9));
}

TEST_F(ZoneReportsTest, StringTableNameOnlyWhenItDiffersAndFitsSixteenBits) {
  SetListText(5, "Five");
  SetListText(6, "Same");
  ZoneRecord* zone = SetZone(1, "one", "Same");
  const char* line = "<p><b>Zone String Table Name:</b>";

  zone->stringId = 6;  // same text as the zone name
  EXPECT_EQ(std::string::npos, Section(ExportPage(), 1).find(line));
  zone->stringId = 0x10005;  // would be 5 if cut to 16 bits
  EXPECT_EQ(std::string::npos, Section(ExportPage(), 1).find(line));
  zone->stringId = 5;
  EXPECT_NE(std::string::npos, Section(ExportPage(), 1).find("<p><b>Zone String Table Name:</b> Five</b>\r\n"));
  zone->zoneName = nullptr;
  zone->stringId = 6;  // an absent name always differs
  EXPECT_NE(std::string::npos, Section(ExportPage(), 1).find("<p><b>Zone String Table Name:</b> Same</b>\r\n"));
}

TEST_F(ZoneReportsTest, UnwritableOutputFailsAndLogs) {
  SetZone(1, "one", "One");
  EXPECT_EQ(ResultCode::kFailed, ExportZoneReports(io(), inv(), (OutputPath() + "/missing/dir").c_str()));
  ASSERT_EQ(1u, logLines_.size());
  EXPECT_EQ("FAILURE: Could not write zone information to output file: TST_OBZoneInfo_DB.txt", logLines_[0].second);

  logLines_.clear();
  std::filesystem::create_directory(OutputPath() + "/TST_OBZones.htm");
  EXPECT_EQ(ResultCode::kFailed, ExportZoneReports(io(), inv(), OutputPath().c_str()));
  ASSERT_EQ(2u, logLines_.size());
  EXPECT_EQ("FAILURE: Could not write formatted zone information to output file: TST_OBZones.htm", logLines_[1].second);
  EXPECT_NE(std::string::npos, ReadOutput("TST_OBZoneInfo_DB.txt").find("1\tone\tOne\t"));
}

}  // namespace
}  // namespace zira::testing
