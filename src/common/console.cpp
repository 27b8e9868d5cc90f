#include "common/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>

namespace zira {

namespace {

bool& Broken() {
  static bool broken = false;
  return broken;
}

// Marks the console broken when stdout took the bytes badly.
void CheckConsole() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) Broken() = true;
}

}  // namespace

void ConsolePrint(const char* format, ...) {
  if (format == nullptr || Broken()) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  CheckConsole();
}

void ConsoleWrite(const char* text) {
  if (text == nullptr || Broken()) return;
  std::fputs(text, stdout);
  CheckConsole();
}

bool ConsoleBroken() { return Broken(); }

void ResetConsole() {
  Broken() = false;
  std::clearerr(stdout);
}

void PrepareProcess() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is fd itself, as every lower one is open.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace zira
