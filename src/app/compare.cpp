#include "app/compare.h"

#include <getopt.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/command_line.h"
#include "common/file_system.h"
#include "reports/inventory_database.h"

namespace zira {

namespace {

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
CREATE TEMP VIEW o_zones AS SELECT zone_id, nick, 'zone ' || zone_id || coalesce(' ' || nick, '') AS zone FROM o.zones;
CREATE TEMP VIEW n_zones AS SELECT zone_id, nick, 'zone ' || zone_id || coalesce(' ' || nick, '') AS zone FROM n.zones;
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
// its facts already sorted: the line for people, then the fields of kTsvHeader.
// {A} and {B} stand for the two sides: o and n for what was added or gained,
// n and o for what was removed or lost.
constexpr const char* kTsvHeader =
    "fact\tchange\tzone_id\tzone_nick\trace_id\trace_name\tgender\tsource\tmodel\tvariation\treach\told\tnew";

constexpr const char* kClientChanged = R"sql(
SELECT printf('client changed: %s -> %s', old, new), 'client', 'changed', NULL, NULL, NULL, NULL, NULL, NULL, NULL,
    NULL, NULL, old, new
  FROM (SELECT printf('%s, %d bytes', a.edition, a.client_size) AS old,
               printf('%s, %d bytes', b.edition, b.client_size) AS new
        FROM o.run a, n.run b WHERE a.edition IS NOT b.edition OR a.client_size IS NOT b.client_size))sql";

constexpr const char* kRacesAdded = R"sql(
SELECT printf('race %s: %d %s', '{WORD}', race_id, coalesce(name, '(no name)')), 'race', '{WORD}', NULL, NULL,
    race_id, name, NULL, NULL, NULL, NULL, NULL, NULL, NULL
  FROM {B}.races WHERE race_id NOT IN (SELECT race_id FROM {A}.races) ORDER BY race_id)sql";

constexpr const char* kRacesRenamed = R"sql(
SELECT printf('race renamed: %d %s -> %s', race_id, coalesce(a.name, '(no name)'), coalesce(b.name, '(no name)')),
    'race', 'renamed', NULL, NULL, race_id, NULL, NULL, NULL, NULL, NULL, NULL, a.name, b.name
  FROM o.races a JOIN n.races b USING (race_id) WHERE a.name IS NOT b.name ORDER BY race_id)sql";

constexpr const char* kRaceCodesChanged = R"sql(
SELECT printf('race code changed: %d%s %s %s -> %s', race_id, coalesce(' ' || name, ''), gender,
    coalesce(old, '(none)'), coalesce(new, '(none)')), 'race', 'code changed', NULL, NULL, race_id, name, gender,
    NULL, NULL, NULL, NULL, old, new
FROM (
  SELECT race_id, coalesce(b.name, a.name) AS name, 1 AS g, 'M' AS gender, a.code_m AS old, b.code_m AS new
    FROM o.races a JOIN n.races b USING (race_id) WHERE a.code_m IS NOT b.code_m
  UNION ALL
  SELECT race_id, coalesce(b.name, a.name), 2, 'F', a.code_f, b.code_f
    FROM o.races a JOIN n.races b USING (race_id) WHERE a.code_f IS NOT b.code_f
  UNION ALL
  SELECT race_id, coalesce(b.name, a.name), 3, 'N', a.code_n, b.code_n
    FROM o.races a JOIN n.races b USING (race_id) WHERE a.code_n IS NOT b.code_n)
ORDER BY race_id, g)sql";

constexpr const char* kSourcesAdded = R"sql(
SELECT printf('source %s: %s', '{WORD}', source), 'source', '{WORD}', NULL, NULL, NULL, NULL, NULL, source, NULL,
    NULL, NULL, NULL, NULL
  FROM (SELECT source FROM {B}_sources EXCEPT SELECT source FROM {A}_sources) ORDER BY source)sql";

