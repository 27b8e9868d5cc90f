#include "reports/explorer_page.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/output_file.h"
#include "reports/explorer_page_text.h"
#include "reports/inventory_database.h"

namespace zira {

namespace {

// One JSON member per table, each an array of rows in the columns of its
// query; the page's script reads the columns by position, in this order.
struct TableQuery {
  const char* member;
  const char* sql;
};
constexpr TableQuery kTables[] = {
    {"run", "SELECT edition, client_size, run_time, tool_version FROM run"},
    {"expansions", "SELECT expansion, name FROM expansions ORDER BY expansion"},
    {"races",
     "SELECT race_id, name, plural, description, playable, globally_available, code_m, code_f, code_n FROM races "
     "ORDER BY race_id"},
    {"sources", "SELECT source_id, name, kind, kind_label, orphan, scanned FROM sources ORDER BY source_id"},
    {"models", "SELECT model_id, source_id, code, race_id, gender, variations FROM models ORDER BY model_id"},
    {"zones",
     "SELECT zone_id, nick, name, expansion, flags, chr_source_id, chr2_source_id, string_id, string_name, "
     "min_level, unknown7, unknown8 FROM zones ORDER BY zone_id"},
    {"imports", "SELECT zone_id, model_id FROM zone_imports ORDER BY zone_id, position"},
    // Genders as 0 to 2 (M, F, N) and reaches as 0 to 2 (global, local, imported): a third of the bytes.
    {"availability",
     "SELECT race_id, instr('MFN', gender) - 1, zone_id, CASE reach WHEN 'global' THEN 0 WHEN 'local' THEN 1 "
     "ELSE 2 END, model_id FROM availability ORDER BY race_id, instr('MFN', gender), model_id, zone_id"},
};

constexpr const char* kPageStart =
    "<!DOCTYPE html>\n"
    "<html lang=\"en\">\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    // Nothing may be fetched: the page is its own data, script and style.
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
    "script-src 'unsafe-inline'; img-src data:\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<title>Ombrith Race Inventory Explorer</title>\n"
    "<style>\n";

// Appends one column's value: NULL, a number or a text (a blob is taken as a text).
void AppendValue(std::string& out, sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      out += "null";
      return;
    case SQLITE_INTEGER:
      out += std::to_string(sqlite3_column_int64(statement, column));
      return;
    case SQLITE_FLOAT: {
      char number[32];
      std::snprintf(number, sizeof(number), "%.17g", sqlite3_column_double(statement, column));
      out += number;
      return;
    }
    default: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      const int size = sqlite3_column_bytes(statement, column);
      out += JsonText(bytes ? std::string_view(bytes, static_cast<std::size_t>(size)) : std::string_view());
    }
  }
}

bool AppendTable(sqlite3* db, const TableQuery& table, std::string& out, std::string* error) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, table.sql, -1, &statement, nullptr) != SQLITE_OK) {
    *error = std::string("cannot read the inventory table ") + table.member + ": " + sqlite3_errmsg(db);
    return false;
  }
  out += '"';
  out += table.member;
  out += "\":[";
  const int columns = sqlite3_column_count(statement);
  int step = SQLITE_ROW;
  for (bool first = true; (step = sqlite3_step(statement)) == SQLITE_ROW; first = false) {
    out += first ? "[" : ",\n[";
    for (int c = 0; c < columns; ++c) {
      if (c > 0) out += ',';
      AppendValue(out, statement, c);
    }
    out += ']';
  }
  out += ']';
  if (step != SQLITE_DONE) *error = std::string("cannot read the inventory table ") + table.member + ": " + sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return step == SQLITE_DONE;
}

// The first row's first column of a query as text; empty when there is none.
std::string FirstValue(sqlite3* db, const char* sql, bool* ok) {
  sqlite3_stmt* statement = nullptr;
  std::string value;
  *ok = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK;
  if (*ok && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0)) {
    value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  sqlite3_finalize(statement);
  return value;
}

// The whole page of the database; false with *error when a table cannot be read.
bool BuildPage(sqlite3* db, std::string& page, std::string* error) {
  page = kPageStart;
  page += kExplorerStyle;
  page += "</style>\n</head>\n";
  page += kExplorerBody;
  page += "<script type=\"application/json\" id=\"zira-data\">{";
  for (const TableQuery& table : kTables) {
    if (&table != kTables) page += ",\n";
    if (!AppendTable(db, table, page, error)) return false;
  }
  page += "}</script>\n<script>\n";
  page += kExplorerScript;
  page += "</script>\n</body>\n</html>\n";
  return true;
}

Result WritePage(ClientFolder& folder, const std::string& page, const std::string& path, std::string* error) {
  OutputFile file;
  if (!file.OpenReplacing(folder, path.c_str())) {
    *error = "cannot write " + path + ": " + std::strerror(file.Error() ? file.Error() : EIO);
    return Fail("page cannot be created");
  }
  file.Write(page.data(), page.size());
  if (const int failure = file.Commit(); failure != 0) {
    *error = "cannot write " + path + ": " + std::strerror(failure);
    return Fail("page cannot be written");
  }
  return kSuccess;
}

}  // namespace

Result WriteExplorerPage(ClientFolder& folder, sqlite3* db, const std::string& path, std::string* error) {
  std::string page;
  if (!BuildPage(db, page, error)) return Fail("database cannot be read");
  return WritePage(folder, page, path, error);
}

ExplorerOutcome WriteExplorerPageFromFile(const std::string& databasePath, const std::string& path,
                                          std::string* error) {
  sqlite3* db = nullptr;
  const std::string uri = ReadOnlyFileUri(databasePath);
  if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    *error = databasePath + ": cannot be opened";
    return ExplorerOutcome::kNoDatabase;
  }
  bool ok = false;
  const std::string version = FirstValue(db, "PRAGMA user_version", &ok);
  const std::string runs = ok ? FirstValue(db, "SELECT count(*) FROM run", &ok) : std::string();
  ExplorerOutcome outcome = ExplorerOutcome::kNoDatabase;
  if (!ok || runs != "1") {
    *error = databasePath + ": not an inventory database";
  } else if (std::atoi(version.c_str()) != InventorySchemaVersion()) {
    *error = databasePath + ": an inventory database of schema version " + version + "; the explorer needs version " +
             std::to_string(InventorySchemaVersion()) + " (write it again with this zira's --db)";
  } else if (std::string page; BuildPage(db, page, error)) {
    // A page of its own, outside any run: names are taken from the process's folder.
    MachineRefusals refusals;
    ClientFolder folder(ProcessFolder(), refusals);
    outcome = Succeeded(WritePage(folder, page, path, error)) ? ExplorerOutcome::kWritten : ExplorerOutcome::kNotWritten;
  } else {
    *error = databasePath + ": " + *error;
  }
  sqlite3_close(db);
  return outcome;
}

std::string JsonText(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  for (const char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += byte;
    } else if (c < 0x20 || c >= 0x7f || c == '<' || c == '>' || c == '&') {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += byte;
    }
  }
  return out + '"';
}

}  // namespace zira
