#pragma once
// The SQL text of the inventory database, all in one place: the schema
// (docs/schema.sql, built in as two texts: tables, then indexes), the
// inserts of the export, the checks of a database's mark and the queries of
// a comparison. Nothing here is taken apart at run time; {NAME} marks a
// name that FillInSql puts in.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "reports/inventory_schema_sql.h"

namespace zira::sql {

// --- Writing a database ------------------------------------------------------

// The file is new and is renamed into place only when complete, after it is
// synced as a whole: it needs neither journal nor syncs of its own.
inline constexpr const char* kBeginExport = "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;";
inline constexpr const char* kCommitExport = "COMMIT;";

// One row each; the batched tables (variations, availability) take more value
// lists of the same shape behind the first.
inline constexpr const char* kInsertRun = "INSERT INTO run VALUES (?, ?, ?, ?)";
inline constexpr const char* kInsertSource = "INSERT INTO sources VALUES (?, ?, ?, ?, ?, ?)";
inline constexpr const char* kInsertModel = "INSERT INTO models VALUES (?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kInsertVariation = "INSERT INTO variations VALUES (?, ?, ?)";
inline constexpr const char* kInsertExpansion = "INSERT INTO expansions VALUES (?, ?)";
inline constexpr const char* kInsertZone = "INSERT INTO zones VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kInsertZoneImport = "INSERT INTO zone_imports VALUES (?, ?, ?)";
inline constexpr const char* kInsertRace = "INSERT INTO races VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kInsertAvailability = "INSERT INTO availability VALUES (?, ?, ?, ?, ?, ?)";

// --- The mark of a database ({S}: "main" or an attached name) ----------------

inline constexpr const char* kApplicationId = "PRAGMA \"{S}\".application_id";
inline constexpr const char* kUserVersion = "PRAGMA \"{S}\".user_version";
// The first release set no mark; its databases hold exactly its eight tables
// and nothing else but SQLite's own objects (ANALYZE adds sqlite_stat1).
inline constexpr std::int64_t kFirstReleaseVersion = 1;
inline constexpr std::int64_t kFirstReleaseTableCount = 8;
inline constexpr const char* kFirstReleaseTables =
    "SELECT count(*) FROM \"{S}\".sqlite_schema WHERE type = 'table' AND name IN "
    "('run', 'races', 'sources', 'models', 'variations', 'zones', 'zone_imports', 'availability')";
inline constexpr const char* kFirstReleaseObjects =
    "SELECT count(*) FROM \"{S}\".sqlite_schema "
    "WHERE type IN ('table', 'view', 'trigger') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";

// --- Comparing two databases -------------------------------------------------

// For sqlite3_mprintf: %Q the file: URI, %s the name it is attached as.
inline constexpr const char* kAttach = "ATTACH %Q AS %s";
inline constexpr const char* kComparedUserVersion = "PRAGMA {S}.user_version";
// The tables every query reads; each must be a table of its own, not a view.
inline constexpr long long kComparedTableCount = 8;
inline constexpr const char* kComparedTables =
    "SELECT count(*) FROM {S}.sqlite_schema WHERE type = 'table' AND sql LIKE 'CREATE TABLE %' AND name IN "
    "('run', 'races', 'sources', 'models', 'variations', 'zones', 'zone_imports', 'availability')";
inline constexpr const char* kComparedRuns = "SELECT count(*) FROM {S}.run";

// Both databases are attached read-only to one in-memory connection, so every
// group of facts is one query over old (o) and new (n).
inline constexpr const char* kCompareViews = R"sql(
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
// its facts already sorted: the line for people, then the fields of kCompareTsvHeader.
// {A} and {B} stand for the two sides: o and n for what was added or gained,
// n and o for what was removed or lost.
inline constexpr const char* kCompareTsvHeader =
    "fact\tchange\tzone_id\tzone_nick\trace_id\trace_name\tgender\tsource\tmodel\tvariation\treach\told\tnew";

inline constexpr const char* kClientChanged = R"sql(
SELECT printf('client changed: %s -> %s', old, new), 'client', 'changed', NULL, NULL, NULL, NULL, NULL, NULL, NULL,
    NULL, NULL, old, new
  FROM (SELECT printf('%s, %d bytes', a.edition, a.client_size) AS old,
               printf('%s, %d bytes', b.edition, b.client_size) AS new
        FROM o.run a, n.run b WHERE a.edition IS NOT b.edition OR a.client_size IS NOT b.client_size))sql";

inline constexpr const char* kRacesAdded = R"sql(
SELECT printf('race %s: %d %s', '{WORD}', race_id, coalesce(name, '(no name)')), 'race', '{WORD}', NULL, NULL,
    race_id, name, NULL, NULL, NULL, NULL, NULL, NULL, NULL
  FROM {B}.races WHERE race_id NOT IN (SELECT race_id FROM {A}.races) ORDER BY race_id)sql";

inline constexpr const char* kRacesRenamed = R"sql(
SELECT printf('race renamed: %d %s -> %s', race_id, coalesce(a.name, '(no name)'), coalesce(b.name, '(no name)')),
    'race', 'renamed', NULL, NULL, race_id, NULL, NULL, NULL, NULL, NULL, NULL, a.name, b.name
  FROM o.races a JOIN n.races b USING (race_id) WHERE a.name IS NOT b.name ORDER BY race_id)sql";

