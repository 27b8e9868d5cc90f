#include "reports/inventory_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "client/race_table.h"
#include "client/string_database.h"
#include "common/file_replace.h"
#include "common/session_log.h"
#include "common/version.h"
#include "reports/inventory_schema_sql.h"
#include "reports/race_availability.h"
#include "reports/race_report_index.h"
#include "reports/race_reports.h"
#include "reports/report_output.h"
#include "reports/variation_summary.h"

namespace zira {

namespace {

// The store as the export sees it. Only these functions name the store's
// fields, so a change of the store's layout is mended here.
std::span<const ModelSource> SourceRows(const Inventory& inventory) { return inventory.Sources(); }
std::span<const ModelDef> ModelRows(const Inventory& inventory) { return inventory.ModelDefs(); }
bool IsOrphanSource(const ModelSource& source) { return source.sourceCode / 256 == kOrphanBucket; }

// A number that may be NULL (std::optional draws a false warning from g++ here).
struct Id {
  std::int64_t value = 0;
  bool present = false;
};
Id Number(std::int64_t value) { return {value, true}; }
constexpr Id kNull{};

// One value of a batched row: a text when given, else a number or NULL.
struct Value {
  Value(std::int64_t value) : number(Number(value)) {}
  Value(Id id) : number(id) {}
  Value(const char* literal) : text(literal) {}
  Value() = default;
  Id number;
  const char* text = nullptr;
};

constexpr int kStepsPerProgressCall = 1000;
// Reading the mark of a file costs a few hundred steps; a hostile file gets no more than this.
constexpr long long kMarkCheckSteps = 10'000'000;
constexpr std::int64_t kFirstReleaseVersion = 1;
constexpr const char* kFirstReleaseTables =
    "('run', 'races', 'sources', 'models', 'variations', 'zones', 'zone_imports', 'availability')";
constexpr std::int64_t kFirstReleaseTableCount = 8;
// Tables, views and triggers but SQLite's own (ANALYZE adds sqlite_stat1).
constexpr const char* kFirstReleaseObjects =
    "type IN ('table', 'view', 'trigger') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";

// The one number a query yields; false with the reason when it fails.
bool QueryNumber(sqlite3* db, const std::string& sql, std::int64_t* number, std::string* reason) {
  sqlite3_stmt* statement = nullptr;
  int step = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  if (step == SQLITE_OK) step = sqlite3_step(statement);
  if (step == SQLITE_ROW) *number = sqlite3_column_int64(statement, 0);
  if (step != SQLITE_ROW) *reason = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return step == SQLITE_ROW;
}

// False when the test hook asks this checkpoint to fail.
bool PassCheckpoint(DatabaseFaults* faults) {
  return faults == nullptr || faults->checkpoints++ != faults->failurePoint;
}

// A database being written, with a sticky error: after the first failure
// every call does nothing, and the reason is kept for the log.
class DatabaseWriter {
 public:
  explicit DatabaseWriter(DatabaseFaults* faults) : faults_(faults) {}
  ~DatabaseWriter() { Close(); }

  bool Open(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      Fail(db_ ? sqlite3_errmsg(db_) : "cannot open the database");
      return false;
    }
    // The file is new and is renamed into place only when complete, after it
    // is flushed as a whole: it needs neither journal nor syncs of its own.
    Exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;");
    return Ok();
  }

  void Exec(const char* sql) {
    if (!Ok()) return;
    if (!PassCheckpoint(faults_)) return Fail("injected failure");
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) Fail(message ? message : "exec failed");
    sqlite3_free(message);
  }

