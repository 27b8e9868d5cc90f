#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira::testing {

namespace {

constexpr DWORD kKilledExitCode = 124;  // what timeout(1) gives a hung run

std::wstring WideOf(const std::string& text) { return std::filesystem::path(text).wstring(); }

// One argument as the C runtime splits a command line: quoted when it holds
// a blank or a quote, backslashes doubled only before a quote.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

HANDLE Inheritable(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(WideOf(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The console writes CR LF; tests compare with LF.
std::string WithUnixLineEnds(const std::string& text) {
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  return lines;
}

// Runs program with its output in outPath and its errors in errPath (the
// same file when they are equal); -1 when it could not start.
int Run(const std::string& program, const std::string& directory, const std::vector<std::string>& arguments,
        DWORD milliseconds, const std::string& outPath, const std::string& errPath) {
  std::wstring command = Quoted(WideOf(program));
  for (const std::string& argument : arguments) command += L" " + Quoted(WideOf(argument));
  const HANDLE in = Inheritable("NUL", false);
  const HANDLE out = Inheritable(outPath, true);
  const HANDLE err = errPath == outPath ? out : Inheritable(errPath, true);
  STARTUPINFOW startup {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process {};
  const std::wstring folder = WideOf(directory);
  // Wine, busy starting a fresh prefix's own services, now and then refuses
  // a start that succeeds a moment later; a program that cannot start at all
  // still fails every try.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(500);
    started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                               &process) != 0;
  }
  ::CloseHandle(in);
  ::CloseHandle(out);
  if (err != out) ::CloseHandle(err);
  if (!started) return -1;
  if (::WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.hProcess, kKilledExitCode);
    ::WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  return static_cast<int>(code);
}

}  // namespace

int RunShellCommand(const std::string&, std::string* output) {
  if (output != nullptr) output->clear();
  return -1;
}

int RunProgram(const std::string& program, const std::string& directory, std::string* output) {
  return RunProgramBounded(program, directory, {}, -1, output);
}

int RunProgram(const std::string& program, const std::string& directory, const std::vector<std::string>& arguments,
               std::string* output, std::string* errors) {
  TempDir scratch;
  const int code = Run(program, directory, arguments, INFINITE, scratch / "stdout", scratch / "stderr");
  if (output != nullptr) *output = WithUnixLineEnds(ReadTextFile(scratch / "stdout"));
  if (errors != nullptr) *errors = WithUnixLineEnds(ReadTextFile(scratch / "stderr"));
  return code;
}

int RunProgramBounded(const std::string& program, const std::string& directory,
                      const std::vector<std::string>& arguments, int seconds, std::string* output) {
  TempDir scratch;
  const DWORD wait = seconds < 0 ? INFINITE : static_cast<DWORD>(seconds) * 1000;
  const int code = Run(program, directory, arguments, wait, scratch / "console", scratch / "console");
  if (output != nullptr) *output = WithUnixLineEnds(ReadTextFile(scratch / "console"));
  return code;
}

bool IsPosixSystem() { return false; }

bool MakeFifo(const std::string&) { return false; }

std::string NullDevice() { return "\\\\.\\NUL"; }

UnopenableEntry::UnopenableEntry(const std::string& path) {
  const HANDLE held = ::CreateFileW(WideOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(held);
}

UnopenableEntry::~UnopenableEntry() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void SetEnvironment(const std::string& name, const char* value) {
  // An empty value removes the variable here.
  ::_putenv_s(name.c_str(), value == nullptr ? "" : value);
}

}  // namespace zira::testing
