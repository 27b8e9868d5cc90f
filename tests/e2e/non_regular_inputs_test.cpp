// Runs the inventory on a sample client where one input is not a regular
// file. Each used to block in open() or read without end; each run must now
// end within seconds, with the message of an input that cannot be opened.
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
  const char* input;  // '/'-separated; matched on disk without regard to case
  Kind kind;
  int exitCode;
  const char* console;  // a line the console must show
};

const Case kCases[] = {
    {"PackageFifo", "global7_chr.s3d", Kind::kFifo, 0,
     "    SKIPPED: Problem loading global models from global7_chr.s3d\n"},
    {"ImportListFifo", "abc_chr.txt", Kind::kFifo, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"ImportListDirectory", "abc_chr.txt", Kind::kDirectory, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"ImportListDevZero", "abc_chr.txt", Kind::kDeviceLink, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"ImportListReadError", "abc_chr.txt", Kind::kUnreadableLink, 0,
     "  FAILURE: Problem opening TXT file abc_chr.txt for model import parsing.\n"},
    {"LoadListFifo", "Resources/GlobalLoad.txt", Kind::kFifo, 0, "  SKIPPING: Resources\\GlobalLoad.txt not found\n"},
    {"LoadListReadError", "Resources/GlobalLoad.txt", Kind::kUnreadableLink, 0,
     "  SKIPPING: Resources\\GlobalLoad.txt not found\n"},
    {"StringListFifo", "obstr_us.txt", Kind::kFifo, 2, "FAILURE: Could not read String List from obstr_us.txt\n"},
    {"StringDatabaseFifo", "dbstr_us.txt", Kind::kFifo, 3,
     "FAILURE: Could not read String Database from dbstr_us.txt\n"},
    {"SettingsFifo", "ZIRA.ini", Kind::kFifo, 0, "Finished!\n"},
    {"ClientImageFifo", "obgame.exe", Kind::kFifo, 1,
     "FAILURE: obgame.exe is not a compatible version. Only Cobalt and Lirael are supported.\n"},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// The existing path for a name matched without regard to case, else the name as written.
std::string OnDisk(const std::string& folder, const std::string& name) {
  namespace fs = std::filesystem;
  fs::path path = folder;
  for (const fs::path& part : fs::path(name)) {
    fs::path chosen = path / part;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
      if (Lower(entry.path().filename().string()) == Lower(part.string())) chosen = entry.path();
    }
    path = chosen;
  }
  return path.string();
}

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
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output->append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class NonRegularInputTest : public ::testing::TestWithParam<Case> {};

TEST_P(NonRegularInputTest, RunEndsWithTheMessageOfAnInputThatCannotBeOpened) {
  const Case& c = GetParam();
  TempDir dir;
  ASSERT_TRUE(testing::WriteSampleClient(dir.Path(), 3, ""));
  ASSERT_TRUE(Replace(OnDisk(dir.Path(), c.input), c.kind));
  std::string console;
  EXPECT_EQ(RunWithWatchdog(dir.Path(), &console), c.exitCode) << console;
  EXPECT_NE(console.find(c.console), std::string::npos) << console;
}

INSTANTIATE_TEST_SUITE_P(EachInput, NonRegularInputTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zira
