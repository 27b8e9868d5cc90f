#include "discovery/package_names.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zira {

bool FormatName(char* buffer, std::size_t capacity, const char* format, ...) {
  if (buffer == nullptr || capacity == 0) return false;
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, capacity, format, args);
  va_end(args);
  if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool HasDot(const char* name) { return name != nullptr && std::strchr(name, '.') != nullptr; }

}  // namespace zira
