#pragma once
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/result.h"

namespace zira {

// The title a run shows on the console and heads its log with. A fixed text
// that stays as it is from release to release; zira --version names the release.
inline constexpr char kRunTitle[] = "Ombrith Race Information Inventory v1.0";

// The run's log: timestamped CR LF lines in the output directory, echoed to
// the console on request. Absent until CreateSessionLog; every caller copes.
class SessionLog {
 public:
  int echoToConsole = 1;
  OutputFile file;
  // Tests may collect every line here as well: echo flag and text.
  std::vector<std::pair<int, std::string>>* capture = nullptr;
  // A write, flush or close of the file failed: the log is not whole.
  bool writeFailed = false;

  Result OpenLog(const char* path);
  void LogLine(int echo, const char* text);
  void CloseLog();
};

// The installed log, or nullptr.
SessionLog* TheSessionLog();
// Installs a fresh log without a file (echo on); the previous one is closed.
SessionLog* InstallSessionLog();
// Closes and removes the installed log; false when its file could not be
// written whole.
bool ReleaseSessionLog();

// Creates the log named after the edition in the output directory.
Result CreateSessionLog(const char* editionShort, const char* outputPath);

// Channels: echo 1 writes to the log and the console, echo 0 to the log only.
// LogLine writes a text as it stands, '%' included; the others format.
void LogLine(int echo, const char* text);
void LogFormat(int echo, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Shorthands: "both" uses the log's own echo setting, "log only" echo 0.
void LogBoth(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogOnly(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogBothLine(const char* text);

// The 22-character "[YYYY-MM-DD HH:MM:SS] " prefix for now; empty when the
// clock or local time is unavailable.
std::string TimestampPrefix();

}  // namespace zira
