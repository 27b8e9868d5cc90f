#include "e2e/inventory_run.h"

#include <gtest/gtest.h>

#include "support/sample_client.h"
#include "support/temp_dir.h"

namespace zira::testing {

int RunZira(const std::string& directory, const std::vector<std::string>& args, std::string* output) {
  return RunProgramBounded(ZIRA_BINARY, directory, args, -1, output);
}

int WriteSampleDatabase(const std::string& folder, unsigned editionId, const std::string& database) {
  if (!WriteSampleClient(folder, editionId, "")) return -1;
  return RunZira(folder, {"--db", database}, nullptr);
}

std::vector<std::string> QueryRows(sqlite3* db, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  while (statement && sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row += (i ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  return rows;
}

}  // namespace zira::testing
