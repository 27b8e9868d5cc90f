#include "reports/inventory_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "client/race_table.h"
#include "client/string_database.h"
#include "client/string_list.h"
#include "common/file_replace.h"
#include "common/file_system.h"
#include "common/session_log.h"
#include "common/version.h"
#include "reports/explorer_page.h"
#include "reports/inventory_sql.h"
#include "reports/race_availability.h"
#include "reports/race_report_index.h"
#include "reports/race_reports.h"
#include "reports/report_output.h"
#include "reports/sqlite_handles.h"
#include "reports/variation_summary.h"
#include "reports/zone_reports.h"

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

// The one number a query about schema (of a connection) yields; false with the reason when it fails.
bool QueryNumber(sqlite3* db, const char* query, const char* schema, std::int64_t* number, std::string* reason) {
  const SqlStatement statement = PrepareSqlStatement(db, sql::FillInSql(query, {{"{S}", schema}}).c_str());
  const int step = statement ? sqlite3_step(statement.get()) : SQLITE_ERROR;
  if (step == SQLITE_ROW) *number = sqlite3_column_int64(statement.get(), 0);
  if (step != SQLITE_ROW) *reason = sqlite3_errmsg(db);
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
  DatabaseWriter(const DatabaseWriter&) = delete;
  DatabaseWriter& operator=(const DatabaseWriter&) = delete;

  // path ":memory:" gives a database in memory.
  bool Open(const std::string& path) {
    int code = SQLITE_OK;
    db_ = OpenSqlConnection(path.c_str(), SQLITE_OPEN_READWRITE, &code);
    if (code != SQLITE_OK) {
      Fail(db_ ? sqlite3_errmsg(db_.get()) : "cannot open the database");
      db_.reset();
      return false;
    }
    Exec(sql::kBeginExport);
    return Ok();
  }

  void Exec(const char* text) {
    if (!Ok()) return;
    if (!PassCheckpoint(faults_)) return Fail("injected failure");
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), text, nullptr, nullptr, &message) != SQLITE_OK) {
      Fail(message ? message : "exec failed");
    }
    sqlite3_free(message);
  }

  // Null when the writer has failed or the statement cannot be prepared.
  SqlStatement Prepare(const char* text) {
    if (!Ok()) return nullptr;
    SqlStatement statement = PrepareSqlStatement(db_.get(), text, SQLITE_PREPARE_PERSISTENT);
    if (!statement) Fail(sqlite3_errmsg(db_.get()));
    return statement;
  }

  // Runs one insert: binds the values in order, steps, resets.
  template <typename... Values>
  void Insert(const SqlStatement& statement, const Values&... values) {
    if (!Ok()) return;
    int column = 0;
    (Bind(statement.get(), ++column, values), ...);
    if (!PassCheckpoint(faults_)) return Fail("injected failure");
    if (sqlite3_step(statement.get()) != SQLITE_DONE) Fail(sqlite3_errmsg(db_.get()));
    // The texts were bound without a copy: no binding may outlive this call.
    sqlite3_reset(statement.get());
    sqlite3_clear_bindings(statement.get());
  }

  // Runs one insert of several rows (a statement of that many value lists).
  template <std::size_t Columns>
  void InsertRows(const SqlStatement& statement, std::span<const std::array<Value, Columns>> rows) {
    if (!Ok()) return;
    int column = 0;
    for (const std::array<Value, Columns>& row : rows) {
      for (const Value& value : row) Bind(statement.get(), ++column, value);
    }
    if (!PassCheckpoint(faults_)) return Fail("injected failure");
    if (sqlite3_step(statement.get()) != SQLITE_DONE) Fail(sqlite3_errmsg(db_.get()));
    sqlite3_reset(statement.get());
  }

  // Commits and closes; the file is complete when this is true. Every
  // statement is finalized by now: a close that fails loses what was written.
  bool Finish() {
    Exec(sql::kCommitExport);
    if (db_ && sqlite3_close(db_.get()) == SQLITE_OK) {
      static_cast<void>(db_.release());
    } else if (db_) {
      Fail(sqlite3_errmsg(db_.get()));
    }
    db_.reset();
    return Ok();
  }
  // Commits and keeps the connection open, for a reader of the same database.
  sqlite3* Commit() {
    Exec(sql::kCommitExport);
    return Ok() ? db_.get() : nullptr;
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

  DatabaseFaults* faults_ = nullptr;
  SqlConnection db_;
  std::string error_;
};

