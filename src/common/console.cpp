#include "common/console.h"

#include <cstdarg>
#include <cstdio>

namespace zira {

void ConsolePrint(const char* format, ...) {
  if (format == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

void ConsoleWrite(const char* text) {
  if (text == nullptr) return;
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace zira
