#include "app/compare.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

#include "reports/inventory_database.h"

namespace zira {

namespace {

constexpr long kOldestComparedVersion = 1;

// Both databases are attached read-only to one in-memory connection, so every
// group of facts is one query over old (o) and new (n).
constexpr const char* kViews = R"sql(
CREATE TEMP VIEW o_sources AS SELECT source_id, kind, name,
  name || CASE WHEN kind <> 0 THEN ' (global)' WHEN orphan <> 0 THEN ' (orphan)' ELSE '' END AS source FROM o.sources;
CREATE TEMP VIEW n_sources AS SELECT source_id, kind, name,
  name || CASE WHEN kind <> 0 THEN ' (global)' WHEN orphan <> 0 THEN ' (orphan)' ELSE '' END AS source FROM n.sources;
CREATE TEMP VIEW o_models AS SELECT m.model_id, s.source, m.code FROM o.models m JOIN o_sources s USING (source_id);
CREATE TEMP VIEW n_models AS SELECT m.model_id, s.source, m.code FROM n.models m JOIN n_sources s USING (source_id);
CREATE TEMP VIEW o_variations AS
  SELECT m.source, m.code, v.kind, v.number FROM o.variations v JOIN o_models m USING (model_id);
CREATE TEMP VIEW n_variations AS
  SELECT m.source, m.code, v.kind, v.number FROM n.variations v JOIN n_models m USING (model_id);
CREATE TEMP VIEW o_zones AS SELECT zone_id, 'zone ' || zone_id || coalesce(' ' || nick, '') AS zone FROM o.zones;
CREATE TEMP VIEW n_zones AS SELECT zone_id, 'zone ' || zone_id || coalesce(' ' || nick, '') AS zone FROM n.zones;
CREATE TEMP VIEW o_imports AS
  SELECT i.zone_id, m.source, m.code FROM o.zone_imports i JOIN o_models m USING (model_id);
CREATE TEMP VIEW n_imports AS
  SELECT i.zone_id, m.source, m.code FROM n.zone_imports i JOIN n_models m USING (model_id);
CREATE TEMP VIEW o_availability AS SELECT a.zone_id, a.race_id, a.gender, s.source, s.name, a.reach
  FROM o.availability a JOIN o_sources s USING (source_id);
CREATE TEMP VIEW n_availability AS SELECT a.zone_id, a.race_id, a.gender, s.source, s.name, a.reach
  FROM n.availability a JOIN n_sources s USING (source_id);
)sql";

// One query per group of facts, in the order they are printed; each yields
// its lines already sorted. {A} and {B} stand for the two sides: o and n for
// what was added or gained, n and o for what was removed or lost.
constexpr const char* kClientChanged = R"sql(
SELECT printf('client changed: %s, %d bytes -> %s, %d bytes', a.edition, a.client_size, b.edition, b.client_size)
  FROM o.run a, n.run b WHERE a.edition IS NOT b.edition OR a.client_size IS NOT b.client_size)sql";

constexpr const char* kRacesAdded = R"sql(
SELECT printf('race %s: %d %s', '{WORD}', race_id, coalesce(name, '(no name)')) FROM {B}.races
  WHERE race_id NOT IN (SELECT race_id FROM {A}.races) ORDER BY race_id)sql";

constexpr const char* kRacesRenamed = R"sql(
SELECT printf('race renamed: %d %s -> %s', race_id, coalesce(a.name, '(no name)'), coalesce(b.name, '(no name)'))
  FROM o.races a JOIN n.races b USING (race_id) WHERE a.name IS NOT b.name ORDER BY race_id)sql";

constexpr const char* kRaceCodesChanged = R"sql(
SELECT line FROM (
  SELECT race_id, 1 AS g, printf('race code changed: %d M %s -> %s', race_id, coalesce(a.code_m, '(none)'),
    coalesce(b.code_m, '(none)')) AS line FROM o.races a JOIN n.races b USING (race_id) WHERE a.code_m IS NOT b.code_m
  UNION ALL
  SELECT race_id, 2, printf('race code changed: %d F %s -> %s', race_id, coalesce(a.code_f, '(none)'),
    coalesce(b.code_f, '(none)')) FROM o.races a JOIN n.races b USING (race_id) WHERE a.code_f IS NOT b.code_f
  UNION ALL
  SELECT race_id, 3, printf('race code changed: %d N %s -> %s', race_id, coalesce(a.code_n, '(none)'),
    coalesce(b.code_n, '(none)')) FROM o.races a JOIN n.races b USING (race_id) WHERE a.code_n IS NOT b.code_n)
