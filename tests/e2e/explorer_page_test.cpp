// The explorer page as zira writes it: the same page from a run's
// --explorer and from `zira explore` over that run's database, a hostile
// name kept inside the data, and the refusals.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "app/command_line.h"
#include "app/explore.h"
#include "e2e/inventory_run.h"
#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;

class ExplorerPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir();
    ASSERT_TRUE(testing::WriteSampleClient(Path("client"), 1, ""));
    ASSERT_EQ(testing::RunZira(Path("client"), {"--db", "../inventory.db", "--explorer", "../run.html"}, nullptr), 0);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Path(const std::string& name) { return dir_->Path() + "/" + name; }
  static testing::TempDir* dir_;
};
testing::TempDir* ExplorerPageTest::dir_ = nullptr;

TEST_F(ExplorerPageTest, ExploreGivesTheRunsPageFromItsDatabaseAndAHostileNameStaysInsideTheData) {
  ASSERT_EQ(testing::RunZira(dir_->Path(), {"explore", "inventory.db", "explore.html"}, nullptr), kExploreWritten);
  const std::string page = testing::ReadTextFile(Path("run.html"));
  EXPECT_EQ(testing::ReadTextFile(Path("explore.html")), page);
  EXPECT_NE(page.find("\"races\":[[1,"), std::string::npos);
  EXPECT_EQ(page.find("://"), std::string::npos) << "the page refers to nothing outside itself";

  // A name that would end the script element and open another one.
  fs::copy_file(Path("inventory.db"), Path("hostile.db"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Path("hostile.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE races SET name = '</script><script>alert(1)</script>' WHERE race_id = 1",
                         nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  ASSERT_EQ(testing::RunZira(dir_->Path(), {"explore", "hostile.db", "hostile.html"}, nullptr), kExploreWritten);
  const std::string hostile = testing::ReadTextFile(Path("hostile.html"));
  EXPECT_NE(hostile.find(R"("\u003c/script\u003e\u003cscript\u003ealert(1))"), std::string::npos);
  EXPECT_EQ(hostile.find("<script>alert"), std::string::npos);
}

TEST_F(ExplorerPageTest, WhatCannotBeReadOrWrittenIsRefusedAndNothingIsLeftBehind) {
  ASSERT_TRUE(testing::WriteTextFile(Path("text.db"), "not a database"));
  fs::copy_file(Path("inventory.db"), Path("old.db"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Path("old.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  // Version 2 in name, but a column short.
  fs::copy_file(Path("inventory.db"), Path("short.db"));
  ASSERT_EQ(sqlite3_open(Path("short.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "ALTER TABLE zones DROP COLUMN string_name", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  fs::create_directory(Path("folder.html"));
  const struct {
    std::vector<std::string> args;
    int code;
    const char* says;
  } kCases[] = {
      {{"explore", "missing.db", "out.html"}, kExploreNoDatabase, "missing.db: cannot be opened"},
      {{"explore", "text.db", "out.html"}, kExploreNoDatabase, "text.db: not an inventory database"},
      {{"explore", "old.db", "out.html"}, kExploreNoDatabase, "schema version 1; the explorer needs version 2"},
      {{"explore", "short.db", "out.html"}, kExploreNoDatabase, "short.db: cannot read the inventory table zones"},
      {{"explore", "inventory.db", "no/such/folder.html"}, kExploreNotWritten, "cannot write no/such/folder.html"},
      {{"explore", "inventory.db", "folder.html"}, kExploreNotWritten, "cannot write folder.html"},
      {{"explore", "inventory.db"}, kUsageExitCode, "usage: zira explore INVENTORY.db PAGE.html"},
      {{"--explorer="}, kUsageExitCode, "empty explorer page name"},
      // A run whose page cannot be written finishes, as with any other output, with 6.
      {{"--explorer", "no/such/folder.html", "client"}, 6, "FAILURE: Could not write the explorer page"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    std::string output;
    EXPECT_EQ(testing::RunZira(dir_->Path(), c.args, &output), c.code);
    EXPECT_NE(output.find(c.says), std::string::npos) << output;
  }
  EXPECT_FALSE(fs::exists(Path("out.html")));
  EXPECT_FALSE(fs::exists(Path("missing.db"))) << "explore must not create what it reads";
  EXPECT_TRUE(fs::is_directory(Path("folder.html")));
}

}  // namespace
}  // namespace zira