  // Runs the schema but its CREATE INDEX statements, which CreateIndexes
  // runs once the rows are in: an index built from all rows at once costs
  // less than one kept up row by row.
  void CreateTables(const char* schema) {
    for (const char* sql = schema; Ok() && *sql != '\0';) {
      sqlite3_stmt* statement = nullptr;
      const char* rest = nullptr;
      if (sqlite3_prepare_v2(db_, sql, -1, &statement, &rest) != SQLITE_OK) return Fail(sqlite3_errmsg(db_));
      if (statement != nullptr && IsCreateIndex(sqlite3_sql(statement))) {
        indexes_.emplace_back(sqlite3_sql(statement));
      } else if (statement != nullptr && sqlite3_step(statement) != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
      }
      sqlite3_finalize(statement);
      sql = rest;
    }
  }
  void CreateIndexes() {
    for (const std::string& sql : indexes_) Exec(sql.c_str());
  }

  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (Ok() && sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
      Fail(sqlite3_errmsg(db_));
    }
    return statement;
  }

  // Runs one insert: binds the values in order, steps, resets.
  template <typename... Values>
  void Insert(sqlite3_stmt* statement, const Values&... values) {
    if (!Ok()) return;
    int column = 0;
    (Bind(statement, ++column, values), ...);
    if (!PassCheckpoint(faults_)) return Fail("injected failure");
    if (sqlite3_step(statement) != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
    // The texts were bound without a copy: no binding may outlive this call.
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
  }

  // Runs one insert of several rows (a statement of that many value lists).
  template <std::size_t Columns>
  void InsertRows(sqlite3_stmt* statement, std::span<const std::array<Value, Columns>> rows) {
    if (!Ok()) return;
    int column = 0;
    for (const std::array<Value, Columns>& row : rows) {
      for (const Value& value : row) Bind(statement, ++column, value);
    }
    if (!PassCheckpoint(faults_)) return Fail("injected failure");
    if (sqlite3_step(statement) != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
    sqlite3_reset(statement);
  }

  // Commits and closes; the file is complete when this is true.
  bool Finish() {
    Exec("COMMIT;");
    Close();
    return Ok();
  }

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  void Fail(const char* reason) {
    if (error_.empty()) error_ = reason && *reason ? reason : "unknown failure";
  }
  void Bind(sqlite3_stmt* s, int column, std::int64_t value) { Check(sqlite3_bind_int64(s, column, value)); }
  void Bind(sqlite3_stmt* s, int column, Id id) {
    Check(id.present ? sqlite3_bind_int64(s, column, id.value) : sqlite3_bind_null(s, column));
  }
  void Bind(sqlite3_stmt* s, int column, const char* text) {
    Check(text ? sqlite3_bind_text(s, column, text, -1, SQLITE_STATIC) : sqlite3_bind_null(s, column));
  }
  void Bind(sqlite3_stmt* s, int column, const std::string& text) {
    Check(sqlite3_bind_text(s, column, text.data(), static_cast<int>(text.size()), SQLITE_STATIC));
  }
  void Bind(sqlite3_stmt* s, int column, const Value& value) {
    if (value.text != nullptr) return Bind(s, column, value.text);
    Bind(s, column, value.number);
  }
  void Check(int code) {
    if (code != SQLITE_OK) Fail(sqlite3_errstr(code));
  }
  void Close() {
    if (db_ == nullptr) return;
    // Closing finalizes the statements still open; a close that fails loses what was written.
    for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s; s = sqlite3_next_stmt(db_, nullptr)) sqlite3_finalize(s);
    if (sqlite3_close(db_) != SQLITE_OK) Fail(sqlite3_errmsg(db_));
    db_ = nullptr;
  }

  // A statement's text begins with the blanks and comments before it.
  static bool IsCreateIndex(const char* sql) {
    static constexpr char kCreateIndex[] = "CREATE INDEX";
    while (sql != nullptr && *sql != '\0') {
      if (std::isspace(static_cast<unsigned char>(*sql))) {
        ++sql;
      } else if (std::strncmp(sql, "--", 2) == 0) {
        sql = std::strchr(sql, '\n');
      } else {
        return std::strncmp(sql, kCreateIndex, sizeof(kCreateIndex) - 1) == 0;
      }
    }
    return false;
  }

  DatabaseFaults* faults_ = nullptr;
  sqlite3* db_ = nullptr;
  std::string error_;
  std::vector<std::string> indexes_;
};

// Rows of one table gathered and inserted many to a statement: most of the
// cost of an insert is the statement's, not the row's. Texts are bound
// without a copy, so only texts that outlive the batch (literals) may go in.
template <std::size_t Columns>
class RowBatch {
 public:
  using Row = std::array<Value, Columns>;
  RowBatch(DatabaseWriter& db, const char* table) : db_(db) {
    std::string values = "(?";
    for (std::size_t i = 1; i < Columns; ++i) values += ", ?";
    values += ")";
    std::string sql = std::string("INSERT INTO ") + table + " VALUES " + values;
    one_ = db.Prepare(sql.c_str());
    for (std::size_t i = 1; i < kRowsPerStatement; ++i) sql += ", " + values;
    many_ = db.Prepare(sql.c_str());
  }
  ~RowBatch() { Flush(); }
  RowBatch(const RowBatch&) = delete;
  RowBatch& operator=(const RowBatch&) = delete;

