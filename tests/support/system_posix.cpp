#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira::testing {

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

int RunProgramBounded(const std::string& program, const std::string& directory,
                      const std::vector<std::string>& arguments, int seconds, std::string* output) {
  std::string command = "cd " + ShellQuoted(directory) + " && ";
  if (seconds >= 0) command.append("timeout -k 5 ").append(std::to_string(seconds)).append(" ");
  command.append(ShellQuoted(program));
  for (const std::string& argument : arguments) command.append(" ").append(ShellQuoted(argument));
  command.append(" </dev/null 2>&1");
  return RunShellCommand(command, output);
}

bool IsPosixSystem() { return true; }

bool MakeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

std::string NullDevice() { return "/dev/null"; }

UnopenableEntry::UnopenableEntry(const std::string& path) {
  sockaddr_un address {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int socketId = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (socketId < 0) return;
  if (::bind(socketId, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(socketId);
    return;
  }
  handle_ = socketId;
}

UnopenableEntry::~UnopenableEntry() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

void SetEnvironment(const std::string& name, const char* value) {
  if (value == nullptr) {
    ::unsetenv(name.c_str());
  } else {
    ::setenv(name.c_str(), value, 1);
  }
}

}  // namespace zira::testing
