#include "common/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>

namespace zira {

Console::Console() { std::clearerr(stdout); }

// Marks the console broken when stdout took the bytes badly.
void Console::Check() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) broken_ = true;
}

void Console::Print(const char* format, ...) {
  if (format == nullptr || broken_) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  Check();
}

void Console::Write(const char* text) {
  if (text == nullptr || broken_) return;
  std::fputs(text, stdout);
  Check();
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