constexpr const char* kSourceKindsChanged = R"sql(
SELECT printf('source kind changed: %s %d -> %d', source, a.kind, b.kind), 'source', 'kind changed', NULL, NULL,
    NULL, NULL, NULL, source, NULL, NULL, NULL, a.kind, b.kind
  FROM o_sources a JOIN n_sources b USING (source) WHERE a.kind <> b.kind ORDER BY source)sql";

constexpr const char* kModelsAdded = R"sql(
SELECT printf('model %s: %s %s', '{WORD}', source, code), 'model', '{WORD}', NULL, NULL, NULL, NULL, NULL, source,
    code, NULL, NULL, NULL, NULL
  FROM (SELECT source, code FROM {B}_models EXCEPT SELECT source, code FROM {A}_models) ORDER BY source, code)sql";

// Only for models on both sides: a model added or removed says it all.
constexpr const char* kVariationsGained = R"sql(
SELECT printf('variation %s: %s %s %s %d', '{WORD}', source, code, kind, number), 'variation', '{WORD}', NULL, NULL,
    NULL, NULL, NULL, source, code, kind || ' ' || number, NULL, NULL, NULL
  FROM (SELECT * FROM {B}_variations EXCEPT SELECT * FROM {A}_variations) d
  WHERE EXISTS (SELECT 1 FROM {A}_models m WHERE m.source = d.source AND m.code = d.code)
  ORDER BY source, code, kind, number)sql";

constexpr const char* kImportsAdded = R"sql(
SELECT printf('import %s: %s: %s from %s', '{WORD}', coalesce(z.zone, 'zone ' || d.zone_id), code, source),
    'import', '{WORD}', d.zone_id, z.nick, NULL, NULL, NULL, source, code, NULL, NULL, NULL, NULL
  FROM (SELECT zone_id, source, code FROM {B}_imports EXCEPT SELECT zone_id, source, code FROM {A}_imports) d
  LEFT JOIN {B}_zones z USING (zone_id)
  ORDER BY d.zone_id, code, source)sql";

// All zones are reached from global packages; a zone from its own or an imported one.
constexpr const char* kAvailabilityGained = R"sql(
SELECT printf('availability %s: %s: race %d%s %s via %s', '{WORD}',
    CASE WHEN d.zone_id IS NULL THEN 'all zones' ELSE coalesce(z.zone, 'zone ' || d.zone_id) END,
    d.race_id, coalesce(' ' || r.name, ''), gender,
    d.name || CASE WHEN d.zone_id IS NULL THEN '' ELSE ', ' || reach END),
    'availability', '{WORD}', d.zone_id, z.nick, d.race_id, r.name, gender, source, NULL, NULL, reach, NULL, NULL
  FROM (SELECT zone_id, race_id, gender, source, name, reach FROM {B}_availability
        EXCEPT SELECT zone_id, race_id, gender, source, name, reach FROM {A}_availability) d
  LEFT JOIN {B}_zones z ON z.zone_id = d.zone_id LEFT JOIN {B}.races r ON r.race_id = d.race_id
  ORDER BY d.zone_id IS NOT NULL, d.zone_id, d.race_id, instr('MFN', gender), source, reach)sql";

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

// Puts a stored text into the output with each control byte as \xHH, so that
// a name can neither forge a line or a field nor reach the terminal.
void AppendEscaped(std::string* out, const unsigned char* text) {
  for (const unsigned char* c = text; c != nullptr && *c != '\0'; ++c) {
    if (*c < 0x20 || *c == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", *c);
      *out += escaped;
    } else {
      *out += static_cast<char>(*c);
    }
  }
}

// The tables every query reads; each must be a table of its own, not a view.
constexpr const char* kTablesRead =
    "('run', 'races', 'sources', 'models', 'variations', 'zones', 'zone_imports', 'availability')";
constexpr long long kTablesReadCount = 8;

