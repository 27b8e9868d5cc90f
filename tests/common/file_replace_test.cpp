// The sweep of killed writers' temporary files: only exact leftovers that no
// live writer holds go.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/file_replace.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;

TEST(FileReplaceTest, TheSweepRemovesOnlyLeftoversNobodyHolds) {
  testing::TempDir dir;
  const std::string target = dir / "inv.db";
  HeldTempFile live;
  ASSERT_TRUE(live.Create(target));
  struct Case {
    const char* name;
    bool removed;
  };
  const Case cases[] = {
      {".inv.db.tmp-a1B2c3", true},    // a killed writer's file
      {".inv.db.tmp-12345", false},    // too short for the pattern
      {".inv.db.tmp-1234567", false},  // too long
      {".inv.db.tmp-12_456", false},   // not letters and digits
      {".other.db.tmp-a1B2c3", false}, // another target's
      {"inv.db.tmp-a1B2c3", false},    // not hidden
  };
  for (const Case& c : cases) ASSERT_TRUE(testing::WriteTextFile(dir / c.name, "x"));
  fs::create_directory(dir / ".inv.db.tmp-folder");
  fs::create_symlink(live.Path(), dir / ".inv.db.tmp-linked");
  RemoveStaleTempFilesBeside(target);
  for (const Case& c : cases) EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
  EXPECT_TRUE(fs::exists(live.Path())) << "a live writer's file stays";
  EXPECT_TRUE(fs::is_directory(dir / ".inv.db.tmp-folder"));
  EXPECT_TRUE(fs::is_symlink(dir / ".inv.db.tmp-linked"));
}

}  // namespace
}  // namespace zira
