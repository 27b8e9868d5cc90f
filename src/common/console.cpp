#include "common/console.h"

#include <cstdarg>
#include <cstdio>

#include "common/platform.h"

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

void PrepareProcess() { PrepareStandardStreams(); }

}  // namespace zira
