// Runs under the machine's limits and with a console that goes away: no
// abort, no signal death, and either the unlimited run's outputs or the
// refusal named with its reason and its exit code.
// Skipped on Windows: setrlimit, fork and a hung-up terminal are POSIX ones.
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZIRA_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZIRA_TEST_ASAN 1
#endif

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::TempDir;

constexpr int kNoLimit = -1;
// Root passes by the process limit; the child then runs as an unused id.
constexpr uid_t kLimitedId = 54321;

enum class Console { kPipe, kPipeClosedEarly, kAllClosed };

struct ChildRun {
  int code = -1;  // the exit status, or 128 + the signal that ended it
  std::string console;
};

// Runs zira in folder with one resource limited (kNoLimit: none) and its
// standard streams as console says.
ChildRun RunZira(const std::string& folder, const std::vector<std::string>& arguments, int resource, rlim_t value,
                 Console console) {
  std::vector<std::string> words = {ZIRA_BINARY};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return {};
  if (console == Console::kPipeClosedEarly) ::close(out[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only calls that are safe between fork and exec.
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(out[1], STDERR_FILENO);
    if (console == Console::kAllClosed) {
      for (int fd = 0; fd <= 2; ++fd) ::close(fd);
    }
    for (int fd = 3; fd < 64; ++fd) ::close(fd);
    if (::chdir(folder.c_str()) != 0) ::_exit(120);
    if (resource == RLIMIT_NPROC && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kLimitedId) != 0 || ::setuid(kLimitedId) != 0)) {
      ::_exit(121);
    }
    const rlimit limit{value, value};
    if (resource != kNoLimit && ::setrlimit(static_cast<__rlimit_resource_t>(resource), &limit) != 0) ::_exit(122);
    ::execv(argv[0], argv.data());
    ::_exit(123);
  }
  ::close(out[1]);
  ChildRun run;
  if (console != Console::kPipeClosedEarly) {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) run.console.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return run;
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

// The console without its one line of wall time.
std::string Untimed(const std::string& console) {
  const std::size_t line = console.find("Processed ");
  if (line == std::string::npos) return console;
  return console.substr(0, line) + console.substr(console.find('\n', line) + 1);
}

constexpr const char* kReports[] = {"OBRaces_ModelCodes_DB.txt", "OBRaces.htm", "OBZoneInfo_DB.txt", "OBZones.htm"};

TEST(ResourceLimitsTest, LimitsAndALostConsoleEndInTheUnlimitedOutputsOrANamedRefusal) {
  TempDir dir;
  ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), 3, ""));
  // The run that cannot start threads as root runs under another id.
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
  }
  const ChildRun unlimited = RunZira(dir.Path(), {"-j", "4"}, kNoLimit, 0, Console::kPipe);
  ASSERT_EQ(unlimited.code, 0) << unlimited.console;

  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int resource;
    rlim_t value;
    Console console;
    // The sanitizer's runtime needs its own address space, threads and descriptors.
    bool underSanitizer;
    int code;
    const char* lines;  // nullptr: the console and the reports of the unlimited run
  };
  const Case cases[] = {
      {"three processes, four jobs", {"-j", "4"}, RLIMIT_NPROC, 3, Console::kPipe, false, 0, nullptr},
      {"one process, four jobs", {"-j", "4"}, RLIMIT_NPROC, 1, Console::kPipe, false, 0, nullptr},
      {"200 MB, 64 jobs", {"-j", "64"}, RLIMIT_AS, 200000 * 1024, Console::kPipe, false, 0, nullptr},
      {"16 MB, one job", {"-j", "1"}, RLIMIT_AS, 16000 * 1024, Console::kPipe, false, 8,
       "FAILURE: Unknown problem loading OB client file: obgame.exe\n  obgame.exe: Cannot allocate memory\n"},
      {"20 kB files", {}, RLIMIT_FSIZE, 20000, Console::kPipe, true, 6,
       "FAILURE: Could not write race information to output file: MK2_OBRaces.htm\n"
       "  MK2_OBRaces.htm: File too large\n"},
      {"five descriptors", {}, RLIMIT_NOFILE, 5, Console::kPipe, false, 8,
       "FAILURE: Could not read String List from obstr_us.txt\n  obstr_us.txt: Too many open files\n"},
      // One job: with packages scanned ahead, whether a package meets the list's
      // descriptor depends on timing.
      {"six descriptors", {"-j", "1"}, RLIMIT_NOFILE, 6, Console::kPipe, false, 8,
       "   SKIPPED: Could not load model source global4_chr.obg\n  global4_chr.obg: Too many open files\n"},
      {"console pipe closed", {"-j", "4"}, kNoLimit, 0, Console::kPipeClosedEarly, true, 0, nullptr},
      {"standard streams closed", {"-j", "4"}, kNoLimit, 0, Console::kAllClosed, true, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
#ifdef ZIRA_TEST_ASAN
    if (!c.underSanitizer) continue;
#endif
    std::filesystem::remove_all(dir / "ZIRA");
    const ChildRun run = RunZira(dir.Path(), c.arguments, c.resource, c.value, c.console);
    EXPECT_EQ(run.code, c.code) << run.console;
    if (c.lines != nullptr) {
      EXPECT_NE(run.console.find(c.lines), std::string::npos) << run.console;
      continue;
    }
    if (c.console == Console::kPipe) {
      EXPECT_EQ(Untimed(run.console), Untimed(unlimited.console));
    }
    for (const char* report : kReports) {
      EXPECT_TRUE(ReadTextFile(dir / (std::string("ZIRA/MK2_") + report)) ==
                  ReadTextFile(std::string(ZIRA_SOURCE_DIR) + "/tests/golden/MK2/" + report))
          << report;
    }
    // No file of the run took a closed stream's number and its text.
    EXPECT_EQ(ReadTextFile(dir / "ZIRA/.zira.lock"), "");
    EXPECT_EQ(ReadTextFile(dir / "ZIRA/MK2_ZIRA.log").find("Logging to"), std::string::npos);
  }
}

}  // namespace
}  // namespace zira
