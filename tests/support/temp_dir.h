#pragma once
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

// Runs a program in a directory with standard input from /dev/null and
// returns its exit code (-1 when it could not run); standard output is
// collected into output.
int RunProgram(const std::string& program, const std::string& directory, std::string* output);

// The same with arguments, standard output and standard error apart.
int RunProgram(const std::string& program, const std::string& directory, const std::vector<std::string>& arguments,
               std::string* output, std::string* errors);

// Runs a shell command and returns its exit code (-1 when it could not run or
// did not exit); what it prints is collected into output, when given.
int RunShellCommand(const std::string& command, std::string* output);

// A word for sh: single-quoted, each single quote closed, escaped and reopened.
std::string ShellQuoted(const std::string& text);

}  // namespace zira::testing