ORDER BY race_id, g)sql";

constexpr const char* kSourcesAdded = R"sql(
SELECT printf('source %s: %s', '{WORD}', source)
  FROM (SELECT source FROM {B}_sources EXCEPT SELECT source FROM {A}_sources) ORDER BY source)sql";

constexpr const char* kSourceKindsChanged = R"sql(
SELECT printf('source kind changed: %s %d -> %d', source, a.kind, b.kind)
  FROM o_sources a JOIN n_sources b USING (source) WHERE a.kind <> b.kind ORDER BY source)sql";

constexpr const char* kModelsAdded = R"sql(
SELECT printf('model %s: %s %s', '{WORD}', source, code)
  FROM (SELECT source, code FROM {B}_models EXCEPT SELECT source, code FROM {A}_models) ORDER BY source, code)sql";

// Only for models on both sides: a model added or removed says it all.
constexpr const char* kVariationsGained = R"sql(
SELECT printf('variation %s: %s %s %s %d', '{WORD}', source, code, kind, number)
  FROM (SELECT * FROM {B}_variations EXCEPT SELECT * FROM {A}_variations) d
  WHERE EXISTS (SELECT 1 FROM {A}_models m WHERE m.source = d.source AND m.code = d.code)
  ORDER BY source, code, kind, number)sql";

constexpr const char* kImportsAdded = R"sql(
SELECT printf('import %s: %s: %s from %s', '{WORD}',
    coalesce((SELECT zone FROM {B}_zones z WHERE z.zone_id = d.zone_id), 'zone ' || d.zone_id), code, source)
  FROM (SELECT zone_id, source, code FROM {B}_imports EXCEPT SELECT zone_id, source, code FROM {A}_imports) d
  ORDER BY zone_id, code, source)sql";

// All zones are reached from global packages; a zone from its own or an imported one.
constexpr const char* kAvailabilityGained = R"sql(
SELECT printf('availability %s: %s: race %d %s via %s', '{WORD}',
    CASE WHEN d.zone_id IS NULL THEN 'all zones'
      ELSE coalesce((SELECT zone FROM {B}_zones z WHERE z.zone_id = d.zone_id), 'zone ' || d.zone_id) END,
    race_id, gender, name || CASE WHEN d.zone_id IS NULL THEN '' ELSE ', ' || reach END)
  FROM (SELECT zone_id, race_id, gender, source, name, reach FROM {B}_availability
        EXCEPT SELECT zone_id, race_id, gender, source, name, reach FROM {A}_availability) d
  ORDER BY zone_id IS NOT NULL, zone_id, race_id, instr('MFN', gender), source, reach)sql";

// A query of a pair, for one side: {A} the side it is compared against, {B} the side whose rows it lists.
std::string ForSide(const char* query, bool added, const char* addedWord, const char* removedWord) {
  std::string text = query;
  const auto replace = [&text](const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  };
  replace("{WORD}", added ? addedWord : removedWord);
  replace("{A}", added ? "o" : "n");
  replace("{B}", added ? "n" : "o");
  return text;
}

// file: URI of a path, opened read-only: the path's bytes as they are,
// with everything a URI gives a meaning to escaped.
std::string ReadOnlyUri(const std::string& path) {
  std::string uri = "file:";
  for (const unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '.' || c == '-' || c == '_' || c == '~';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof(escaped), "%%%02X", c);
      uri += escaped;
    }
  }
  return uri + "?mode=ro";
}

class Comparison {
 public:
  ~Comparison() {
    if (db_) sqlite3_close(db_);
  }

