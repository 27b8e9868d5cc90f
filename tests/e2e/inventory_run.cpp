#include "e2e/inventory_run.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "support/sample_client.h"

namespace zira::testing {

namespace {

// A word for sh: single-quoted, with each single quote closed, escaped and reopened.
std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

int RunZira(const std::string& directory, const std::vector<std::string>& args, std::string* output) {
  std::string command = "cd " + Quoted(directory) + " && " + Quoted(ZIRA_BINARY);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " </dev/null 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, n);
  const int status = ::pclose(pipe);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
