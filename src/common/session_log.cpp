#include "common/session_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/capacities.h"
#include "common/console.h"
#include "common/machine_refusal.h"
#include "common/platform.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr const char* kDashes = "-----------------------------------------";
constexpr std::size_t kMessageBuffer = 1024;
// The page a kill cannot cut a write inside of: the smallest the systems we
// run on use.
constexpr std::size_t kLogPage = 4096;

// "SKIPPED:", "SKIPPING:" or "FAILURE:" after the line's indent.
bool IsFailureLine(const char* text) {
  while (*text == ' ') ++text;
  return std::strncmp(text, "SKIPP", 5) == 0 || std::strncmp(text, "FAILURE:", 8) == 0;
}

}  // namespace

std::string TimestampPrefix(std::time_t now) {
  if (now == static_cast<std::time_t>(-1)) return std::string();
  std::tm local {};
  if (::localtime_r(&now, &local) == nullptr) return std::string();
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "[%04d-%02d-%02d %02d:%02d:%02d] ", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

Result SessionLog::OpenLog(ClientFolder& folder, const char* path) {
  CloseLog();
  writeFailed = false;
  if (!file.Open(folder, path)) return Fail("log file cannot be created");
  file.Print("%s\r\n%s\r\n", kRunTitle, kDashes);
  Line(0, "Session started");
  // Cut to a path's capacity, as the folder's name always was.
  const std::string& root = folder.Root();
  Format(0, "Current directory: %.*s", static_cast<int>(std::min(root.size(), kPathCapacity - 1)), root.c_str());
  console_.Print("Logging to %s...\n", path);
  return kSuccess;
}

void SessionLog::WriteLine(int echo, const char* text) {
  if (text == nullptr) text = "";
  // Whole lines go out a page of the file at a time. A kill can cut a write
  // only where it passes from one page into the next, so a killed run's log
  // still ends on a whole line: a line across the end of a page goes out by
  // itself, as every line once did, and a line the console shows goes out at
  // once. After a failed write nothing more is written and the failure is
  // kept for the exit code.
  if (file.IsOpen() && file.Error() == 0) {
    const std::time_t now = SecondsNow();
    if (now != prefixTime_ || now == static_cast<std::time_t>(-1)) {
      prefix_ = TimestampPrefix(now);
      prefixTime_ = now;
    }
    std::string line = prefix_;
    line.append(text).append("\r\n");
    const std::size_t pageEnd = (file.Flushed() / kLogPage + 1) * kLogPage;
    if (file.Buffered() != 0 && file.Flushed() + file.Buffered() + line.size() > pageEnd && !file.Flush()) {
      writeFailed = true;
    }
    file.Write(line.data(), line.size());
    if (echo != 0 && !file.Flush()) writeFailed = true;
  }
  if (capture != nullptr) capture->emplace_back(echo, text);
  if (echo != 0) console_.Print("%s\n", text);
  char reason[kMessageBuffer];
  if (IsFailureLine(text) && refusals_.TakeLine(reason, sizeof(reason))) WriteLine(echo, reason);
}

void SessionLog::Line(int echo, const char* text) {
  if (installed_) WriteLine(echo, text);
}

void SessionLog::FormatV(int echo, const char* format, va_list args) {
  if (format == nullptr || !installed_) return;
  char buffer[kMessageBuffer];
  // A longer message is cut to the buffer; the run goes on.
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  WriteLine(echo, buffer);
}

void SessionLog::CloseLog() {
  if (file.IsOpen()) {
    Line(0, "Session closed. Good-bye!");
    if (file.Commit() != 0) writeFailed = true;
  }
}

void SessionLog::Install() {
  static_cast<void>(Release());
  installed_ = true;
  echoToConsole = 1;
  writeFailed = false;
}

bool SessionLog::Release() {
  bool whole = true;
  if (installed_) {
    CloseLog();
    whole = !writeFailed;
  }
  installed_ = false;
  return whole;
}

Result SessionLog::Create(ClientFolder& folder, const char* editionShort, const char* outputPath) {
  char name[kPathCapacity];
  std::snprintf(name, sizeof(name), "%s_%s", editionShort ? editionShort : "", "ZIRA.log");
  Install();
  char path[kPathCapacity];
  if (JoinPath(outputPath, name, path, sizeof(path)) == nullptr || Failed(OpenLog(folder, path))) {
    console_.Print("FAILURE: Could not create log file: %s\n", name);
    char reason[kMessageBuffer];
    if (refusals_.TakeLine(reason, sizeof(reason))) console_.Print("%s\n", reason);
    return Fail("log file cannot be created");
  }
  Format(0, "OBGame.exe recognized as the %s version.", editionShort ? editionShort : "");
  return kSuccess;
}

void SessionLog::Format(int echo, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(echo, format, args);
  va_end(args);
}

void SessionLog::Both(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(OwnEcho(), format, args);
  va_end(args);
}

void SessionLog::Only(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(0, format, args);
  va_end(args);
}

}  // namespace zira