class Comparison {
 public:
  Comparison(CompareFormat format, long long stepBudget) : format_(format), stepsLeft_(stepBudget) {}
  ~Comparison() {
    if (db_) sqlite3_close(db_);
  }

  bool Open(const std::string& oldPath, const std::string& newPath, std::string* error) {
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
      *error = "cannot open a database connection";
      return false;
    }
    // A stored schema runs no function with side effects, and nothing runs for ever.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    BoundQueries(db_, &stepsLeft_);
    return Attach(oldPath, "o", error) && Attach(newPath, "n", error) && Exec(kViews, error);
  }

  // Appends the facts of a query; false on a failure.
  bool Lines(const std::string& sql, std::string* report, std::string* error) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      *error = Reason();
      return false;
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      if (format_ == CompareFormat::kPlain) {
        AppendEscaped(report, sqlite3_column_text(statement, 0));
      } else {
        for (int column = 1; column < sqlite3_column_count(statement); ++column) {
          if (column > 1) *report += '\t';
          AppendEscaped(report, sqlite3_column_text(statement, column));
        }
      }
      *report += '\n';
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE) *error = Reason();
    return step == SQLITE_DONE;
  }

  // The one number a query yields, or -1.
  long long Number(const std::string& sql) {
    std::string line;
    std::string error;
    const CompareFormat format = format_;
    format_ = CompareFormat::kPlain;
    const bool ok = Lines(sql, &line, &error);
    format_ = format;
    return ok && !line.empty() ? std::strtoll(line.c_str(), nullptr, 10) : -1;
  }

 private:
  std::string Reason() const {
    return stepsLeft_ < 0 ? "the comparison took too long and was stopped" : sqlite3_errmsg(db_);
  }

  bool Exec(const char* sql, std::string* error) {
    char* message = nullptr;
    const bool ok = sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) *error = stepsLeft_ < 0 ? Reason() : message ? message : "query failed";
    sqlite3_free(message);
    return ok;
  }

  // Attaches a database and checks that it is an inventory of this schema version.
  bool Attach(const std::string& path, const char* as, std::string* error) {
    std::string reason;
    if (!IsReadableRegularFile(path, &reason)) {
      *error = path + ": cannot be opened: " + reason;
      return false;
    }
    // Immutable: nothing is locked, made or read beside the file.
    const std::string uri = ReadOnlyFileUri(path) + "&immutable=1";
    char* quoted = sqlite3_mprintf("ATTACH %Q AS %s", uri.c_str(), as);
    const bool attached = Exec(quoted, &reason);
    sqlite3_free(quoted);
    if (!attached) {
      *error = path + ": cannot be opened: " + reason;
      return false;
    }
    if (!HasInventoryMark(db_, as, &reason)) {
      *error = path + ": is not a zira inventory database";
      if (reason != "not a zira inventory database") *error += " (" + reason + ")";
      return false;
    }
    const long long version = Number(std::string("PRAGMA ") + as + ".user_version");
    if (version != InventorySchemaVersion()) {
      *error = path + ": not an inventory database of schema version " + std::to_string(InventorySchemaVersion()) +
               " (its version is " + std::to_string(version) + ")";
      return false;
    }
    const std::string tables = std::string("SELECT count(*) FROM ") + as +
                               ".sqlite_schema WHERE type = 'table' AND sql LIKE 'CREATE TABLE %' AND name IN " +
                               kTablesRead;
    if (Number(tables) != kTablesReadCount) {
      *error = path + ": is not a zira inventory database (a table it should hold is missing or not a table)";
      return false;
    }
    if (Number(std::string("SELECT count(*) FROM ") + as + ".run") != 1) {
      *error = path + ": is not a zira inventory database (its run table does not hold one row)";
      return false;
    }
    return true;
  }

  CompareFormat format_;
  sqlite3* db_ = nullptr;
  long long stepsLeft_ = 0;
};

enum CompareOption { kFormatOption = 1 };

