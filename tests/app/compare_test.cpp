// zira compare over the databases of a sample client and of a copy changed
// in known ways: it lists exactly those changes and what follows from them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/compare.h"
#include "e2e/inventory_run.h"
#include "support/database_versions.h"
#include "support/package_writer.h"
#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class InventoryCompareTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir();
    const std::string before = dir_->Path() + "/before";
    const std::string after = dir_->Path() + "/after";
    ASSERT_TRUE(testing::WriteSampleClient(before, 1, ""));
    fs::copy(before, after, fs::copy_options::recursive);
    // A zone's own package removed.
    fs::remove(after + "/Fairhold_chr.s3d");
    // A race renamed in the string database.
    const std::string strings = after + "/DBStr_US.txt";
    ASSERT_TRUE(testing::WriteTextFile(
        strings, Replaced(testing::ReadTextFile(strings), "2^11^Borderer^0", "2^11^Northman^0")));
    // An entry added to a zone's import list: the skeleton of another zone.
    ASSERT_TRUE(testing::WriteTextFile(after + "/abc_chr.txt", "2\r\nIRM, irpack\r\nSKE, skelzone_chr\r\n"));
    // A texture added to an orphan's package.
    testing::PackageWriter orphan;
    for (const char* name : {"orp.mod", "c_orp_02_c.dds", "c_orp_04_c.dds"}) orphan.AddTextEntry(name, name);
    ASSERT_TRUE(orphan.WriteTo(after + "/ORP.obg"));

    // Started elsewhere and pointed at the client by ZIRA.ini: a relative
    // database path is taken from where zira was started.
    const std::string start = dir_->MakeDir("start");
    ASSERT_TRUE(testing::WriteTextFile(start + "/ZIRA.ini", "obpath=" + before + "\r\n"));
    ASSERT_EQ(testing::RunZira(start, {"--db", "../before.db"}, nullptr), 0);
    ASSERT_EQ(testing::RunZira(after, {"--db", "../after.db"}, nullptr), 0);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  static std::string Db(const std::string& name) { return dir_->Path() + "/" + name; }

  static testing::TempDir* dir_;
};

testing::TempDir* InventoryCompareTest::dir_ = nullptr;

TEST_F(InventoryCompareTest, ListsExactlyTheChangesAndTheirConsequences) {
  std::string report;
  std::string error;
  EXPECT_EQ(CompareInventories(Db("before.db"), Db("after.db"), &report, &error), kCompareDiffers) << error;
  EXPECT_EQ(report,
            "race renamed: 2 Borderer -> Northman\n"
            "source removed: fairhold_chr.s3d\n"
            "model removed: fairhold_chr.s3d DSM\n"
            "model removed: fairhold_chr.s3d HUM\n"
            "model removed: fairhold_chr.s3d KAF\n"
            "model removed: fairhold_chr.s3d KAM\n"
            "variation gained: orp.obg (orphan) ORP texture 4\n"
            "import added: zone 2 abc: SKE from skelzone_chr.s3d\n"
            "availability gained: zone 2 abc: race 60 Skeleton M via skelzone_chr.s3d, imported\n"
            "availability gained: zone 2 abc: race 60 Skeleton N via skelzone_chr.s3d, imported\n"
            "availability lost: zone 3 fairhold: race 1 Human M via fairhold_chr.s3d, local\n"
            "availability lost: zone 3 fairhold: race 130 Kestrel Kin M via fairhold_chr.s3d, local\n"
            "availability lost: zone 3 fairhold: race 130 Kestrel Kin F via fairhold_chr.s3d, local\n"
            "availability lost: zone 3 fairhold: race 522 Dawnscale M via fairhold_chr.s3d, local\n");
}

TEST_F(InventoryCompareTest, ADatabaseAgainstItselfPrintsNothing) {
  std::string output;
  EXPECT_EQ(testing::RunZira(dir_->Path(), {"compare", "before.db", "before.db"}, &output), kCompareSame);
  EXPECT_EQ(output, "");
  // The other way round, the same facts turn into their opposites.
  std::string forward, backward, error;
  ASSERT_EQ(CompareInventories(Db("before.db"), Db("after.db"), &forward, &error), kCompareDiffers);
  ASSERT_EQ(CompareInventories(Db("after.db"), Db("before.db"), &backward, &error), kCompareDiffers);
  EXPECT_NE(backward.find("race renamed: 2 Northman -> Borderer\n"), std::string::npos);
  EXPECT_NE(backward.find("source added: fairhold_chr.s3d\n"), std::string::npos);
}

