#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zira::testing {

// A fresh directory below the system's temporary folder, removed with its
// contents when the object goes; the file cache is reset on both ends.
class TempDir {
 public:
  // base: the folder to make it in; the system's temporary folder when empty.
  explicit TempDir(const std::string& base = "");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // Makes a directory below this one (one level).
  std::string MakeDir(const std::string& name) const;

 private:
  std::string path_;
};

// Changes into a directory for the life of the object and back afterwards.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& path);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  std::string previous_;
};

// Running programs, and the few other things a test asks of the system,
// have one file per platform (system_posix.cpp, system_windows.cpp).

// Runs a program in a directory with standard input from the null device and
// returns its exit code (-1 when it could not run); standard output and
// error are collected into output. A console's CR LF line ends read as LF.
int RunProgram(const std::string& program, const std::string& directory, std::string* output);

// The same with arguments, standard output and standard error apart.
int RunProgram(const std::string& program, const std::string& directory, const std::vector<std::string>& arguments,
               std::string* output, std::string* errors);

// Runs a program as the first RunProgram does, killed after the given
// seconds (a hang then gives an exit code other than the run's own); a
// negative bound waits as long as it takes.
int RunProgramBounded(const std::string& program, const std::string& directory,
                      const std::vector<std::string>& arguments, int seconds, std::string* output);

// Runs a shell command and returns its exit code (-1 when it could not run or
// did not exit); what it prints is collected into output, when given. POSIX
// systems only: -1 elsewhere.
int RunShellCommand(const std::string& command, std::string* output);

// A word for sh: single-quoted, each single quote closed, escaped and reopened.
std::string ShellQuoted(const std::string& text);

// Whether the system has what tests of POSIX-only behaviour use (FIFOs,
// /dev, a shell, fork): those tests skip elsewhere, saying why.
bool IsPosixSystem();
#define ZIRA_SKIP_UNLESS_POSIX(what) \
  if (!::zira::testing::IsPosixSystem()) GTEST_SKIP() << "POSIX only: " << (what)

// Makes a FIFO at path; false where the system has none.
bool MakeFifo(const std::string& path);
// The system's null device ("/dev/null", "\\.\NUL"), by an absolute name.
std::string NullDevice();
// Something at path that has a status but that no open for reading gets, as
// long as the object lives: a bound socket on POSIX; on Windows the file
// there (made if missing) held open without sharing, as a viewer or a
// scanner may hold it.
class UnopenableEntry {
 public:
  explicit UnopenableEntry(const std::string& path);
  ~UnopenableEntry();
  UnopenableEntry(const UnopenableEntry&) = delete;
  UnopenableEntry& operator=(const UnopenableEntry&) = delete;
  bool Made() const { return handle_ != -1; }

 private:
  std::intptr_t handle_ = -1;
};

// Sets an environment variable of this process, or removes it when value is null.
void SetEnvironment(const std::string& name, const char* value);

}  // namespace zira::testing