constexpr const char* kCompareHelp =
    "Usage: zira compare [OPTION]... OLD.db NEW.db\n"
    "Print what differs between two inventory databases written by zira --db,\n"
    "one line per fact, grouped by kind of fact and sorted within each group.\n"
    "\n"
    "Options:\n"
    "      --format=FORMAT  plain (the default): lines for people; tsv: a header\n"
    "                       line, then one tab-separated fact per line\n"
    "  -h, --help           display this help and exit\n"
    "  -V, --version        output version information and exit\n"
    "\n"
    "Stored texts are printed with each control byte as \\xHH.\n"
    "\n"
    "Exit status:\n"
    "  0  nothing differs\n"
    "  1  something differs\n"
    "  2  trouble: a file cannot be read or is not a zira inventory database\n";

int CompareUsageError(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "zira compare: %s\n", problem.c_str());
  std::fprintf(stderr, "Try 'zira compare --help' for more information.\n");
  return kCompareTrouble;
}

}  // namespace

int CompareInventories(const std::string& oldPath, const std::string& newPath, std::string* report,
                       std::string* error, CompareFormat format, long long stepBudget) {
  report->clear();
  error->clear();
  Comparison comparison(format, stepBudget);
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
  std::string facts;
  for (const Group& group : kGroups) {
    for (const bool added : {true, false}) {
      if (!group.addedWord && !added) continue;
      const std::string sql = group.addedWord ? ForSide(group.query, added, group.addedWord, group.removedWord)
                                              : std::string(group.query);
      if (!comparison.Lines(sql, &facts, error)) {
        *error = oldPath + ", " + newPath + ": " + *error;
        return kCompareTrouble;
      }
    }
  }
  if (format == CompareFormat::kTsv) *report = std::string(kTsvHeader) + "\n";
  *report += facts;
  return facts.empty() ? kCompareSame : kCompareDiffers;
}

int RunCompareCommand(int argc, char** argv) {
  static const option kLongOptions[] = {{"format", required_argument, nullptr, kFormatOption},
                                        {"help", no_argument, nullptr, 'h'},
                                        {"version", no_argument, nullptr, 'V'},
                                        {nullptr, 0, nullptr, 0}};
  // getopt_long names the program after argv[0] and reorders the array, so it works on a copy.
  std::string name = "zira compare";
  std::vector<char*> args{name.data()};
  args.insert(args.end(), argv, argv + argc);
  args.push_back(nullptr);
  optind = 0;  // glibc: start afresh, so a second parse in one process works
  opterr = 1;
  CompareFormat format = CompareFormat::kPlain;
  for (int got; (got = getopt_long(argc + 1, args.data(), "hV", kLongOptions, nullptr)) != -1;) {
    if (got == 'h') {
      std::fputs(kCompareHelp, stdout);
      return 0;
    }
    if (got == 'V') {
      PrintVersion(stdout);
      return 0;
    }
    if (got != kFormatOption) return CompareUsageError("");  // getopt_long has named the problem
    if (std::strcmp(optarg, "plain") == 0) {
      format = CompareFormat::kPlain;
    } else if (std::strcmp(optarg, "tsv") == 0) {
      format = CompareFormat::kTsv;
    } else {
      return CompareUsageError(std::string("unknown format '") + optarg + "' (plain or tsv)");
    }
  }
  if (argc + 1 - optind != 2) return CompareUsageError("needs two databases, OLD.db and NEW.db");
  std::string report;
  std::string error;
  const int code = CompareInventories(args[optind], args[optind + 1], &report, &error, format);
  if (code == kCompareTrouble) {
    std::string shown;
    AppendEscaped(&shown, reinterpret_cast<const unsigned char*>(error.c_str()));
    std::fprintf(stderr, "zira compare: %s\n", shown.c_str());
  } else {
    std::fwrite(report.data(), 1, report.size(), stdout);
  }
  return code;
}

}  // namespace zira