inline constexpr const char* kRaceCodesChanged = R"sql(
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

inline constexpr const char* kSourcesAdded = R"sql(
SELECT printf('source %s: %s', '{WORD}', source), 'source', '{WORD}', NULL, NULL, NULL, NULL, NULL, source, NULL,
    NULL, NULL, NULL, NULL
  FROM (SELECT source FROM {B}_sources EXCEPT SELECT source FROM {A}_sources) ORDER BY source)sql";

inline constexpr const char* kSourceKindsChanged = R"sql(
SELECT printf('source kind changed: %s %d -> %d', source, a.kind, b.kind), 'source', 'kind changed', NULL, NULL,
    NULL, NULL, NULL, source, NULL, NULL, NULL, a.kind, b.kind
  FROM o_sources a JOIN n_sources b USING (source) WHERE a.kind <> b.kind ORDER BY source)sql";

inline constexpr const char* kModelsAdded = R"sql(
SELECT printf('model %s: %s %s', '{WORD}', source, code), 'model', '{WORD}', NULL, NULL, NULL, NULL, NULL, source,
    code, NULL, NULL, NULL, NULL
  FROM (SELECT source, code FROM {B}_models EXCEPT SELECT source, code FROM {A}_models) ORDER BY source, code)sql";

// Only for models on both sides: a model added or removed says it all.
inline constexpr const char* kVariationsGained = R"sql(
SELECT printf('variation %s: %s %s %s %d', '{WORD}', source, code, kind, number), 'variation', '{WORD}', NULL, NULL,
    NULL, NULL, NULL, source, code, kind || ' ' || number, NULL, NULL, NULL
  FROM (SELECT * FROM {B}_variations EXCEPT SELECT * FROM {A}_variations) d
  WHERE EXISTS (SELECT 1 FROM {A}_models m WHERE m.source = d.source AND m.code = d.code)
  ORDER BY source, code, kind, number)sql";

inline constexpr const char* kImportsAdded = R"sql(
SELECT printf('import %s: %s: %s from %s', '{WORD}', coalesce(z.zone, 'zone ' || d.zone_id), code, source),
    'import', '{WORD}', d.zone_id, z.nick, NULL, NULL, NULL, source, code, NULL, NULL, NULL, NULL
  FROM (SELECT zone_id, source, code FROM {B}_imports EXCEPT SELECT zone_id, source, code FROM {A}_imports) d
  LEFT JOIN {B}_zones z USING (zone_id)
  ORDER BY d.zone_id, code, source)sql";

// All zones are reached from global packages; a zone from its own or an imported one.
inline constexpr const char* kAvailabilityGained = R"sql(
SELECT printf('availability %s: %s: race %d%s %s via %s', '{WORD}',
    CASE WHEN d.zone_id IS NULL THEN 'all zones' ELSE coalesce(z.zone, 'zone ' || d.zone_id) END,
    d.race_id, coalesce(' ' || r.name, ''), gender,
    d.name || CASE WHEN d.zone_id IS NULL THEN '' ELSE ', ' || reach END),
    'availability', '{WORD}', d.zone_id, z.nick, d.race_id, r.name, gender, source, NULL, NULL, reach, NULL, NULL
  FROM (SELECT zone_id, race_id, gender, source, name, reach FROM {B}_availability
        EXCEPT SELECT zone_id, race_id, gender, source, name, reach FROM {A}_availability) d
  LEFT JOIN {B}_zones z ON z.zone_id = d.zone_id LEFT JOIN {B}.races r ON r.race_id = d.race_id
  ORDER BY d.zone_id IS NOT NULL, d.zone_id, d.race_id, instr('MFN', gender), source, reach)sql";

// The groups of facts in the order they are printed. addedWord null: a
// query that compares both sides at once; else one run for each side, with
// {WORD}, {A} and {B} filled in as said above.
struct CompareQuery {
  const char* query;
  const char* addedWord;
  const char* removedWord;
};
inline constexpr CompareQuery kCompareQueries[] = {
    {kClientChanged, nullptr, nullptr},      {kRacesAdded, "added", "removed"},
    {kRacesRenamed, nullptr, nullptr},       {kRaceCodesChanged, nullptr, nullptr},
    {kSourcesAdded, "added", "removed"},     {kSourceKindsChanged, nullptr, nullptr},
    {kModelsAdded, "added", "removed"},      {kVariationsGained, "gained", "lost"},
    {kImportsAdded, "added", "removed"},     {kAvailabilityGained, "gained", "lost"},
};

// text with every {NAME} of names replaced, in one pass (what goes in is
// not looked at again); the names and what goes in are the program's own.
inline std::string FillInSql(std::string_view text,
                             std::initializer_list<std::pair<std::string_view, std::string_view>> names) {
  std::string sql;
  for (std::size_t at = 0; at < text.size();) {
    bool named = false;
    for (const auto& [name, value] : names) {
      if (text.substr(at, name.size()) != name) continue;
      sql += value;
      at += name.size();
      named = true;
      break;
    }
    if (!named) sql += text[at++];
  }
  return sql;
}

}  // namespace zira::sql