  bool Open(const std::string& oldPath, const std::string& newPath, std::string* error) {
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
      *error = "cannot open a database connection";
      return false;
    }
    return Attach(oldPath, "o", error) && Attach(newPath, "n", error) && Exec(kViews, error);
  }

  // Appends the lines of a query; false on a failure.
  bool Lines(const std::string& sql, std::string* report, std::string* error) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      *error = sqlite3_errmsg(db_);
      return false;
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      const unsigned char* line = sqlite3_column_text(statement, 0);
      if (line) *report += reinterpret_cast<const char*>(line);
      *report += '\n';
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE) *error = sqlite3_errmsg(db_);
    return step == SQLITE_DONE;
  }

 private:
  bool Exec(const char* sql, std::string* error) {
    char* message = nullptr;
    const bool ok = sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) *error = message ? message : "query failed";
    sqlite3_free(message);
    return ok;
  }

  // Attaches a database and checks that it is an inventory of this schema version.
  bool Attach(const std::string& path, const char* as, std::string* error) {
    std::string version;
    std::string rows;
    const std::string uri = ReadOnlyUri(path);
    char* quoted = sqlite3_mprintf("ATTACH %Q AS %s", uri.c_str(), as);
    const bool attached = Exec(quoted, error);
    sqlite3_free(quoted);
    if (!attached) {
      *error = path + ": cannot be opened";
      return false;
    }
    if (!Lines(std::string("PRAGMA ") + as + ".user_version", &version, error)) {
      *error = path + ": " + *error;
      return false;
    }
    // Version 2 only added to version 1, and the comparison reads what both hold.
    const long number = std::strtol(version.c_str(), nullptr, 10);
    if (number < kOldestComparedVersion || number > InventorySchemaVersion()) {
      *error = path + ": not an inventory database of schema version " + std::to_string(kOldestComparedVersion) +
               " to " + std::to_string(InventorySchemaVersion()) + " (its version is " +
               version.substr(0, version.size() - 1) + ")";
      return false;
    }
    if (!Lines(std::string("SELECT count(*) FROM ") + as + ".run", &rows, error) || rows != "1\n") {
      *error = path + ": not an inventory database" + (error->empty() ? std::string() : ": " + *error);
      return false;
    }
    return true;
  }

  sqlite3* db_ = nullptr;
};

}  // namespace

int CompareInventories(const std::string& oldPath, const std::string& newPath, std::string* report,
                       std::string* error) {
  report->clear();
  error->clear();
  Comparison comparison;
  if (!comparison.Open(oldPath, newPath, error)) return kCompareTrouble;
  struct Group {
    const char* query;
    const char* addedWord;    // nullptr: a query that compares both sides at once
    const char* removedWord;
  };
  static constexpr Group kGroups[] = {
      {kClientChanged, nullptr, nullptr},      {kRacesAdded, "added", "removed"},
      {kRacesRenamed, nullptr, nullptr},       {kRaceCodesChanged, nullptr, nullptr},
      {kSourcesAdded, "added", "removed"},     {kSourceKindsChanged, nullptr, nullptr},
      {kModelsAdded, "added", "removed"},      {kVariationsGained, "gained", "lost"},
      {kImportsAdded, "added", "removed"},     {kAvailabilityGained, "gained", "lost"},
  };
  for (const Group& group : kGroups) {
    for (const bool added : {true, false}) {
      if (!group.addedWord && !added) continue;
      const std::string sql = group.addedWord ? ForSide(group.query, added, group.addedWord, group.removedWord)
                                              : std::string(group.query);
      if (!comparison.Lines(sql, report, error)) return kCompareTrouble;
    }
  }
  return report->empty() ? kCompareSame : kCompareDiffers;
}

int RunCompareCommand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zira compare OLD.db NEW.db\n");
    return kCompareTrouble;
  }
  std::string report;
  std::string error;
  const int code = CompareInventories(argv[0], argv[1], &report, &error);
  if (code == kCompareTrouble) {
    std::fprintf(stderr, "zira compare: %s\n", error.c_str());
  } else {
    std::fwrite(report.data(), 1, report.size(), stdout);
  }
  return code;
}

}  // namespace zira
