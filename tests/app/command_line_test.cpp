#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/platform.h"
#include "common/version.h"
#include "support/temp_dir.h"

namespace zira {
namespace {

using testing::RunProgram;
using testing::TempDir;

int Parse(std::vector<std::string> arguments, CommandLine* line) {
  arguments.insert(arguments.begin(), "/usr/bin/zira");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return ParseCommandLine(static_cast<int>(arguments.size()), argv.data(), line);
}

std::string StartFolder() { return std::filesystem::current_path().string(); }

TEST(CommandLineTest, ArgumentsThatStartARun) {
  struct Row {
    std::vector<std::string> arguments;
    std::string clientDir;
    std::string outputDir;  // "@/" stands for the start folder
  };
  const Row rows[] = {
      {{"client"}, "client", ""},
      {{"/games/ombrith/"}, "/games/ombrith", ""},
      {{"-o", "/tmp/out"}, "", "/tmp/out"},
      {{"--output=/tmp/out", "c"}, "c", "/tmp/out"},
      {{"--output", "out/"}, "", "@/out"},
      {{"c", "-o", "../out"}, "c", "@/../out"},
      {{"-oout"}, "", "@/out"},
      {{"--", "-odd"}, "-odd", ""},
      {{"--outp=x"}, "", "@/x"},  // an unambiguous prefix, as getopt_long allows
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    CommandLine line;
    ASSERT_EQ(Parse(row.arguments, &line), kStartRun);
    std::string output = row.outputDir;
    // Joined with the system's separator.
    if (output.rfind("@/", 0) == 0) output = StartFolder() + PathSeparator() + output.substr(2);
    EXPECT_EQ(line.clientDir, row.clientDir);
    EXPECT_EQ(line.outputDir, output);
    EXPECT_TRUE(line.anyArgument);
  }
  CommandLine bare;
  EXPECT_EQ(Parse({}, &bare), kStartRun);
  EXPECT_FALSE(bare.anyArgument);
  EXPECT_TRUE(bare.clientDir.empty() && bare.outputDir.empty());
}

// A trailing separator goes (either slash on Windows); a root keeps its own.
TEST(CommandLineTest, TrailingSeparatorsGoButARootStays) {
  const struct {
    const char* argument;
    const char* posix;
    const char* windows;
  } rows[] = {
      {"client//", "client", "client"},
      {"/", "/", "/"},
      {"C:\\Games\\Client\\", "C:\\Games\\Client\\", "C:\\Games\\Client"},
      {"C:\\", "C:\\", "C:\\"},
      {"C:/", "C:", "C:/"},
      {"\\\\server\\share\\", "\\\\server\\share\\", "\\\\server\\share\\"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.argument);
    CommandLine line;
    ASSERT_EQ(Parse({row.argument}, &line), kStartRun);
    EXPECT_EQ(line.clientDir, testing::IsPosixSystem() ? row.posix : row.windows);
  }
}

// Every row of the table reaches getopt_long in both spellings.
TEST(CommandLineTest, EveryOptionRowIsAcceptedLongAndShort) {
  for (const OptionRow& row : Options()) {
    std::vector<std::vector<std::string>> spellings = {{std::string("--") + row.longName}};
    if (row.shortName != 0) spellings.push_back({std::string("-") + row.shortName});
    for (std::vector<std::string>& arguments : spellings) {
      // A number for a count, a name for a folder.
      if (row.argument != nullptr) arguments.push_back(std::string(row.argument) == "N" ? "2" : "x");
      SCOPED_TRACE(arguments.front());
      CommandLine line;
      ::testing::internal::CaptureStdout();
      ::testing::internal::CaptureStderr();
      const int code = Parse(arguments, &line);
      ::testing::internal::GetCapturedStdout();
      EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
      EXPECT_NE(code, kUsageExitCode);
    }
  }
}

// Answers without a run: the binary in an empty folder, which must stay empty.
TEST(CommandLineTest, AnswersAndUsageErrorsCreateNothing) {
  const std::string tryHelp = "Try 'zira --help' for more information.\n";
  const std::string version = std::string("zira ") + kZiraVersion + "\n";
  struct Row {
    std::vector<std::string> arguments;
    int code;
    std::string output;  // a prefix of standard output
    std::string errors;
  };
  const Row rows[] = {
      {{"--help"}, 0, "Usage: zira [OPTION]... [CLIENT_DIR]\n", ""},
      {{"-h", "--bogus"}, 0, "Usage: zira [OPTION]... [CLIENT_DIR]\n", ""},
      {{"--version"}, 0, version, ""},
      {{"-V"}, 0, version, ""},
      {{"--bogus"}, 64, "", "zira: unrecognized option '--bogus'\n" + tryHelp},
      {{"-x"}, 64, "", "zira: invalid option -- 'x'\n" + tryHelp},
      {{"-o"}, 64, "", "zira: option requires an argument -- 'o'\n" + tryHelp},
      {{"client", "--output"}, 64, "", "zira: option '--output' requires an argument\n" + tryHelp},
      {{"--help=all"}, 64, "", "zira: option '--help' doesn't allow an argument\n" + tryHelp},
      {{"a", "b"}, 64, "", "zira: extra operand 'b'\n" + tryHelp},
      {{""}, 64, "", "zira: empty client folder name\n" + tryHelp},
      {{"-o", "", "."}, 64, "", "zira: empty output folder name\n" + tryHelp},
      {{std::string(260, 'c')}, 64, "", "zira: client folder name longer than 259 characters\n" + tryHelp},
      {{"-o", "/" + std::string(259, 'o')}, 64, "", "zira: output folder name longer than 259 characters\n" + tryHelp},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    TempDir dir;
    std::string output;
    std::string errors;
    EXPECT_EQ(RunProgram(ZIRA_BINARY, dir.Path(), row.arguments, &output, &errors), row.code);
    EXPECT_EQ(row.output.empty() ? output : output.substr(0, row.output.size()), row.output);
    EXPECT_EQ(errors, row.errors);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  }
}

// Code and meaning of every exit status a text lists.
using ExitCodes = std::vector<std::pair<int, std::string>>;

// The table under the README's "## Exit codes", backticks dropped.
ExitCodes ReadmeExitCodes() {
  static const std::regex kRow(R"(^\| (\d+) \| ([^|]*[^| ]) +\|)");
  std::ifstream in(std::string(ZIRA_SOURCE_DIR) + "/README.md");
  ExitCodes codes;
  bool inTable = false;
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) inTable = line == "## Exit codes";
    if (!inTable || !std::regex_search(line, match, kRow)) continue;
    std::string meaning = match[2];
    std::erase(meaning, '`');
    codes.emplace_back(std::stoi(match[1]), meaning);
  }
  return codes;
}

// The "Exit status:" list of --help; a deeper indented line continues a meaning.
ExitCodes HelpExitCodes() {
  static const std::regex kEntry(R"(^  (\d+) +(\S.*)$)");
  static const std::regex kContinued(R"(^ {5,}(\S.*)$)");
  ::testing::internal::CaptureStdout();
  PrintHelp(stdout);
  std::fflush(stdout);
  std::istringstream in(::testing::internal::GetCapturedStdout());
  ExitCodes codes;
  bool inList = false;
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    if (line == "Exit status:") {
      inList = true;
    } else if (inList && std::regex_match(line, match, kEntry)) {
      codes.emplace_back(std::stoi(match[1]), match[2]);
    } else if (inList && !codes.empty() && std::regex_match(line, match, kContinued)) {
      codes.back().second += " " + match[1].str();
    } else {
      inList = false;
    }
  }
  return codes;
}

TEST(CommandLineTest, ReadmeListsTheExitCodesOfHelp) {
  const ExitCodes help = HelpExitCodes();
  ASSERT_GE(help.size(), 2u);
  EXPECT_EQ(help.front().first, 0);
  EXPECT_EQ(ReadmeExitCodes(), help);
}

}  // namespace
}  // namespace zira
