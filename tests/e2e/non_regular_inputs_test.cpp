// Runs the inventory on a sample client where one input is not a regular
// file, or fails when read. Such inputs used to block in open(), read without
// end, or read as empty; each run must now end within seconds, with the
// message of an input that cannot be opened.
// Skipped on Windows: FIFOs, /dev and /proc links are POSIX ones.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "support/sample_client.h"
#include "support/temp_dir.h"

namespace zira {
namespace {

using testing::TempDir;

enum class Kind { kFifo, kDirectory, kDeviceLink, kUnreadableLink };

struct Case {
  const char* name;
  const char* input;  // as the sample client writes it
  Kind kind;
  int exitCode;
  const char* console;  // a line the console must show
};

const Case kCases[] = {
    {"PackageFifo", "Global7_Chr.s3d", Kind::kFifo, 0,
     "    SKIPPED: Problem loading global models from global7_chr.s3d\n"},
    {"ImportListFifo", "abc_chr.txt", Kind::kFifo, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"ImportListDirectory", "abc_chr.txt", Kind::kDirectory, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"ImportListDevZero", "abc_chr.txt", Kind::kDeviceLink, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"ImportListReadError", "abc_chr.txt", Kind::kUnreadableLink, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"LoadListFifo", "Resources/GlobalLoad.TXT", Kind::kFifo, 0, "  SKIPPING: Resources\\GlobalLoad.txt not found\n"},
    {"LoadListReadError", "Resources/GlobalLoad.TXT", Kind::kUnreadableLink, 0,
     "  SKIPPING: Resources\\GlobalLoad.txt not found\n"},
    {"StringListFifo", "obstr_us.txt", Kind::kFifo, 2, "FAILURE: Could not read String List from obstr_us.txt\n"},
    {"StringDatabaseFifo", "DBStr_US.txt", Kind::kFifo, 3,
     "FAILURE: Could not read String Database from dbstr_us.txt\n"},
    {"SettingsFifo", "ZIRA.ini", Kind::kFifo, 0, "Finished!\n"},
    {"ClientImageFifo", "OBGame.EXE", Kind::kFifo, 1,
     "FAILURE: obgame.exe is not a compatible version. Only Cobalt and Lirael are supported.\n"},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

bool Replace(const std::string& path, Kind kind) {
  std::error_code error;
  std::filesystem::remove(path, error);
  switch (kind) {
    case Kind::kFifo: return ::mkfifo(path.c_str(), 0600) == 0;
    case Kind::kDirectory: return ::mkdir(path.c_str(), 0700) == 0;
    case Kind::kDeviceLink: return ::symlink("/dev/zero", path.c_str()) == 0;
    // A regular file to stat, whose first read fails with EIO.
    case Kind::kUnreadableLink: return ::symlink("/proc/self/mem", path.c_str()) == 0;
  }
  return false;
}

// The watchdog: a run that hangs is killed, and shows as exit code 124.
int RunWithWatchdog(const std::string& directory, std::string* output) {
  const std::string command = "cd '" + directory + "' && timeout -k 2 30 '" ZIRA_BINARY "' </dev/null 2>&1";
  return testing::RunShellCommand(command, output);
}

class NonRegularInputTest : public ::testing::TestWithParam<Case> {};

TEST_P(NonRegularInputTest, RunEndsWithTheMessageOfAnInputThatCannotBeOpened) {
  const Case& c = GetParam();
  TempDir dir;
  ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), 3, ""));
  ASSERT_TRUE(Replace(dir / c.input, c.kind));
  std::string console;
  EXPECT_EQ(RunWithWatchdog(dir.Path(), &console), c.exitCode) << console;
  EXPECT_NE(console.find(c.console), std::string::npos) << console;
}

INSTANTIATE_TEST_SUITE_P(EachInput, NonRegularInputTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zira