  void Add(const Row& row) {
    rows_[count_++] = row;
    if (count_ == kRowsPerStatement) Flush();
  }
  void Flush() {
    if (count_ == kRowsPerStatement) {
      db_.InsertRows<Columns>(many_, rows_);
    } else {
      for (std::size_t i = 0; i < count_; ++i) db_.InsertRows<Columns>(one_, std::span<const Row>(&rows_[i], 1));
    }
    count_ = 0;
  }

 private:
  static constexpr std::size_t kRowsPerStatement = 64;
  DatabaseWriter& db_;
  sqlite3_stmt* one_ = nullptr;
  sqlite3_stmt* many_ = nullptr;
  std::array<Row, kRowsPerStatement> rows_{};
  std::size_t count_ = 0;
};

// NULL for a missing or empty text.
const char* TextOrNull(const char* text) { return HasText(text) ? text : nullptr; }

const char* GenderText(Gender gender) {
  static constexpr const char* kLetters[] = {"M", "F", "N"};
  return IsGender(gender) ? kLetters[GenderNumber(gender) - 1] : nullptr;
}

// Row numbers from 1, in the order the store's tables hold the rows; none
// for a reference outside the table.
Id SourceId(const Inventory& inventory, const ModelSource* source) {
  const auto rows = SourceRows(inventory);
  if (source == nullptr || source < rows.data() || source >= rows.data() + rows.size()) return kNull;
  return Number(source - rows.data() + 1);
}
Id ModelId(const Inventory& inventory, const ModelDef* model) {
  const auto rows = ModelRows(inventory);
  if (model == nullptr || model < rows.data() || model >= rows.data() + rows.size()) return kNull;
  return Number(model - rows.data() + 1);
}

// The summary without its markup: " - Textures: <b>00-03</b>" reads "Textures: 00-03".
std::string PlainSummary(const std::string& html) {
  std::string plain;
  for (std::size_t i = html.rfind(" - ", 0) == 0 ? 3 : 0; i < html.size();) {
    if (html.compare(i, 3, "<b>") == 0) {
      i += 3;
    } else if (html.compare(i, 4, "</b>") == 0) {
      i += 4;
    } else {
      plain += html[i++];
    }
  }
  return plain;
}

void WriteRun(const Inventory& inventory, DatabaseWriter& db, std::time_t runTime) {
  char when[32] = "";
  std::tm utc{};
  if (gmtime_r(&runTime, &utc) != nullptr) std::strftime(when, sizeof(when), "%Y-%m-%dT%H:%M:%SZ", &utc);
  sqlite3_stmt* insert = db.Prepare("INSERT INTO run VALUES (?, ?, ?, ?)");
  db.Insert(insert, TextOr(inventory.client.editionShort, ""), std::int64_t{inventory.client.imageSize}, when,
            kZiraVersion);
}

void WriteSources(const Inventory& inventory, DatabaseWriter& db) {
  sqlite3_stmt* insert = db.Prepare("INSERT INTO sources VALUES (?, ?, ?, ?, ?, ?)");
  for (const ModelSource& source : SourceRows(inventory)) {
    db.Insert(insert, SourceId(inventory, &source), source.name, std::int64_t{SourceKindNumber(source.kind)},
              SourceKindLabel(source.kind),
              std::int64_t{IsOrphanSource(source)}, std::int64_t{source.scanned != 0});
  }
}

template <std::size_t Capacity>
void WriteVariations(RowBatch<3>& rows, Id modelId, const char* kind, const VariationList<Capacity>& list) {
  for (const std::uint8_t value : list.Values()) rows.Add({modelId, kind, std::int64_t{value}});
}

