// The database export against its schema file, and what a failed write leaves.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "common/output_file.h"
#include "e2e/inventory_run.h"
#include "reports/inventory_database.h"
#include "reports/report_fixture.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;
using testing::QueryRows;

class InventoryDatabaseTest : public testing::ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    SetRace(1, "HUM", "HUF", "");
    SetDatabaseText(11, 1, "Human");
    ModelSource* global = AddSource("global_chr.s3d", 3);
    ModelSource* local = AddSource("abc_chr.s3d", 0);
    testing::SetList(AddModel(global, "HUM", 1, 1)->textures, {1, 2, 3});
    AddModel(local, "HUF", 1, 2);
    SetZone(2, "abc", "Abc Caverns");
    Links(2)->chrSource = local;
  }

  std::string Path() const { return OutputPath() + "/inventory.db"; }
  static std::string Bytes(const std::string& path) { return testing::ReadTextFile(path); }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(OutputPath())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(InventoryDatabaseTest, TheCreatedDatabaseIsTheSchemaFileWithACommentOnEveryColumn) {
  const std::string schema = testing::ReadTextFile(std::string(ZIRA_SOURCE_DIR) + "/docs/schema.sql");
  ASSERT_EQ(schema, InventorySchemaText()) << "the program carries a stale copy of docs/schema.sql";
  ASSERT_TRUE(Succeeded(ExportInventoryDatabase(run().log, inv(), Path(), 0)));

  sqlite3* written = nullptr;
  sqlite3* fromFile = nullptr;
  ASSERT_EQ(sqlite3_open(Path().c_str(), &written), SQLITE_OK);
  ASSERT_EQ(sqlite3_open(":memory:", &fromFile), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(fromFile, schema.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string objects = "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY name";
  EXPECT_EQ(QueryRows(written, objects), QueryRows(fromFile, objects));
  EXPECT_EQ(QueryRows(written, "PRAGMA user_version"), std::vector<std::string>{std::to_string(InventorySchemaVersion())});
  EXPECT_EQ(QueryRows(fromFile, "PRAGMA user_version"), QueryRows(written, "PRAGMA user_version"));
  EXPECT_EQ(QueryRows(written, "PRAGMA foreign_key_check"), std::vector<std::string>{});

  // Each column's line in its table's definition carries a comment.
  for (const std::string& table : QueryRows(written, "SELECT name FROM sqlite_schema WHERE type = 'table'")) {
    const std::regex definition("CREATE TABLE " + table + " \\(([\\s\\S]*?)\\n\\)");
    std::smatch body;
    ASSERT_TRUE(std::regex_search(schema, body, definition)) << table;
    const std::string text = body[1].str();
    for (const std::string& info : QueryRows(written, "SELECT name FROM pragma_table_info('" + table + "')")) {
      EXPECT_TRUE(std::regex_search(text, std::regex("(^|\\n)\\s*" + info + "\\s[^\\n]*--")))
          << table << "." << info << " has no comment";
    }
  }
  sqlite3_close(written);
  sqlite3_close(fromFile);
}

TEST_F(InventoryDatabaseTest, EveryZoneGetsTheGlobalRowsAndTheEnumeratedColumnsRefuseOtherValues) {
  SetZone(5, "def", "Def Downs");
  ASSERT_TRUE(Succeeded(ExportInventoryDatabase(run().log, inv(), Path(), 0)));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(QueryRows(db, "SELECT zone_id, gender, reach FROM availability_by_zone ORDER BY zone_id, gender"),
            (std::vector<std::string>{"2|F|local", "2|M|global", "5|M|global"}));
  for (const char* bad : {
           "UPDATE sources SET kind = 5", "UPDATE sources SET orphan = 2", "UPDATE races SET playable = -1",
           "UPDATE models SET gender = 'X'", "UPDATE variations SET kind = 'cape'", "UPDATE variations SET number = 0",
           "UPDATE availability SET gender = 'm'", "UPDATE availability SET reach = 'near'",
           "UPDATE availability SET zone_id = NULL WHERE reach = 'local'", "UPDATE zones SET min_level = 256"}) {
    EXPECT_NE(sqlite3_exec(db, bad, nullptr, nullptr, nullptr), SQLITE_OK) << bad;
  }
  sqlite3_close(db);
}

TEST_F(InventoryDatabaseTest, AFailedWriteLeavesNoDatabaseAndTheOldOneWhole) {
  // No old database: whatever step fails, nothing is left behind.
  DatabaseFaults faults;
  ASSERT_TRUE(Succeeded(ExportInventoryDatabase(run().log, inv(), Path(), 0, &faults)));
  const int checkpoints = faults.checkpoints;
  ASSERT_GT(checkpoints, 10);
  const std::string old = Bytes(Path());
  fs::remove(Path());

  // The first step, one in the middle, the commit and the rename.
  for (const int failAt : {0, 1, checkpoints / 2, checkpoints - 2, checkpoints - 1}) {
    SCOPED_TRACE(failAt);
    faults.failurePoint = failAt;
    EXPECT_TRUE(Failed(ExportInventoryDatabase(run().log, inv(), Path(), 0, &faults)));
    EXPECT_EQ(Entries(), std::vector<std::string>{});
  }

  // An old database stays as it was, byte for byte, and no temporary file remains.
  faults.failurePoint = -1;
  ASSERT_TRUE(Succeeded(ExportInventoryDatabase(run().log, inv(), Path(), 0)));
  ASSERT_EQ(Bytes(Path()), old);
  AddModel(&inv().sources[0], "HUF", 1, 2);
  for (const int failAt : {0, checkpoints / 2, checkpoints - 1}) {
    SCOPED_TRACE(failAt);
    faults.failurePoint = failAt;
    logLines_.clear();
    EXPECT_TRUE(Failed(ExportInventoryDatabase(run().log, inv(), Path(), 0, &faults)));
    EXPECT_EQ(Bytes(Path()), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"inventory.db"});
    ASSERT_FALSE(logLines_.empty());
    EXPECT_NE(logLines_.back().second.find("FAILURE: Could not write the inventory database"), std::string::npos);
  }
  faults.failurePoint = -1;
  // The rename of the file layer, which every output is replaced through.
  FileFaults files;
  files.Inject(FileOperation::kRename, 1, ENOSPC);
  faults.files = &files;
  EXPECT_TRUE(Failed(ExportInventoryDatabase(run().log, inv(), Path(), 0, &faults)));
  faults.files = nullptr;
  EXPECT_EQ(Bytes(Path()), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"inventory.db"});

  // A directory that does not exist: nothing is created.
  EXPECT_TRUE(Failed(ExportInventoryDatabase(run().log, inv(), OutputPath() + "/missing/inventory.db", 0)));
  EXPECT_FALSE(fs::exists(OutputPath() + "/missing"));
  // The new database replaces the old one once it is complete.
  ASSERT_TRUE(Succeeded(ExportInventoryDatabase(run().log, inv(), Path(), 0)));
  EXPECT_NE(Bytes(Path()), old);
}

}  // namespace
}  // namespace zira
