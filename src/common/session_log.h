#pragma once
#include <cstdarg>
#include <ctime>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/result.h"

namespace zira {

// The title a run shows on the console and heads its log with. A fixed text
// that stays as it is from release to release; zira --version names the release.
inline constexpr char kRunTitle[] = "Ombrith Race Information Inventory v1.0";

class Console;
class MachineRefusals;

// The run's log: timestamped CR LF lines in the output directory, echoed to
// the console on request. Silent until installed (Install, or Create with its
// file); every caller copes. Channels: echo 1 writes to the log and the
// console, echo 0 to the log only. Line writes a text as it stands, '%'
// included; the others format. "Both" uses the log's own echo setting, "Only"
// echo 0.
class SessionLog {
 public:
  SessionLog(Console& console, MachineRefusals& refusals) : console_(console), refusals_(refusals) {}
  SessionLog(const SessionLog&) = delete;
  SessionLog& operator=(const SessionLog&) = delete;
  ~SessionLog() { static_cast<void>(Release()); }

  int echoToConsole = 1;
  OutputFile file;
  // Tests may collect every line here as well: echo flag and text.
  std::vector<std::pair<int, std::string>>* capture = nullptr;
  // A write, flush or close of the file failed: the log is not whole.
  bool writeFailed = false;

  // Starts a log without a file (echo on); a previous one is closed.
  void Install();
  // Closes the log and silences it; false when its file could not be written whole.
  bool Release();
  bool Installed() const { return installed_; }
  // Creates the log named after the edition in the output directory;
  // "Current directory:" names the folder's root.
  Result Create(ClientFolder& folder, const char* editionShort, const char* outputPath);

  Result OpenLog(ClientFolder& folder, const char* path);
  void Line(int echo, const char* text);
  void Format(int echo, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void Both(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Only(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void BothLine(const char* text) { Line(OwnEcho(), text); }
  void CloseLog();

  Console& console() { return console_; }
  MachineRefusals& refusals() { return refusals_; }

 private:
  int OwnEcho() const { return installed_ ? echoToConsole : 0; }
  void FormatV(int echo, const char* format, va_list args);
  void WriteLine(int echo, const char* text);

  Console& console_;
  MachineRefusals& refusals_;
  bool installed_ = false;
  // The prefix of the second the last line was written in, made once a second.
  std::time_t prefixTime_ = static_cast<std::time_t>(-1);
  std::string prefix_;
};

// The 22-character "[YYYY-MM-DD HH:MM:SS] " prefix for a time (now by
// default); empty when the clock or local time is unavailable.
std::string TimestampPrefix(std::time_t when = std::time(nullptr));

}  // namespace zira
