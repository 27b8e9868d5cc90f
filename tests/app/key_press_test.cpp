// Skipped on Windows: a pseudo-terminal, fork and signals; the console wait is checked by hand there.
#include "app/key_press.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zira {
namespace {

bool EchoIsOn(int terminal) {
  termios settings {};
  return ::tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0 &&
         (settings.c_lflag & ICANON) != 0;
}

// Polls for a condition for up to five seconds.
template <typename Condition>
bool Within5Seconds(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A signal during the key wait must end the process as that signal would,
// and leave the terminal as it found it.
TEST(KeyPressTest, SignalDuringTheWaitRestoresTheTerminal) {
  for (const int signal : {SIGINT, SIGTERM}) {
    int master = -1;
    int terminal = -1;
    ASSERT_EQ(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    ASSERT_TRUE(EchoIsOn(terminal));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::dup2(terminal, STDIN_FILENO);
      WaitForKeyPress();
      ::_exit(0);
    }
    const bool waiting = Within5Seconds([&] { return !EchoIsOn(terminal); });
    ::kill(child, signal);
    int status = 0;
    const bool ended = Within5Seconds([&] { return ::waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
    }
    EXPECT_TRUE(waiting) << "the key wait never changed the terminal";
    EXPECT_TRUE(ended) << "signal " << signal << " did not end the key wait";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
    EXPECT_TRUE(EchoIsOn(terminal)) << "signal " << signal;
    ::close(master);
    ::close(terminal);
  }
}

}  // namespace
}  // namespace zira
