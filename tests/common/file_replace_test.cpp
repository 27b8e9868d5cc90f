// The sweep of killed writers' temporary files: only leftovers of either
// naming that no live writer holds go.
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
  FileReplacement live;
  ASSERT_EQ(live.Begin(target), 0);
  struct Case {
    const char* name;
    bool removedBeside;  // by the sweep beside inv.db
    bool removedByAll;   // by the sweep of the whole folder
  };
  const Case cases[] = {
      {".inv.db.tmp-a1B2c3", true, false},    // a killed writer's file (the whole-folder sweep runs second)
      {".inv.db.tmp-12345", true, false},     // an earlier release's, named after its pid
      {".inv.db.tmp-1234567", true, false},   // the same with a longer pid
      {".inv.db.tmp-a1B2c", false, false},    // too short for the pattern
      {".inv.db.tmp-a1B2c3d", false, false},  // too long
      {".inv.db.tmp-12_456", false, false},   // not letters and digits
      {".other.db.tmp-a1B2c3", false, true},  // another target's
      {".a.tmp-9", false, true},              // another target's, an earlier release's
      {"inv.db.tmp-a1B2c3", false, false},    // not hidden
      {".tmp-123456", false, false},          // no name before the mark
  };
  for (const Case& c : cases) ASSERT_TRUE(testing::WriteTextFile(dir / c.name, "x"));
  fs::create_directory(dir / ".inv.db.tmp-folder");
  std::error_code noLinks;  // a system (Wine) that cannot make one
  fs::create_symlink(live.TemporaryPath(), dir / ".inv.db.tmp-linked", noLinks);
  RemoveLeftoverTemporaries(dir.Path(), "inv.db");
  for (const Case& c : cases) EXPECT_EQ(fs::exists(dir / c.name), !c.removedBeside) << c.name;
  RemoveLeftoverTemporaries(dir.Path());
  for (const Case& c : cases) EXPECT_EQ(fs::exists(dir / c.name), !c.removedBeside && !c.removedByAll) << c.name;
  EXPECT_TRUE(fs::exists(live.TemporaryPath())) << "a live writer's file stays";
  EXPECT_TRUE(fs::is_directory(dir / ".inv.db.tmp-folder"));
  EXPECT_TRUE(noLinks || fs::is_symlink(dir / ".inv.db.tmp-linked"));
}

}  // namespace
}  // namespace zira
