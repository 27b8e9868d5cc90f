// What --db may replace: every kind of target, checked before the client is
// read, by what the file is and not by how it is spelled.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <string>

#include "e2e/inventory_run.h"
#include "reports/inventory_database.h"
#include "support/database_versions.h"
#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;

// A database made from the schema text with extra statements after it and,
// for the first release's look, without the mark.
void WriteDatabase(const std::string& path, bool marked, const std::string& extra) {
  std::string schema = InventorySchemaText();
  if (!marked) schema += testing::kDowngradeToFirstRelease;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, (schema + extra).c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

std::string Listing(const std::string& folder) {
  std::string names;
  if (fs::is_directory(folder)) {
    for (const auto& entry : fs::directory_iterator(folder)) names += entry.path().filename().string() + " ";
  }
  return names;
}

// The name of a file as it is on disk: the sample client mixes letter case.
std::string OnDisk(const std::string& folder, const std::string& lower) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == lower) return entry.path().string();
  }
  return folder + "/" + lower;
}

TEST(DatabaseTargetTest, ReplacesOnlyNothingAnEmptyFileOrAnInventoryDatabase) {
  testing::TempDir dir;
  const std::string client = dir / "client";
  ASSERT_TRUE(testing::WriteSampleClient(client, 1, ""));
  const std::string exe = OnDisk(client, "obgame.exe");
  struct Case {
    const char* name;
    // Makes what stands at the target in the case's folder; the target's path.
    std::function<std::string(const std::string& folder)> plant;
    const char* refusal;  // nullptr: the database is written
  };
  const Case cases[] = {
      {"missing", [](const std::string& f) { return f + "/inv.db"; }, nullptr},
      {"empty", [](const std::string& f) { return testing::WriteTextFile(f + "/inv.db", ""), f + "/inv.db"; }, nullptr},
      {"ours", [](const std::string& f) { return WriteDatabase(f + "/inv.db", true, ""), f + "/inv.db"; }, nullptr},
      {"first release", [](const std::string& f) { return WriteDatabase(f + "/inv.db", false, ""), f + "/inv.db"; },
       nullptr},
      {"first release with a view",
       [](const std::string& f) {
         return WriteDatabase(f + "/inv.db", false, "CREATE VIEW v AS SELECT 1;"), f + "/inv.db";
       },
       "it is not a zira inventory database"},
      {"text file",
       [](const std::string& f) { return testing::WriteTextFile(f + "/inv.db", "notes\n"), f + "/inv.db"; },
       "it is not a zira inventory database (file is not a database)"},
      {"foreign SQLite",
       [](const std::string& f) {
         sqlite3* db = nullptr;
         sqlite3_open((f + "/inv.db").c_str(), &db);
         sqlite3_exec(db, "CREATE TABLE run (x); PRAGMA user_version = 1;", nullptr, nullptr, nullptr);
         sqlite3_close(db);
         return f + "/inv.db";
       },
       "it is not a zira inventory database"},
      {"the client", [&exe](const std::string&) { return exe; }, "the run reads it"},
      {"the client by a hard link",
       [&exe](const std::string& f) { return fs::create_hard_link(exe, f + "/x.db"), f + "/x.db"; },
       "the run reads it"},
      {"a package name in the client folder", [&client](const std::string&) { return client + "/new_chr.s3d"; },
       "the run may read it"},
      {"a report", [](const std::string& f) { return testing::WriteTextFile(f + "/out/Cobalt_OBRaces.htm", "page"),
                                               f + "/out/Cobalt_OBRaces.htm"; },
       "it is one of the run's outputs"},
      {"the log, not yet there", [](const std::string& f) { return f + "/out/COBALT_zira.log"; },
       "it is one of the run's outputs"},
      {"the lock", [](const std::string& f) { return f + "/out/.zira.lock"; }, "it is one of the run's outputs"},
      {"a FIFO", [](const std::string& f) { return testing::MakeFifo(f + "/inv.db") ? f + "/inv.db" : ""; },
       "it is a FIFO"},
      {"a device", [](const std::string&) { return testing::NullDevice(); }, "it is a device"},
      {"a folder", [](const std::string& f) { return f + "/out"; }, "it is a folder"},
      {"a link to ours",
       [](const std::string& f) {
         WriteDatabase(f + "/ours.db", true, "");
         std::error_code error;
         fs::create_symlink("ours.db", f + "/inv.db", error);
         return error ? "" : f + "/inv.db";
       },
       "it is a symbolic link"},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir.MakeDir("case" + std::to_string(++number));
    fs::create_directory(folder + "/out");
    const std::string target = c.plant(folder);
    if (target.empty()) continue;  // a system that cannot make it
    const bool regular = fs::is_regular_file(fs::symlink_status(target));
    const std::string before = regular ? testing::ReadTextFile(target) : "";
    const std::string outputs = Listing(folder + "/out");
    std::string output;
    const int code = testing::RunZira(client, {"-o", folder + "/out", "--db", target}, &output);
    std::string why;
    if (c.refusal == nullptr) {
      EXPECT_EQ(code, 0) << output;
      EXPECT_TRUE(FileHasInventoryMark(target, &why)) << why;
      continue;
    }
    EXPECT_EQ(code, 6);
    EXPECT_EQ(output.rfind("FAILURE: Will not write the inventory database to " + target + ": " + c.refusal, 0), 0u)
        << output;
    EXPECT_EQ(Listing(folder + "/out"), outputs) << "nothing is written";
    if (regular) {
      EXPECT_EQ(testing::ReadTextFile(target), before);
    }
  }
}

}  // namespace
}  // namespace zira