TEST_F(InventoryCompareTest, AVersionOneDatabaseComparesAsItsNewerSelf) {
  // A database as the first release wrote it.
  fs::copy_file(Db("before.db"), Db("v1.db"), fs::copy_options::overwrite_existing);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Db("v1.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, testing::kDowngradeToFirstRelease, nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
  std::string fromV1, fromV2, error;
  EXPECT_EQ(CompareInventories(Db("v1.db"), Db("before.db"), &fromV1, &error), kCompareSame) << error;
  EXPECT_EQ(CompareInventories(Db("v1.db"), Db("after.db"), &fromV1, &error), kCompareDiffers) << error;
  EXPECT_EQ(CompareInventories(Db("before.db"), Db("after.db"), &fromV2, &error), kCompareDiffers) << error;
  EXPECT_EQ(fromV1, fromV2);
}

TEST_F(InventoryCompareTest, TroubleIsExitCodeTwo) {
  // A file that is not there, one that is not a database, a database that is not an inventory.
  ASSERT_TRUE(testing::WriteTextFile(Db("text.db"), "not a database"));
  sqlite3* empty = nullptr;
  ASSERT_EQ(sqlite3_open(Db("other.db").c_str(), &empty), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(empty, "CREATE TABLE t (x); PRAGMA user_version = 7;", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(empty);
  for (const char* bad : {"missing.db", "text.db", "other.db"}) {
    SCOPED_TRACE(bad);
    std::string output;
    EXPECT_EQ(testing::RunZira(dir_->Path(), {"compare", "before.db", bad}, &output), kCompareTrouble);
    EXPECT_NE(output.find(bad), std::string::npos) << output;
    EXPECT_EQ(testing::RunZira(dir_->Path(), {"compare", bad, "before.db"}, &output), kCompareTrouble);
  }
  EXPECT_FALSE(fs::exists(Db("missing.db"))) << "a compare must not create what it reads";
  EXPECT_EQ(testing::RunZira(dir_->Path(), {"compare", "before.db"}, nullptr), kCompareTrouble);
}

// A copy of a database changed by SQL.
void CopyChanged(const std::string& from, const std::string& to, const char* sql) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(to.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST_F(InventoryCompareTest, HostileInputsAndTheOptions) {
  const bool haveFifo = testing::MakeFifo(Db("fifo.db"));
  const std::string device = testing::NullDevice();
  CopyChanged(Db("before.db"), Db("foreign.db"), "PRAGMA application_id = 42;");  // another program's mark
  CopyChanged(Db("before.db"), Db("view.db"),
              "DROP TABLE zone_imports; "
              "CREATE VIEW zone_imports AS SELECT 2 AS zone_id, 0 AS position, 1 AS model_id;");
  CopyChanged(Db("before.db"), Db("recursive.db"),
              "DROP TABLE availability; CREATE VIEW availability AS WITH RECURSIVE c(x) AS "
              "(SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT NULL AS zone_id, x AS race_id, 'M' AS gender, "
              "1 AS source_id, 'global' AS reach, 1 AS model_id FROM c;");
  CopyChanged(Db("before.db"), Db("control.db"),
              "UPDATE races SET name = 'Bad' || char(10) || 'race 9: forged' || char(27) || '[31m' || char(9) || "
              "char(127) WHERE race_id = 2;");
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string shown;  // a line (or the start of the output) the command prints
  };
  const Case cases[] = {
      {{"fifo.db", "before.db"}, kCompareTrouble,
       "zira compare: fifo.db: cannot be opened: a FIFO, not a regular file"},
      {{"before.db", device}, kCompareTrouble, device + ": cannot be opened: a device or socket"},
      {{"before.db", "nowhere.db"}, kCompareTrouble, "nowhere.db: cannot be opened: No such file or directory"},
      {{"foreign.db", "before.db"}, kCompareTrouble, "zira compare: foreign.db: is not a zira inventory database\n"},
      {{"before.db", "view.db"}, kCompareTrouble, "view.db: is not a zira inventory database (a table it should"},
      {{"recursive.db", "before.db"}, kCompareTrouble, "recursive.db: is not a zira inventory database (a table"},
      {{"before.db", "control.db"}, kCompareDiffers,
       "race renamed: 2 Borderer -> Bad\\x0Arace 9: forged\\x1B[31m\\x09\\x7F\n"},
      {{"--format=tsv", "before.db", "control.db"}, kCompareDiffers,
       "fact\tchange\tzone_id\tzone_nick\trace_id\trace_name\tgender\tsource\tmodel\tvariation\treach\told\tnew\n"
       "race\trenamed\t\t\t2\t\t\t\t\t\t\tBorderer\tBad\\x0Arace 9: forged\\x1B[31m\\x09\\x7F\n"},
      {{"before.db", "--format=tsv", "after.db"}, kCompareDiffers,
       "availability\tgained\t2\tabc\t60\tSkeleton\tM\tskelzone_chr.s3d\t\t\timported\t\t\n"},
      {{"--format=tsv", "before.db", "before.db"}, kCompareSame, "fact\tchange\t"},
      {{"--format=json", "before.db", "after.db"}, kCompareTrouble, "unknown format 'json'"},
      {{"--help"}, 0, "Usage: zira compare [OPTION]... OLD.db NEW.db\n"},
      {{"-h"}, 0, "Usage: zira compare"},
      {{"--version"}, 0, "zira "},
  };
  for (const Case& c : cases) {
    if (c.args.front() == "fifo.db" && !haveFifo) continue;  // a system without FIFOs
    std::vector<std::string> args{"compare"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    std::string output;
    EXPECT_EQ(testing::RunZira(dir_->Path(), args, &output), c.code);
    EXPECT_NE(output.find(c.shown), std::string::npos) << output;
  }
  // Every query is bounded: with a small budget the comparison stops with its reason.
  std::string report, error;
  EXPECT_EQ(CompareInventories(Db("before.db"), Db("after.db"), &report, &error, CompareFormat::kPlain, 20'000),
            kCompareTrouble);
  EXPECT_NE(error.find("took too long"), std::string::npos) << error;
}

}  // namespace
}  // namespace zira
