#include "reports/race_reports.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "reports/report_fixture.h"
#include "reports/zone_reports.h"

namespace zira::testing {
namespace {

class RaceReportsTest : public ReportTest {
 protected:
  std::string ExportPage() {
    EXPECT_EQ(ResultCode::kOk, ExportRaceReports(io(), inv(), OutputPath().c_str()));
    return ReadOutput("TST_OBRaces.htm");
  }
  // The availability list of one race section.
  static std::string Availability(const std::string& page, int raceId) {
    const std::string section = Between(page, "<span id=\"Race" + std::to_string(raceId) + "\"", "</span>\r\n");
    return Between(section, "<p><b>Model availability:</b></p>\r\n\r\n<ul>\r\n", "</ul>\r\n</span>\r\n");
  }
  static std::string Wrapped(const std::string& list) {
    return "<p><b>Model availability:</b></p>\r\n\r\n<ul>\r\n" + list + "</ul>\r\n</span>\r\n";
  }
};

TEST_F(RaceReportsTest, CodeListAndSectionsWithoutSources) {
  SetRace(1, "HUM", "HUF", "");
  SetDatabaseText(11, 1, "Human");
  SetDatabaseText(12, 1, "Humans");
  SetDatabaseText(8, 1, "Tall folk.");
  SetRace(50, "", "", "ELN");  // codes, no name
  SetDatabaseText(8, 50, "");  // present but empty
  SetRace(70, "", "", "");     // only a plural
  SetDatabaseText(12, 70, "Sevens");
  SetDatabaseText(11, 60, "Ghost");  // row 60 never filled
  SetRace(90, "OUT", "", "");        // above the highest race id
  inv().client.maxRaceId = 70;
  inv().client.races[0].code[0] = Own("NUL");

  const std::string page = ExportPage();
  EXPECT_EQ("RaceID\tRaceName\tModelCode_M\tModelCode_F\tModelCode_N\r\n1\tHuman\tHUM\tHUF\t\r\n50\t\t\t\tELN\r\n",
            ReadOutput("TST_OBRaces_ModelCodes_DB.txt"));

  EXPECT_NE(std::string::npos,
            page.find("</head>\r\n<body>\r\n\r\n<span class=\"FrameLeft ScriptShow\">\r\n\r\n<nobr onclick=\"ShowRace(event);\" "
                      "onmouseover=\"OverRace();\" onmouseout=\"OutRace();\">\r\n<p style=\"cursor:default\"><b>Choose "
                      "Race:</b></p>\r\n<b><a id=\"HideShow\">Show All</a></b><br />\r\n<a>1 - Human (P)</a><br />\r\n<a>50 - "
                      "Unknown Race</a><br />\r\n<a>70 - Unknown Race</a><br />\r\n</nobr>\r\n\r\n</span>\r\n<span "
                      "class=\"FrameRight\">\r\n\r\n<span id=\"Race1\""));
  const std::string none = "None! No model sources found!\r\n";
  EXPECT_EQ(
      "<span id=\"Race1\" class=\"ScriptHide\" style=\"display:inline\">\r\n\r\n<hr>\r\n<h3>Race # 1 - Human, Plural "
      "'Humans' (Playable)</h3>\r\n\r\n<p><b>Character Creation Description:</b></p>\r\n\r\n<p>Tall folk.</p>\r\n\r\n"
      "<p><b>Model Codes:</b></p>\r\n<ul>\r\n<li>Male = <b class=\"GenM\">HUM</b></li>\r\n<li>Female = <b "
      "class=\"GenF\">HUF</b></li>\r\n<li>Neutral = <b class=\"GenN\"></b>N/A</b></b></li>\r\n</ul>\r\n" +
          Wrapped(none),
      Between(page, "<span id=\"Race1\"", "</ul>\r\n</span>\r\n"));
  EXPECT_EQ(
      "<span id=\"Race50\" class=\"ScriptHide\">\r\n\r\n<hr>\r\n<h3>Race # 50 - N/A, Plural 'N/A'</h3>\r\n\r\n"
      "<p><b>Character Creation Description:</b></p>\r\n\r\n<p></p>\r\n\r\n<p><b>Model Codes:</b></p>\r\n<ul>\r\n<li>Male "
      "= <b class=\"GenM\"></b>N/A</b></b></li>\r\n<li>Female = <b class=\"GenF\"></b>N/A</b></b></li>\r\n<li>Neutral = "
      "<b class=\"GenN\">ELN</b></li>\r\n</ul>\r\n" +
          Wrapped(none),
      Between(page, "<span id=\"Race50\"", "</ul>\r\n</span>\r\n"));
  EXPECT_NE(std::string::npos, page.find("<h3>Race # 70 - N/A, Plural 'Sevens'</h3>\r\n\r\n<p><b>Model Codes:</b>"));
  EXPECT_EQ(std::string::npos, page.find("Race60"));
  EXPECT_EQ(std::string::npos, page.find("Race90"));
  const std::string ending = "</ul>\r\n</span>\r\n\r\n</span>\r\n\r\n</body>\r\n</html>\r\n";
  EXPECT_EQ(ending, page.substr(page.size() - ending.size()));

  ASSERT_EQ(2u, logLines_.size());
  EXPECT_EQ("  Listing OBRace model codes in TST_OBRaces_ModelCodes_DB.txt", logLines_[0].second);
  EXPECT_EQ("  Exporting OBRace information to TST_OBRaces.htm", logLines_[1].second);
}

TEST_F(RaceReportsTest, WithoutRaceOneNoSectionOpensVisible) {
  SetRace(2, "BOM", "", "");
  const std::string page = ExportPage();
  EXPECT_NE(std::string::npos, page.find("<span id=\"Race2\" class=\"ScriptHide\">\r\n\r\n<hr>\r\n"));
  EXPECT_EQ(std::string::npos, page.find("id=\"Race1\""));
  EXPECT_EQ(std::string::npos, page.find("class=\"ScriptHide\" style=\"display:inline\""));
}

TEST_F(RaceReportsTest, AvailabilityLines) {
  SetRace(100, "ABM", "ABF", "");
  SetDatabaseText(11, 100, "Abby");
  SetRace(101, "", "", "SOL");
  SetDatabaseText(11, 101, "Solo");
  SetRace(102, "TWO", "", "");
  SetRace(103, "NON", "", "");

  ModelSource* local = AddSource("abz_chr.s3d", 0);
  ModelDef* abm = AddModel(local, "ABM", 100, 1);
  AddModel(local, "ABF", 100, 2);
  ModelSource* global = AddSource("global.s3d", 2);
  SetList(AddModel(global, "ABM", 100, 1)->textures, {1});
  AddModel(AddSource("lone.s3d", 0), "ABF", 100, 2);
  AddModel(AddSource("other.s3d", 0), "QQQ", 0, 0);
  SetList(AddModel(AddSource("sol.s3d", 0), "SOL", 101, 3)->heads, {1, 2});
  AddModel(AddSource("twoa.s3d", 0), "TWO", 102, 1);
  AddModel(AddSource("twob.s3d", 0), "TWO", 102, 1);
  AddModel(AddSource("odd.s3d", 0), "NOX", 103, 1);  // carries the race, not its code
  ModelSource* dup = AddSource("dup_chr.s3d", 0);
  AddModel(dup, "ABM", 100, 1);

  SetZone(10, "abz", "Abzone");
  Links(10)->chrSource = local;
  SetZone(20, "imp", "Importer");
  ZoneLinks* importer = Links(20);
  importer->imports[importer->importCount++] = abm;
  // Its own source holds ABM, so the imported ABM does not count here.
  SetZone(30, "dup", "Duplex");
  ZoneLinks* both = Links(30);
  both->chr2Source = dup;
  both->imports[both->importCount++] = abm;

  const std::string page = ExportPage();
  EXPECT_NE(std::string::npos, page.find("<a>100 - Abby (G)</a><br />\r\n<a>101 - Solo</a><br />\r\n<a>102 - Unknown Race</a>"));
  EXPECT_EQ(Wrapped(
                "<li>Via Source: abz_chr.s3d<br />\r\n<ul>\r\n"
                "<li>Zone # 10 - <b>Abzone</b> (<b class=\"Global3\">abz</b>), <span class=\"Global0\">Local</span></li>\r\n"
                "<li>Zone # 20 - <b>Importer</b> (<b class=\"Global3\">imp</b>), <span class=\"Global4\">Imported</span> - "
                "<b class=\"GenM\">ABM</b></li>\r\n"
                "</ul>\r\n</li>\r\n"
                "<li>Via Source: global.s3d (<span class=\"Global2\">Loaded via GlobalLoad.txt</span>)<br />\r\n"
                "- Model <b class=\"GenM\">ABM</b> - Textures: <b>00 01</b><br />\r\n"
                "<ul>\r\n<li><b>All Zones</b> (<b class=\"Global3\">Global</b>)</li></ul>\r\n</li>\r\n"
                "<li>Via Source: lone.s3d<br />\r\n- Model <b class=\"GenF\">ABF</b><br />\r\n"
                "<ul>\r\n<li>No zones found using this source.</li>\r\n</ul>\r\n</li>\r\n"
                "<li>Via Source: dup_chr.s3d<br />\r\n- Model <b class=\"GenM\">ABM</b><br />\r\n<ul>\r\n"
                "<li>Zone # 30 - <b>Duplex</b> (<b class=\"Global3\">dup</b>), <span class=\"Global0\">Local</span></li>\r\n"
                "</ul>\r\n</li>\r\n"),
            Availability(page, 100));
  // One code with variations: the bare summary line.
  EXPECT_EQ(Wrapped("<li>Via Source: sol.s3d<br />\r\n - Heads: <b>00-02</b><br />\r\n<ul>\r\n"
                    "<li>No zones found using this source.</li>\r\n</ul>\r\n</li>\r\n"),
            Availability(page, 101));
  EXPECT_EQ(Wrapped("<li>Via Source: twoa.s3d<br />\r\n<ul>\r\n<li>No zones found using this source.</li>\r\n</ul>\r\n</li>\r\n"
                    "<li>Via Source: twob.s3d<br />\r\n<ul>\r\n<li>No zones found using this source.</li>\r\n</ul>\r\n</li>\r\n"
                    "No zones found using this race.\r\n"),
            Availability(page, 102));
  EXPECT_EQ(Wrapped("<li>Via Source: odd.s3d<br />\r\n<ul>\r\n</ul>\r\n</li>\r\nNone! No model sources found!\r\n"),
            Availability(page, 103));
}

TEST_F(RaceReportsTest, AvailabilityHelpers) {
  SetRace(100, "ABM", "ABF", "");
  ModelSource* local = AddSource("abz_chr.s3d", 0);
  ModelDef* abf = AddModel(local, "ABF", 0, 0);
  EXPECT_TRUE(SourceHoldsRace(inv(), *local, 100));
  EXPECT_FALSE(SourceHoldsRace(inv(), *local, 101));
  EXPECT_FALSE(IsRaceGloballyAvailable(inv(), 100));
  ModelSource* global = AddSource("abf.s3d", 3);
  AddModel(global, "abf", 0, 0);  // codes compare with their case
  EXPECT_FALSE(IsRaceGloballyAvailable(inv(), 100));
  AddModel(global, "ABF", 0, 0);
  EXPECT_TRUE(IsRaceGloballyAvailable(inv(), 100));
  EXPECT_FALSE(IsRaceGloballyAvailable(inv(), 0));
  EXPECT_FALSE(IsRaceGloballyAvailable(inv(), 101));

  SetZone(4, "abz", "");
  ZoneLinks* zone = Links(4);
  EXPECT_EQ(nullptr, ZoneFindRaceModel(inv(), *zone, 100, Gender::kFemale));
  zone->imports[zone->importCount++] = global->models[1];
  EXPECT_EQ(global->models[1], ZoneFindRaceModel(inv(), *zone, 100, Gender::kFemale));
  EXPECT_EQ(0, global->models[1]->raceId);  // an import hit records nothing
  zone->chr2Source = local;
  EXPECT_EQ(abf, ZoneFindRaceModel(inv(), *zone, 100, Gender::kFemale));
  EXPECT_EQ(0, abf->raceId);  // a lookup records nothing
  EXPECT_EQ(nullptr, ZoneFindRaceModel(inv(), *zone, 100, Gender::kNeutral));
  EXPECT_EQ(nullptr, ZoneFindRaceModel(inv(), *zone, 100, Gender{4}));
  EXPECT_EQ(nullptr, ZoneFindRaceModel(inv(), *zone, 101, Gender::kFemale));
}

TEST_F(RaceReportsTest, MarksRecordedHereArePrintedOnTheZonePage) {
  SetRace(100, "ABM", "ABF", "");
  SetDatabaseText(11, 100, "Abby");
  ModelSource* local = AddSource("abz_chr.s3d", 0);
  ModelDef* male = AddModel(local, "ABM", 0, 0);  // not decoded when added
  SetZone(10, "abz", "Abzone");
  Links(10)->chrSource = local;

  ASSERT_EQ(ResultCode::kOk, ExportZoneReports(io(), inv(), OutputPath().c_str()));
  EXPECT_NE(std::string::npos, ReadOutput("TST_OBZones.htm").find("<li><b>ABM</b> - Unrecognized Race Model</li>\r\n"));

  // Writing the race page leaves the models as they are; the marks are a step of their own.
  ASSERT_EQ(ResultCode::kOk, ExportRaceReports(io(), inv(), OutputPath().c_str()));
  EXPECT_EQ(0, male->raceId);
  RecordRaceMarks(inv());
  EXPECT_EQ(100, male->raceId);
  EXPECT_EQ(Gender::kMale, male->gender);
  ASSERT_EQ(ResultCode::kOk, ExportZoneReports(io(), inv(), OutputPath().c_str()));
  EXPECT_NE(std::string::npos,
            ReadOutput("TST_OBZones.htm").find("<li>Inside: <b class=\"Global0\">abz_chr.s3d</b>\r\n<ul>\r\n"
                                               "<li><b class=\"GenM\">ABM</b> - Abby Male (Race 100, Gender 0)</li>\r\n"
                                               "</ul>\r\n</li>\r\n"));
}

TEST_F(RaceReportsTest, UnwritableOutputFailsAndLogs) {
  SetRace(1, "HUM", "", "");
  const std::string missing = OutputPath() + "/no/such/dir";
  EXPECT_EQ(ResultCode::kFailed, ExportRaceReports(io(), inv(), missing.c_str()));
  ASSERT_EQ(1u, logLines_.size());
  EXPECT_EQ("FAILURE: Could not write race codes to output file: TST_OBRaces_ModelCodes_DB.txt", logLines_[0].second);

  // A path longer than 260 bytes cannot be joined.
  EXPECT_EQ(ResultCode::kFailed, ExportRaceReports(io(), inv(), std::string(250, 'x').c_str()));

  logLines_.clear();
  std::filesystem::create_directory(OutputPath() + "/TST_OBRaces.htm");
  EXPECT_EQ(ResultCode::kFailed, ExportRaceReports(io(), inv(), OutputPath().c_str()));
  ASSERT_EQ(2u, logLines_.size());
  EXPECT_EQ("FAILURE: Could not write race information to output file: TST_OBRaces.htm", logLines_[1].second);
  EXPECT_EQ("RaceID\tRaceName\tModelCode_M\tModelCode_F\tModelCode_N\r\n1\t\tHUM\t\t\r\n",
            ReadOutput("TST_OBRaces_ModelCodes_DB.txt"));
  // The run goes on: the zone reports still write.
  EXPECT_EQ(ResultCode::kOk, ExportZoneReports(io(), inv(), OutputPath().c_str()));
}

}  // namespace
}  // namespace zira::testing
