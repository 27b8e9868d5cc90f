// Runs started from the command line: a client folder given as an argument,
// the output folder, and the key wait on a terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
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

// Runs zira with its standard input, output and error on a pseudo-terminal in
// a folder without a client, where every run ends in FinishRun. Tells whether
// it waited for a key before it exited.
bool WaitedForKey(const std::string& folder, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "zira");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    if (::chdir(folder.c_str()) == 0) ::execv(ZIRA_BINARY, argv.data());
    ::_exit(127);
  }
  EXPECT_GT(child, 0);
  if (child <= 0) return false;
  // Read until the run has said its last line (or the terminal closed).
  std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen.find("Ombrith directory.") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd ready {terminal, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) continue;
    char buffer[512];
    const ssize_t n = ::read(terminal, buffer, sizeof(buffer));
    if (n <= 0) break;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_NE(seen.find("Ombrith directory."), std::string::npos) << seen;
  int status = 0;
  bool exited = false;
  for (int i = 0; i < 20 && !exited; ++i) {
    exited = ::waitpid(child, &status, WNOHANG) == child;
    if (!exited) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!exited) {
    EXPECT_EQ(::write(terminal, "x", 1), 1);
    EXPECT_EQ(::waitpid(child, &status, 0), child);
  }
  ::close(terminal);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  return !exited;
}

TEST(CommandLineRunsTest, OnATerminalOnlyABareStartWaitsForAKey) {
  const struct {
    std::vector<std::string> arguments;
    bool waits;
  } rows[] = {
      {{}, true},
      {{"."}, false},
      {{"-o", "out"}, false},
      {{"--"}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    TempDir dir;
    EXPECT_EQ(WaitedForKey(dir.Path(), row.arguments), row.waits);
  }
}

}  // namespace
}  // namespace zira
