#pragma once
#include <sqlite3.h>

#include <memory>

namespace zira {

// Owners of SQLite's handles: a statement is finalized and a connection
// closed when its owner goes, on every path, and neither can be copied.
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqlStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// sqlite3_close_v2: a connection whose statements are still open is closed
// when the last of them is finalized, whichever owner goes first.
struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqlConnection = std::unique_ptr<sqlite3, ConnectionCloser>;

// Opens a connection; the result, when not SQLITE_OK, is in *code. A failed
// open may still leave a handle, which holds the reason and is owned all the same.
inline SqlConnection OpenSqlConnection(const char* name, int flags, int* code) {
  sqlite3* db = nullptr;
  *code = sqlite3_open_v2(name, &db, flags, nullptr);
  return SqlConnection(db);
}

// Prepares the first statement of sql; null, with the reason in the
// connection, when it cannot be prepared.
inline SqlStatement PrepareSqlStatement(sqlite3* db, const char* sql, unsigned flags = 0) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db, sql, -1, flags, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  return SqlStatement(statement);
}

}  // namespace zira