void WriteModels(const Inventory& inventory, DatabaseWriter& db) {
  sqlite3_stmt* insertModel = db.Prepare("INSERT INTO models VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  RowBatch<3> variations(db, "variations");
  for (const ModelDef& model : ModelRows(inventory)) {
    const Id id = ModelId(inventory, &model);
    const std::string html = VariationSummaryText(inventory.client, &model);
    const Id race = model.raceId != 0 ? Number(model.raceId) : kNull;
    db.Insert(insertModel, id, SourceId(inventory, model.source), std::int64_t{model.slot}, model.code, race,
              GenderText(model.gender), PlainSummary(html), html);
    // In the order of the table's key, so that every row lands at its end.
    WriteVariations(variations, id, "beard", model.beards);
    WriteVariations(variations, id, "detail", model.details);
    WriteVariations(variations, id, "face", model.faces);
    WriteVariations(variations, id, "hair", model.hair);
    WriteVariations(variations, id, "head", model.heads);
    WriteVariations(variations, id, "tattoo", model.tattoos);
    WriteVariations(variations, id, "texture", model.textures);
  }
}

void WriteZones(const Inventory& inventory, DatabaseWriter& db) {
  const ClientImage& client = inventory.client;
  sqlite3_stmt* insertZone = db.Prepare("INSERT INTO zones VALUES (?, ?, ?, ?, ?, ?, ?)");
  sqlite3_stmt* insertImport = db.Prepare("INSERT INTO zone_imports VALUES (?, ?, ?)");
  const std::size_t lastZone = std::min<std::size_t>(client.maxZoneId, kMaxZoneId);
  for (std::size_t id = 0; id <= lastZone; ++id) {
    const ZoneRecord& zone = client.zones[id];
    // The zones the zone page has a section for.
    if (!HasText(zone.zoneNick) && !HasText(zone.zoneName)) continue;
    const std::int64_t zoneId = static_cast<std::int64_t>(id);
    db.Insert(insertZone, zoneId, TextOrNull(zone.zoneNick), TextOrNull(zone.zoneName), std::int64_t{zone.expansion},
              std::int64_t{zone.flags}, SourceId(inventory, inventory.zoneLinks[id].chrSource),
              SourceId(inventory, inventory.zoneLinks[id].chr2Source));
    std::int64_t position = 0;
    for (const ModelDef* model : inventory.zoneLinks[id].Imports()) {
      if (model) db.Insert(insertImport, zoneId, position++, ModelId(inventory, model));
    }
  }
}

// One row per gender of every zone line and "All Zones" line of the race page.
class AvailabilityRows : public AvailabilityVisitor {
 public:
  AvailabilityRows(const Inventory& inventory, DatabaseWriter& db) : inventory_(inventory), rows_(db, "availability") {}
  void SetRace(std::uint32_t raceId) { raceId_ = raceId; }

  void Source(const SourceReach&) override {}
  void AllZones(const SourceReach& reach) override { Rows(reach, reach.models, kNull, "global"); }
  void Zone(const SourceReach& reach, const ZoneReach& zone) override {
    Rows(reach, zone.models, Number(zone.zoneId), zone.local ? "local" : "imported");
  }
  void SourceDone(const SourceReach&, bool) override {}

 private:
  void Rows(const SourceReach& reach, const std::array<const ModelDef*, kGenderCount>& models, Id zoneId,
            const char* how) {
    for (std::size_t g = 0; g < kGenderCount; ++g) {
      if (models[g] == nullptr) continue;
      rows_.Add({std::int64_t{raceId_}, GenderText(kGenders[g]), SourceId(inventory_, reach.source), zoneId, how,
                 ModelId(inventory_, models[g])});
    }
  }

  const Inventory& inventory_;
  RowBatch<6> rows_;
  std::uint32_t raceId_ = 0;
};

void WriteRacesAndAvailability(Inventory& inventory, DatabaseWriter& db) {
  const ClientImage& client = inventory.client;
  sqlite3_stmt* insertRace = db.Prepare("INSERT INTO races VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  RaceReportIndex index;
  BuildRaceReportIndex(inventory, &index);
  const std::uint32_t lastRace = std::min<std::uint32_t>(client.maxRaceId, kMaxRaceId);
  AvailabilityRows rows(inventory, db);
  for (std::uint32_t raceId = 1; raceId <= lastRace && db.Ok(); ++raceId) {
    if (!IsListedRace(inventory, raceId)) continue;
    db.Insert(insertRace, std::int64_t{raceId},
              TextOrNull(StringDatabaseText(inventory.database, kRaceNameType, raceId)),
              TextOrNull(StringDatabaseText(inventory.database, kRacePluralType, raceId)),
              std::int64_t{IsPlayableRace(raceId)}, std::int64_t{IsRaceGloballyAvailable(inventory, raceId)},
              PageRaceCode(client, raceId, Gender::kMale), PageRaceCode(client, raceId, Gender::kFemale),
              PageRaceCode(client, raceId, Gender::kNeutral));
    if (inventory.sourceCount == 0) continue;
    rows.SetRace(raceId);
    WalkRaceAvailability(inventory, index, raceId, rows);
  }
}

}  // namespace

const char* InventorySchemaText() { return kInventorySchemaSql; }
int InventorySchemaVersion() { return kInventorySchemaVersion; }
int InventoryApplicationId() { return kInventoryApplicationId; }

void BoundQueries(sqlite3* db, long long* stepsLeft) {
  sqlite3_progress_handler(
      db, kStepsPerProgressCall,
      [](void* left) {
        long long& steps = *static_cast<long long*>(left);
        steps -= kStepsPerProgressCall;
        return steps < 0 ? 1 : 0;
      },
      stepsLeft);
}

bool HasInventoryMark(sqlite3* db, const char* schema, std::string* reason) {
  const std::string prefix = std::string("PRAGMA \"") + schema + "\".";
  std::int64_t mark = 0;
  std::int64_t version = 0;
  if (!QueryNumber(db, prefix + "application_id", &mark, reason) ||
      !QueryNumber(db, prefix + "user_version", &version, reason)) {
    return false;
  }
  if (mark == kInventoryApplicationId) return true;
  // The first release set no mark; its databases hold exactly its tables.
  std::int64_t tables = 0;
  std::int64_t others = 0;
  const std::string objects = std::string("FROM \"") + schema + "\".sqlite_schema WHERE ";
  if (mark == 0 && version == kFirstReleaseVersion &&
      QueryNumber(db, "SELECT count(*) " + objects + "type = 'table' AND name IN " + kFirstReleaseTables, &tables,
                  reason) &&
      QueryNumber(db, "SELECT count(*) " + objects + kFirstReleaseObjects, &others, reason) &&
      tables == kFirstReleaseTableCount && others == kFirstReleaseTableCount) {
    return true;
  }
  if (reason->empty()) *reason = "not a zira inventory database";
  return false;
}

bool FileHasInventoryMark(const std::string& path, std::string* reason) {
  reason->clear();
  sqlite3* db = nullptr;
  // Immutable: no lock, journal or other file is made or read beside it.
  const std::string uri = ReadOnlyFileUri(path) + "&immutable=1";
  if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
    *reason = db ? sqlite3_errmsg(db) : "cannot be opened";
    sqlite3_close(db);
    return false;
  }
  long long stepsLeft = kMarkCheckSteps;
  BoundQueries(db, &stepsLeft);
  const bool ours = HasInventoryMark(db, "main", reason);
  sqlite3_close(db);
  return ours;
}

