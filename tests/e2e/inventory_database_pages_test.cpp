// The database of each sample edition against the pages of the same run:
// every availability line of the race page and every model line of the zone
// page has its rows, and no row lacks its line. The pages are parsed here,
// independently of the code that writes them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/inventory_run.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using Rows = std::vector<std::string>;
using testing::QueryRows;

Rows Lines(const std::string& text) {
  Rows lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

Rows Sorted(Rows rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Availability rows as "race|gender|source|global|zone|reach" (zone empty for all zones).
Rows AvailabilityOfRacePage(const std::string& page) {
  static const std::regex kSection(R"re(<span id="Race(\d+)")re");
  static const std::regex kCode(R"re(<li>(Male|Female|Neutral) = <b class="Gen(.)">([^<]*)</b>)re");
  static const std::regex kSource(R"re(^<li>Via Source: ([^<( ]+)( \(<span)?)re");
  static const std::regex kModel(R"re(^- Model <b class="Gen(.)">)re");
  static const std::regex kZone(
      R"re(^<li>Zone # (\d+) - .*, <span class="Global[04]">(Local|Imported)</span>(.*)</li>$)re");
  static const std::regex kListed(R"re(<b class="Gen(.)">)re");
  Rows rows;
  std::string race, source, global;
  std::set<char> coded, found;
  // Without model lines the source has a model for every code (a single
  // code's model may show its summary bare, without a model line).
  auto foundGenders = [&]() { return found.empty() ? coded : found; };
  for (const std::string& line : Lines(page)) {
    std::smatch m;
    if (std::regex_search(line, m, kSection)) {
      race = m[1];
      coded.clear();
    } else if (std::regex_search(line, m, kCode)) {
      if (!m[3].str().empty()) coded.insert(m[2].str()[0]);
    } else if (std::regex_search(line, m, kSource)) {
      source = m[1];
      global = m[2].matched ? "1" : "0";
      found.clear();
    } else if (std::regex_search(line, m, kModel)) {
      found.insert(m[1].str()[0]);
    } else if (line.find("<li><b>All Zones</b>") == 0) {
      for (char g : foundGenders()) rows.push_back(race + "|" + g + "|" + source + "|" + global + "||global");
    } else if (std::regex_search(line, m, kZone)) {
      std::set<char> genders = foundGenders();
      const std::string listed = m[3];
      if (!listed.empty()) {
        genders.clear();
        for (auto it = std::sregex_iterator(listed.begin(), listed.end(), kListed); it != std::sregex_iterator(); ++it) {
          genders.insert((*it)[1].str()[0]);
        }
      }
      const std::string reach = m[2] == "Local" ? "local" : "imported";
      for (char g : genders) rows.push_back(race + "|" + g + "|" + source + "|" + global + "|" + m[1].str() + "|" + reach);
    }
  }
  return rows;
}

// Model lines as "group|code|race|gender|summary" in page order; race and
// gender are empty for an unrecognized model, whose line has no summary.
Rows ModelLinesOfZonePage(const std::string& page) {
  static const std::regex kZoneSection(R"re(^<span id="Zone(\d+)")re");
  static const std::regex kGlobalSource(R"re(^<li><b>Source:</b> (\S+) \()re");
  static const std::regex kInside(R"re(^<li>Inside: <b class="Global0">([^<]+)</b>$)re");
  static const std::regex kImports(R"re(^<li>Imports via: )re");
  static const std::regex kModel(R"re(^<li><b class="Gen(.)">([^<]+)</b> - .* \(Race (\d+), Gender \d\)(.*)</li>$)re");
  static const std::regex kUnrecognized(R"re(^<li><b>([^<]+)</b> - Unrecognized Race Model</li>$)re");
  static const std::regex kImport(
      R"re(^<li><b class="Gen(.)">([^<]+)</b> - .* \(Race (\d+), Gender \d\), via <span class="Global3">([^<]+)</span>(.*)</li>$)re");
  static const std::regex kUnknownImport(R"re(^<li><b>([^<]+)</b> \(Race (\d+|Unknown), Gender [^)]*\), via (.*)$)re");
  Rows rows;
  std::string group, zone;
  bool globals = false;
  bool seenGlobals = false;
  const Rows lines = Lines(page);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::smatch m;
    if (std::regex_search(line, m, kZoneSection)) {
      // The globals section comes first and shares the id of zone 0.
      globals = !seenGlobals;
      seenGlobals = true;
      zone = m[1];
    } else if (globals && std::regex_search(line, m, kGlobalSource)) {
      group = "global " + m[1].str();
    } else if (std::regex_search(line, m, kInside)) {
      group = "zone " + zone + " inside " + m[1].str();
    } else if (std::regex_search(line, m, kImports)) {
      group = "zone " + zone + " imports";
    } else if (std::regex_search(line, m, kImport)) {
      rows.push_back(group + "|" + m[2].str() + "|" + m[3].str() + "|" + m[1].str() + "|" + m[4].str() + "|" + m[5].str());
    } else if (std::regex_search(line, m, kUnknownImport) && i + 1 < lines.size()) {
      // The summary of such a line follows on the next.
      const std::string& next = lines[++i];
      const std::string summary = next.substr(0, next.size() - 5);
      const std::string raceId = m[2] == "Unknown" ? "" : m[2].str();
      rows.push_back(group + "|" + m[1].str() + "|" + raceId + "||" + m[3].str() + "|" + summary);
    } else if (std::regex_search(line, m, kModel)) {
      rows.push_back(group + "|" + m[2].str() + "|" + m[3].str() + "|" + m[1].str() + "|" + m[4].str());
    } else if (std::regex_search(line, m, kUnrecognized)) {
      rows.push_back(group + "|" + m[1].str() + "|||");
    }
  }
  return rows;
}

// The same from the database, in the order the zone page lists them.
Rows ModelLinesOfDatabase(sqlite3* db) {
  // A recognized model has race and gender; an unrecognized one shows neither, nor its summary.
  const std::string fields =
      "m.code, CASE WHEN m.gender IS NULL THEN '' ELSE m.race_id END, coalesce(m.gender, ''), "
      "CASE WHEN m.race_id IS NULL OR m.gender IS NULL THEN '' ELSE m.variations_html END";
  Rows rows = QueryRows(db, "SELECT 'global ' || s.name, " + fields +
                            " FROM models m JOIN sources s USING (source_id) WHERE s.kind <> 0"
                            " ORDER BY s.source_id, m.slot");
  const Rows zones = QueryRows(db, "SELECT zone_id FROM zones ORDER BY zone_id");
  for (const std::string& zone : zones) {
    for (const char* column : {"chr_source_id", "chr2_source_id"}) {
      const Rows inside = QueryRows(db, "SELECT 'zone " + zone + " inside ' || s.name, " + fields +
                                        " FROM zones z JOIN sources s ON s.source_id = z." + column +
                                        " JOIN models m ON m.source_id = s.source_id WHERE z.zone_id = " + zone +
                                        " ORDER BY m.slot");
      rows.insert(rows.end(), inside.begin(), inside.end());
    }
    const Rows imports = QueryRows(
        db, "SELECT 'zone " + zone + " imports', m.code, coalesce(m.race_id, ''), coalesce(m.gender, ''), s.name, "
            "m.variations_html FROM zone_imports i JOIN models m USING (model_id) JOIN sources s "
            "ON s.source_id = m.source_id WHERE i.zone_id = " + zone + " ORDER BY i.position");
    rows.insert(rows.end(), imports.begin(), imports.end());
  }
  return rows;
}

class InventoryDatabasePagesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(InventoryDatabasePagesTest, EveryLineOfThePagesHasItsRowsAndNoRowLacksItsLine) {
  const std::string edition = GetParam();
  const unsigned id = edition == "Cobalt" ? 1 : edition == "Lirael" ? 2 : 3;
  testing::TempDir dir;
  const std::string database = dir / "inventory.db";
  ASSERT_EQ(testing::WriteSampleDatabase(dir.Path(), id, database), 0);
  const std::string racePage = testing::ReadTextFile(dir / ("ZIRA/" + edition + "_OBRaces.htm"));
  const std::string zonePage = testing::ReadTextFile(dir / ("ZIRA/" + edition + "_OBZones.htm"));

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  const Rows expected = Sorted(AvailabilityOfRacePage(racePage));
  ASSERT_GT(expected.size(), 20u);
  EXPECT_EQ(Sorted(QueryRows(db,
                         "SELECT a.race_id, a.gender, s.name, s.kind <> 0, coalesce(a.zone_id, ''), a.reach "
                         "FROM availability a JOIN sources s USING (source_id)")),
            expected);
  // Each row names the model of its race's code from its own source.
  EXPECT_EQ(QueryRows(db,
                  "SELECT count(*) FROM availability a JOIN models m USING (model_id) JOIN races r USING (race_id) "
                  "WHERE m.source_id <> a.source_id OR m.code IS NOT "
                  "CASE a.gender WHEN 'M' THEN r.code_m WHEN 'F' THEN r.code_f ELSE r.code_n END"),
            Rows{"0"});

  const Rows modelLines = ModelLinesOfZonePage(zonePage);
  ASSERT_GT(modelLines.size(), 20u);
  EXPECT_EQ(ModelLinesOfDatabase(db), modelLines);
  EXPECT_EQ(QueryRows(db, "PRAGMA foreign_key_check"), Rows{});
  sqlite3_close(db);
}

INSTANTIATE_TEST_SUITE_P(Editions, InventoryDatabasePagesTest, ::testing::Values("Cobalt", "Lirael", "MK2"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

}  // namespace
}  // namespace zira