// Rows of one table gathered and inserted many to a statement: most of the
// cost of an insert is the statement's, not the row's. Texts are bound
// without a copy, so only texts that outlive the batch (literals) may go in.
template <std::size_t Columns>
class RowBatch {
 public:
  using Row = std::array<Value, Columns>;
  // insert: the table's one-row insert; the batch's statement repeats its value list.
  RowBatch(DatabaseWriter& db, const char* insert) : db_(db) {
    std::string values = "(?";
    for (std::size_t i = 1; i < Columns; ++i) values += ", ?";
    values += ")";
    one_ = db.Prepare(insert);
    std::string many = insert;
    for (std::size_t i = 1; i < kRowsPerStatement; ++i) many += ", " + values;
    many_ = db.Prepare(many.c_str());
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
  SqlStatement one_;
  SqlStatement many_;
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
  const SqlStatement insert = db.Prepare(sql::kInsertRun);
  db.Insert(insert, TextOr(inventory.client.editionShort, ""), std::int64_t{inventory.client.imageSize}, when,
            kZiraVersion);
}

void WriteSources(const Inventory& inventory, DatabaseWriter& db) {
  const SqlStatement insert = db.Prepare(sql::kInsertSource);
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
  const SqlStatement insertModel = db.Prepare(sql::kInsertModel);
  RowBatch<3> variations(db, sql::kInsertVariation);
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

// Every expansion number up to the highest a zone row has, as the zone page's menu has them.
void WriteExpansions(const Inventory& inventory, DatabaseWriter& db) {
  const ClientImage& client = inventory.client;
  const std::size_t lastZone = std::min<std::size_t>(client.maxZoneId, kMaxZoneId);
  std::int64_t top = 0;
  for (std::size_t id = 0; id <= lastZone; ++id) top = std::max<std::int64_t>(top, client.zones[id].expansion);
  const SqlStatement insert = db.Prepare(sql::kInsertExpansion);
  for (std::int64_t e = 0; e <= top; ++e) {
    db.Insert(insert, e, TextOrNull(ExpansionName(inventory, static_cast<std::uint32_t>(e))));
  }
}

// The string list's text for a zone's StringID; ids are 16-bit, a larger one has none.
const char* ZoneStringName(const Inventory& inventory, std::uint32_t stringId) {
  if (stringId == 0 || stringId > UINT16_MAX) return nullptr;
  return StringListText(inventory.strings, static_cast<std::uint16_t>(stringId));
}

void WriteZones(const Inventory& inventory, DatabaseWriter& db) {
  const ClientImage& client = inventory.client;
  const SqlStatement insertZone = db.Prepare(sql::kInsertZone);
  const SqlStatement insertImport = db.Prepare(sql::kInsertZoneImport);
  const std::size_t lastZone = std::min<std::size_t>(client.maxZoneId, kMaxZoneId);
  for (std::size_t id = 0; id <= lastZone; ++id) {
    const ZoneRecord& zone = client.zones[id];
    // The zones the zone page has a section for.
    if (!HasText(zone.zoneNick) && !HasText(zone.zoneName)) continue;
    const std::int64_t zoneId = static_cast<std::int64_t>(id);
    db.Insert(insertZone, zoneId, TextOrNull(zone.zoneNick), TextOrNull(zone.zoneName), std::int64_t{zone.expansion},
              std::int64_t{zone.flags}, SourceId(inventory, inventory.zoneLinks[id].chrSource),
              SourceId(inventory, inventory.zoneLinks[id].chr2Source), std::int64_t{zone.stringId},
              ZoneStringName(inventory, zone.stringId), std::int64_t{zone.minLevel}, std::int64_t{zone.unknown7},
              std::int64_t{zone.unknown8});
    std::int64_t position = 0;
    for (const ModelDef* model : inventory.zoneLinks[id].Imports()) {
      if (model) db.Insert(insertImport, zoneId, position++, ModelId(inventory, model));
    }
  }
}

// One row per gender of every zone line and "All Zones" line of the race page.
class AvailabilityRows : public AvailabilityVisitor {
 public:
  AvailabilityRows(const Inventory& inventory, DatabaseWriter& db) : inventory_(inventory), rows_(db, sql::kInsertAvailability) {}
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
  const SqlStatement insertRace = db.Prepare(sql::kInsertRace);
  RaceReportIndex index;
  BuildRaceReportIndex(inventory, &index);
  const std::uint32_t lastRace = std::min<std::uint32_t>(client.maxRaceId, kMaxRaceId);
  AvailabilityRows rows(inventory, db);
  for (std::uint32_t raceId = 1; raceId <= lastRace && db.Ok(); ++raceId) {
    if (!IsListedRace(inventory, raceId)) continue;
    db.Insert(insertRace, std::int64_t{raceId},
              TextOrNull(StringDatabaseText(inventory.database, kRaceNameType, raceId)),
              TextOrNull(StringDatabaseText(inventory.database, kRacePluralType, raceId)),
              StringDatabaseText(inventory.database, kRaceDescriptionType, raceId),
              std::int64_t{IsPlayableRace(raceId)}, std::int64_t{IsRaceGloballyAvailable(inventory, raceId)},
              PageRaceCode(client, raceId, Gender::kMale), PageRaceCode(client, raceId, Gender::kFemale),
              PageRaceCode(client, raceId, Gender::kNeutral));
    if (inventory.sourceCount == 0) continue;
    rows.SetRace(raceId);
    WalkRaceAvailability(inventory, index, raceId, rows);
  }
}

void WriteInventory(Inventory& inventory, DatabaseWriter& db, std::time_t runTime) {
  db.Exec(kInventoryTablesSql);
  // Models first: they then carry exactly the marks the zone page printed.
  WriteRun(inventory, db, runTime);
  WriteSources(inventory, db);
  WriteModels(inventory, db);
  WriteExpansions(inventory, db);
  WriteZones(inventory, db);
  WriteRacesAndAvailability(inventory, db);
  // An index built from all rows at once costs less than one kept up row by row.
  db.Exec(kInventoryIndexesSql);
}

}  // namespace

std::string InventorySchemaText() { return std::string(kInventoryTablesSql) + kInventoryIndexesSql; }
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
  std::int64_t mark = 0;
  std::int64_t version = 0;
  if (!QueryNumber(db, sql::kApplicationId, schema, &mark, reason) ||
      !QueryNumber(db, sql::kUserVersion, schema, &version, reason)) {
    return false;
  }
  if (mark == kInventoryApplicationId) return true;
  // The first release set no mark; its databases hold exactly its tables.
  std::int64_t tables = 0;
  std::int64_t others = 0;
  if (mark == 0 && version == sql::kFirstReleaseVersion &&
      QueryNumber(db, sql::kFirstReleaseTables, schema, &tables, reason) &&
      QueryNumber(db, sql::kFirstReleaseObjects, schema, &others, reason) &&
      tables == sql::kFirstReleaseTableCount && others == sql::kFirstReleaseTableCount) {
    return true;
  }
  if (reason->empty()) *reason = "not a zira inventory database";
  return false;
}

