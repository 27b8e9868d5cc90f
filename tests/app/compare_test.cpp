// zira compare over the databases of a sample client and of a copy changed
// in known ways: it lists exactly those changes and what follows from them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "app/compare.h"
#include "e2e/inventory_run.h"
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
            "availability gained: zone 2 abc: race 60 M via skelzone_chr.s3d, imported\n"
            "availability gained: zone 2 abc: race 60 N via skelzone_chr.s3d, imported\n"
            "availability lost: zone 3 fairhold: race 1 M via fairhold_chr.s3d, local\n"
            "availability lost: zone 3 fairhold: race 130 M via fairhold_chr.s3d, local\n"
            "availability lost: zone 3 fairhold: race 130 F via fairhold_chr.s3d, local\n"
            "availability lost: zone 3 fairhold: race 522 M via fairhold_chr.s3d, local\n");
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
  // A database as version 1 had it: without what version 2 added.
  fs::copy_file(Db("before.db"), Db("v1.db"), fs::copy_options::overwrite_existing);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Db("v1.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "DROP VIEW availability_by_zone; DROP INDEX zones_expansion; DROP TABLE expansions;"
                         "ALTER TABLE races DROP COLUMN description; ALTER TABLE zones DROP COLUMN string_id;"
                         "ALTER TABLE zones DROP COLUMN string_name; ALTER TABLE zones DROP COLUMN min_level;"
                         "ALTER TABLE zones DROP COLUMN unknown7; ALTER TABLE zones DROP COLUMN unknown8;"
                         "PRAGMA user_version = 1;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK)
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

}  // namespace
}  // namespace zira