std::string ReadOnlyFileUri(const std::string& path) {
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

Result ExportInventoryDatabase(SessionLog& log, Inventory& inventory, const std::string& path, std::time_t runTime,
                               DatabaseFaults* faults) {
  if (faults != nullptr) faults->checkpoints = 0;
  log.Both("  Writing the inventory database to %s", path.c_str());
  // Killed runs' files are swept first, so that leftovers never pile up.
  RemoveStaleTempFilesBeside(path);
  HeldTempFile held;
  if (!held.Create(path)) {
    log.Both("FAILURE: Could not write the inventory database %s: cannot create a file beside it", path.c_str());
    return E_FAIL;
  }
  const std::string& temp = held.Path();
  DatabaseWriter db(faults);
  if (db.Open(temp)) {
    db.CreateTables(kInventorySchemaSql);
    // Models first: they then carry exactly the marks the zone page printed.
    WriteRun(inventory, db, runTime);
    WriteSources(inventory, db);
    WriteModels(inventory, db);
    WriteZones(inventory, db);
    WriteRacesAndAvailability(inventory, db);
    db.CreateIndexes();
  }
  std::string error;
  if (!db.Finish()) {
    error = db.Error();
  } else if (!PassCheckpoint(faults)) {
    error = "injected failure";
  } else if (!ReplaceFileWith(temp, path)) {
    error = "cannot replace the file";
  }
  if (!error.empty()) {
    RemoveFileIfPresent(temp);
    log.Both("FAILURE: Could not write the inventory database %s: %s", path.c_str(), error.c_str());
    return E_FAIL;
  }
  return S_OK;
}

}  // namespace zira
