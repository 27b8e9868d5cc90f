// Runs started from the command line: a client folder given as an argument,
// and the output folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;
using testing::ReadTextFile;
using testing::RunProgram;
using testing::TempDir;

// What changes with the time and the folders a run starts from.
std::string Mask(const std::string& text) {
  std::string masked = std::regex_replace(text, std::regex(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] )"), "[time] ");
  masked = std::regex_replace(masked, std::regex(R"(Current directory: [^\r\n]*)"), "Current directory: <dir>");
  masked = std::regex_replace(masked, std::regex(R"(Logging to [^\n]*)"), "Logging to <log>");
  return std::regex_replace(masked, std::regex(R"(files in \d+\.\d\d seconds\.)"), "files in <s> seconds.");
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CommandLineRunsTest, AFolderArgumentRunsAsIfStartedInside) {
  TempDir root;
  ASSERT_TRUE(testing::WriteSampleClient(root / "inside", 3, ""));
  std::string reference;
  ASSERT_EQ(RunProgram(ZIRA_BINARY, root / "inside", &reference), 0);
  const std::string referenceOut = root / "inside/ZIRA";

  struct Row {
    std::string start;  // below root
    std::vector<std::string> arguments;
    std::string outputs;  // below root
  };
  const Row rows[] = {
      {"elsewhere", {"../client"}, "client/ZIRA"},
      {"elsewhere", {root / "client/"}, "client/ZIRA"},
      {"elsewhere", {"-o", "out", "../client"}, "elsewhere/out"},
      {"client", {"--output=../reports"}, "reports"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    fs::remove_all(root / "client");
    ASSERT_TRUE(testing::WriteSampleClient(root / "client", 3, ""));
    fs::remove_all(root / "elsewhere");
    root.MakeDir("elsewhere");
    std::string console;
    std::string errors;
    ASSERT_EQ(RunProgram(ZIRA_BINARY, root / row.start, row.arguments, &console, &errors), 0) << console;
    EXPECT_EQ(errors, "");
    EXPECT_EQ(Mask(console), Mask(reference));
    const std::string out = root / row.outputs;
    ASSERT_EQ(FilesIn(out), FilesIn(referenceOut));
    for (const std::string& name : FilesIn(out)) {
      SCOPED_TRACE(name);
      EXPECT_EQ(Mask(ReadTextFile(out + "/" + name)), Mask(ReadTextFile(referenceOut + "/" + name)));
    }
    // Nothing lands where the command was started unless asked for.
    if (row.outputs.rfind("elsewhere", 0) != 0) {
      EXPECT_TRUE(fs::is_empty(root / "elsewhere"));
    }
  }
}

}  // namespace
}  // namespace zira
