#include "app/key_press.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace zira {

namespace {

// The signals that end a run at the key wait; each must give the terminal
// its echo back before the process goes.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kEndingSignalCount = sizeof(kEndingSignals) / sizeof(kEndingSignals[0]);

// Needs no saved copy of the terminal: the wait turns only line input and
// echo off, so turning them on again gives the terminal back as it was.
extern "C" void RestoreTerminalAndEnd(int signal) {
  termios now {};
  if (::tcgetattr(STDIN_FILENO, &now) == 0) {
    now.c_lflag |= ICANON | ECHO;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &now);
  }
  // Raised again with the default action, so the process ends with the
  // signal's usual status once this handler returns.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void WaitForKeyPress() {
  if (::isatty(STDIN_FILENO) == 0) return;
  termios savedTerminal {};
  if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;

  struct sigaction previous[kEndingSignalCount] = {};
  struct sigaction restore {};
  restore.sa_handler = RestoreTerminalAndEnd;
  sigemptyset(&restore.sa_mask);
  for (int i = 0; i < kEndingSignalCount; ++i) {
    ::sigaction(kEndingSignals[i], nullptr, &previous[i]);
    // A signal the caller chose to ignore stays ignored.
    if (previous[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &restore, nullptr);
  }

  termios raw = savedTerminal;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key = 0;
  [[maybe_unused]] const ssize_t got = ::read(STDIN_FILENO, &key, 1);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);

  for (int i = 0; i < kEndingSignalCount; ++i) ::sigaction(kEndingSignals[i], &previous[i], nullptr);
}

}  // namespace zira
