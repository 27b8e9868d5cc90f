// The number of inflating threads changes nothing a run writes; a bad
// --jobs is refused before anything is read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::TempDir;

// Runs the inventory in directory with arguments; returns its exit code.
int RunWithArguments(const std::string& directory, const std::vector<std::string>& arguments) {
  std::string ignored;
  return testing::RunProgram(ZIRA_BINARY, directory, arguments, &ignored, &ignored);
}

TEST(JobsOptionTest, ReportsMatchTheReviewedFilesWithAnyJobCount) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"-j", "1"}, {"--jobs", "3"}, {"--jobs=2"}}) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    TempDir dir;
    ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), 3, ""));
    EXPECT_EQ(RunWithArguments(dir.Path(), arguments), 0);
    for (const char* report : {"OBRaces_ModelCodes_DB.txt", "OBRaces.htm", "OBZoneInfo_DB.txt", "OBZones.htm"}) {
      EXPECT_EQ(ReadTextFile(dir / (std::string("ZIRA/MK2_") + report)),
                ReadTextFile(std::string(ZIRA_SOURCE_DIR) + "/tests/golden/MK2/" + report))
          << report;
    }
  }
}

TEST(JobsOptionTest, BadJobCountsAreRefusedBeforeTheRun) {
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"--jobs", "0"}, {"-j", "x"}, {"--jobs"}, {"-j", "2", "a", "b"}, {"--threads", "2"}}) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    TempDir dir;
    ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), 3, ""));
    EXPECT_EQ(RunWithArguments(dir.Path(), arguments), 64);
    EXPECT_FALSE(std::filesystem::exists(dir / "ZIRA"));
  }
}

}  // namespace
}  // namespace zira
