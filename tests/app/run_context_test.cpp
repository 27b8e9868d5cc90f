#include "app/run_context.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/run_driver.h"
#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::RunProgram;
using testing::TempDir;

struct Client {
  unsigned id;
  const char* edition;
};
constexpr Client kClients[] = {{1, "Cobalt"}, {3, "MK2"}};
constexpr const char* kOutputs[] = {"OBRaces_ModelCodes_DB.txt", "OBRaces.htm", "OBZoneInfo_DB.txt", "OBZones.htm",
                                    "ZIRA.log"};

// The console and every output of a run into out, with what differs from run
// to run by itself masked: the clock, the seconds taken and out's own name.
std::string Outputs(const std::string& out, const char* edition, const std::string& console) {
  std::string all = console;
  for (const char* name : kOutputs) {
    all += std::string("\n== ") + name + "\n" + ReadTextFile(out + "/" + edition + "_" + name);
  }
  all = std::regex_replace(all, std::regex(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] )"), "[<time>] ");
  all = std::regex_replace(all, std::regex(R"(in \d+\.\d\d seconds)"), "in <s> seconds");
  for (std::size_t at = all.find(out); at != std::string::npos; at = all.find(out, at)) {
    all.replace(at, out.size(), "<out>");
  }
  return all;
}

// Two runs of different clients in one process, in either order, give what
// each gives in a process of its own: nothing of one run reaches the next,
// and no run depends on the process's folder.
TEST(RunContextTest, TwoClientsInOneProcess) {
  TempDir dir;
  std::vector<std::string> folders;
  std::vector<std::string> alone;
  for (const Client& client : kClients) {
    const std::string folder = dir.MakeDir(client.edition);
    ASSERT_TRUE(testing::WriteSampleClient(folder, client.id, ""));
    std::string console;
    std::string errors;
    const std::string out = folder + "/alone";
    ASSERT_EQ(RunProgram(ZIRA_BINARY, folder, {"--output", out}, &console, &errors), 0) << console << errors;
    folders.push_back(folder);
    alone.push_back(Outputs(out, client.edition, console));
  }
  for (const bool reversed : {false, true}) {
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const std::size_t k = reversed ? folders.size() - 1 - i : i;
      SCOPED_TRACE(std::string(kClients[k].edition) + (reversed ? " in the reversed order" : ""));
      const std::string out = folders[k] + (reversed ? "/reversed" : "/in-order");
      ::testing::internal::CaptureStdout();
      const ExitCode code = RunInventory(
          {}, {.workingPath = folders[k], .outputPath = out, .waitForKey = false, .databasePath = "", .explorerPath = "", .jobs = 0});
      const std::string console = ::testing::internal::GetCapturedStdout();
      EXPECT_EQ(code, ExitCode::kDone) << console;
      EXPECT_EQ(Outputs(out, kClients[k].edition, console), alone[k]);
    }
  }
}

}  // namespace
}  // namespace zira
