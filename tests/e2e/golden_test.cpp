// Runs the inventory on each sample edition and compares everything it
// prints and writes with the reviewed files under tests/golden/<edition>/.
// ZIRA_UPDATE_GOLDEN=1 rewrites those files instead (review the diff).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteTextFile;

// Timestamps, the current directory and the seconds figure change from run to run.
std::string Mask(const std::string& text) {
  std::string masked = std::regex_replace(text, std::regex(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] )"),
                                          "[YYYY-MM-DD HH:MM:SS] ");
  masked = std::regex_replace(masked, std::regex(R"(Current directory: [^\r\n]*)"), "Current directory: <dir>");
  masked = std::regex_replace(masked, std::regex(R"(files in \d+\.\d\d seconds\.)"), "files in <s> seconds.");
  return masked;
}

bool Updating() {
  const char* flag = std::getenv("ZIRA_UPDATE_GOLDEN");
  return flag != nullptr && flag[0] == '1';
}

void Compare(const std::string& edition, const std::string& name, const std::string& actual) {
  const std::string expectedPath = std::string(ZIRA_SOURCE_DIR) + "/tests/golden/" + edition + "/" + name;
  if (Updating()) {
    std::filesystem::create_directories(std::filesystem::path(expectedPath).parent_path());
    WriteTextFile(expectedPath, actual);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(expectedPath)) << expectedPath;
  const std::string expected = ReadTextFile(expectedPath);
  if (expected == actual) return;
  // Point at the first difference rather than dumping whole pages.
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t from = at > 200 ? at - 200 : 0;
  ADD_FAILURE() << edition << "/" << name << " differs at byte " << at << "\n--- expected:\n"
                << expected.substr(from, 400) << "\n--- actual:\n"
                << actual.substr(from, 400);
}

class GoldenTest : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenTest, SampleEditionOutputsMatchTheReviewedFiles) {
  const std::string edition = GetParam();
  TempDir dir;
  const unsigned id = edition == "Cobalt" ? 1 : edition == "Lirael" ? 2 : 3;
  ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), id, ""));

  std::string console;
  const int code = RunProgram(ZIRA_BINARY, dir.Path(), &console);
  Compare(edition, "console.txt", Mask(console) + "exit code " + std::to_string(code) + "\n");
  const std::string out = dir / "ZIRA/";
  Compare(edition, "ZIRA.log", Mask(ReadTextFile(out + edition + "_ZIRA.log")));
  for (const char* report : {"OBRaces_ModelCodes_DB.txt", "OBRaces.htm", "OBZoneInfo_DB.txt", "OBZones.htm"}) {
    Compare(edition, report, ReadTextFile(out + edition + "_" + report));
  }
}

// Packages are read and scanned ahead on the workers, in any order the
// threads take them: what a run writes must not depend on how many there are.
TEST_P(GoldenTest, EveryJobCountWritesTheReviewedFiles) {
  if (Updating()) GTEST_SKIP() << "the files are being rewritten";
  const std::string edition = GetParam();
  const unsigned id = edition == "Cobalt" ? 1 : edition == "Lirael" ? 2 : 3;
  for (const char* jobs : {"1", "2", "3", "8"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    TempDir dir;
    ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), id, ""));
    std::string console;
    const int code = RunProgram(ZIRA_BINARY, dir.Path(), {"--jobs", jobs}, &console, nullptr);
    const std::string reviewed = ReadTextFile(std::string(ZIRA_SOURCE_DIR) + "/tests/golden/" + edition + "/console.txt");
    EXPECT_EQ("exit code " + std::to_string(code) + "\n", reviewed.substr(reviewed.rfind("exit code "))) << console;
    const std::string out = dir / "ZIRA/";
    Compare(edition, "ZIRA.log", Mask(ReadTextFile(out + edition + "_ZIRA.log")));
    for (const char* report : {"OBRaces_ModelCodes_DB.txt", "OBRaces.htm", "OBZoneInfo_DB.txt", "OBZones.htm"}) {
      Compare(edition, report, ReadTextFile(out + edition + "_" + report));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Editions, GoldenTest, ::testing::Values("Cobalt", "Lirael", "MK2"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

}  // namespace
}  // namespace zira