bool FileHasInventoryMark(const std::string& path, std::string* reason) {
  reason->clear();
  // Immutable: no lock, journal or other file is made or read beside it.
  const std::string uri = ReadOnlyFileUri(path) + "&immutable=1";
  int code = SQLITE_OK;
  const SqlConnection db = OpenSqlConnection(uri.c_str(), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, &code);
  if (code != SQLITE_OK) {
    *reason = db ? sqlite3_errmsg(db.get()) : "cannot be opened";
    return false;
  }
  long long stepsLeft = kMarkCheckSteps;
  BoundQueries(db.get(), &stepsLeft);
  return HasInventoryMark(db.get(), "main", reason);
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
  RemoveLeftoverTemporaries(FolderOf(path), LeafOf(path));
  FileReplacement replacement;
  if (replacement.Begin(path, faults != nullptr ? faults->files : nullptr) != 0) {
    log.Both("FAILURE: Could not write the inventory database %s: cannot create a file beside it", path.c_str());
    return Fail("temporary file cannot be created");
  }
  DatabaseWriter db(faults);
  if (db.Open(replacement.TemporaryPath())) WriteInventory(inventory, db, runTime);
  std::string error;
  if (!db.Finish()) {
    error = db.Error();
  } else if (!PassCheckpoint(faults)) {
    error = "injected failure";
  } else if (replacement.Finish() != 0) {
    error = "cannot replace the file";
  }
  if (!error.empty()) {
    replacement.Abandon();
    log.Both("FAILURE: Could not write the inventory database %s: %s", path.c_str(), error.c_str());
    return Fail("database cannot be written");
  }
  return kSuccess;
}

Result ExportExplorerPage(const RunIo& io, Inventory& inventory, const std::string& path, std::time_t runTime) {
  io.log.Both("  Writing the explorer page to %s", path.c_str());
  // The page is made from the database alone: the same rows as --db writes, in memory.
  DatabaseWriter db(nullptr);
  std::string error;
  sqlite3* written = nullptr;
  if (db.Open(":memory:")) {
    WriteInventory(inventory, db, runTime);
    written = db.Commit();
  }
  if (written == nullptr) {
    error = "cannot build the inventory: " + db.Error();
  } else if (Succeeded(WriteExplorerPage(io.files, written, path, &error))) {
    return kSuccess;
  }
  io.log.Both("FAILURE: Could not write the explorer page %s: %s", path.c_str(), error.c_str());
  return Fail("explorer page cannot be written");
}

}  // namespace zira
