#include "support/temp_dir.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/file_system.h"
#include "support/text_files.h"

namespace zira::testing {

TempDir::TempDir(const std::string& base) {
  const std::filesystem::path folder = base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base);
  std::string pattern = (folder / "zira-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::MakeDir(const std::string& name) const {
  const std::string path = path_ + "/" + name;
  std::filesystem::create_directories(path);
  return path;
}

ScopedChdir::ScopedChdir(const std::string& path) {
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path);
}

ScopedChdir::~ScopedChdir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int RunShellCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, n);
  const int status = ::pclose(pipe);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunProgram(const std::string& program, const std::string& directory, std::string* output) {
  return RunShellCommand("cd " + ShellQuoted(directory) + " && " + ShellQuoted(program) + " </dev/null 2>&1", output);
}

int RunProgram(const std::string& program, const std::string& directory, const std::vector<std::string>& arguments,
               std::string* output, std::string* errors) {
  TempDir scratch;
  std::string command = "cd " + ShellQuoted(directory) + " && " + ShellQuoted(program);
  // Appended piece by piece: g++ 12 at -O3 takes "text" + std::string&& for
  // an overlapping copy (-Wrestrict).
  for (const std::string& argument : arguments) command.append(" ").append(ShellQuoted(argument));
  command.append(" </dev/null 2>").append(ShellQuoted(scratch / "stderr"));
  const int code = RunShellCommand(command, output);
  if (errors != nullptr) *errors = ReadTextFile(scratch / "stderr");
  return code;
}

}  // namespace zira::testing
