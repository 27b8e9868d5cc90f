// The key wait on a terminal: only a bare start waits.
// Skipped on Windows: a pseudo-terminal and fork; the console wait is checked by hand there.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace zira {
namespace {

using testing::TempDir;

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
