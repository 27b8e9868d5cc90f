#include "common/session_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "common/capacities.h"
#include "common/console.h"
#include "common/machine_refusal.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr const char* kDashes = "-----------------------------------------";
constexpr std::size_t kMessageBuffer = 1024;

std::unique_ptr<SessionLog>& Installed() {
  static std::unique_ptr<SessionLog> log;
  return log;
}

int OwnEcho() {
  SessionLog* log = TheSessionLog();
  return log ? log->echoToConsole : 0;
}

void LogFormatV(int echo, const char* format, va_list args) {
  if (format == nullptr) return;
  char buffer[kMessageBuffer];
  // A longer message is cut to the buffer; the run goes on.
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  LogLine(echo, buffer);
}

// "SKIPPED:", "SKIPPING:" or "FAILURE:" after the line's indent.
bool IsFailureLine(const char* text) {
  while (*text == ' ') ++text;
  return std::strncmp(text, "SKIPP", 5) == 0 || std::strncmp(text, "FAILURE:", 8) == 0;
}

}  // namespace

std::string TimestampPrefix() {
  const std::time_t now = std::time(nullptr);
  if (now == static_cast<std::time_t>(-1)) return std::string();
  std::tm local {};
  if (::localtime_r(&now, &local) == nullptr) return std::string();
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "[%04d-%02d-%02d %02d:%02d:%02d] ", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

Result SessionLog::OpenLog(const char* path) {
  CloseLog();
  writeFailed = false;
  if (!file.Open(path)) return Fail("log file cannot be created");
  file.Print("%s\r\n%s\r\n", kRunTitle, kDashes);
  LogLine(0, "Session started");
  char cwd[kPathCapacity];
  CurrentDirectory(cwd, sizeof(cwd));
  LogFormat(0, "Current directory: %s", cwd);
  ConsolePrint("Logging to %s...\n", path);
  return kSuccess;
}

void SessionLog::LogLine(int echo, const char* text) {
  if (text == nullptr) text = "";
  // Flushed line by line, so a killed run's log ends on a whole line; after a
  // failed write nothing more is written and the failure is kept for the exit code.
  if (file.IsOpen() && file.Error() == 0) {
    file.Write(TimestampPrefix().c_str());
    file.Write(text);
    file.Write("\r\n");
    if (!file.Flush()) writeFailed = true;
  }
  if (capture != nullptr) capture->emplace_back(echo, text);
  if (echo != 0) ConsolePrint("%s\n", text);
  char reason[kMessageBuffer];
  if (IsFailureLine(text) && TakeRefusalLine(reason, sizeof(reason))) LogLine(echo, reason);
}

void SessionLog::CloseLog() {
  if (file.IsOpen()) {
    LogLine(0, "Session closed. Good-bye!");
    if (file.Commit() != 0) writeFailed = true;
  }
}

SessionLog* TheSessionLog() { return Installed().get(); }

SessionLog* InstallSessionLog() {
  ReleaseSessionLog();
  Installed() = std::make_unique<SessionLog>();
  return Installed().get();
}

bool ReleaseSessionLog() {
  bool whole = true;
  if (Installed()) {
    Installed()->CloseLog();
    whole = !Installed()->writeFailed;
  }
  Installed().reset();
  return whole;
}

Result CreateSessionLog(const char* editionShort, const char* outputPath) {
  char name[kPathCapacity];
  std::snprintf(name, sizeof(name), "%s_%s", editionShort ? editionShort : "", "ZIRA.log");
  SessionLog* log = InstallSessionLog();
  char path[kPathCapacity];
  if (JoinPath(outputPath, name, path, sizeof(path)) == nullptr || Failed(log->OpenLog(path))) {
    ConsolePrint("FAILURE: Could not create log file: %s\n", name);
    char reason[kMessageBuffer];
    if (TakeRefusalLine(reason, sizeof(reason))) ConsolePrint("%s\n", reason);
    return Fail("log file cannot be created");
  }
  LogFormat(0, "OBGame.exe recognized as the %s version.", editionShort ? editionShort : "");
  return kSuccess;
}

void LogLine(int echo, const char* text) {
  if (SessionLog* log = TheSessionLog()) log->LogLine(echo, text);
}

void LogFormat(int echo, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogFormatV(echo, format, args);
  va_end(args);
}

void LogBothLine(const char* text) { LogLine(OwnEcho(), text); }

void LogBoth(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogFormatV(OwnEcho(), format, args);
  va_end(args);
}

void LogOnly(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogFormatV(0, format, args);
  va_end(args);
}

}  // namespace zira
