// Outputs under faults: every write, flush, close and rename of a sample run
// failing in turn, and the folder states a run must refuse or survive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/run_driver.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "store/inventory.h"
#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

namespace fs = std::filesystem;
using testing::ReadTextFile;
using testing::RunProgram;
using testing::RunShellCommand;
using testing::ScopedChdir;
using testing::ShellQuoted;
using testing::TempDir;
using testing::WriteTextFile;

constexpr const char* kReports[] = {"MK2_OBRaces_ModelCodes_DB.txt", "MK2_OBRaces.htm", "MK2_OBZoneInfo_DB.txt",
                                    "MK2_OBZones.htm"};

// Each report is synced before its rename; in memory that costs nothing, so
// the many runs below stay quick.
std::string MemoryFolder() {
  return testing::IsPosixSystem() && std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "";
}

class OutputFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::WriteSampleClient(dir_.Path(), 3, ""));
    std::filesystem::create_directory(out_);
  }
  // The whole run in this process, so that the file layer's fault seam reaches it.
  int RunHere(std::string* console) {
    ScopedChdir in(dir_.Path());
    ::testing::internal::CaptureStdout();
    const int code = static_cast<int>(RunInventory({.fileFaults = &faults_}));
    *console = ::testing::internal::GetCapturedStdout();
    return code;
  }
  void WritePreviousReports() {
    for (const char* report : kReports) WriteTextFile(out_ + report, std::string("previous ") + report);
  }
  std::vector<std::string> TemporaryFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out_)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".tmp-") != std::string::npos) names.push_back(name);
    }
    return names;
  }
  FileFaults faults_;
  TempDir dir_{MemoryFolder()};
  const std::string out_ = dir_ / "ZIRA/";
};

// Each log line is written and flushed alike, so of the k that fall on the
// log lines before the exports every tenth is enough; the last 60 cover the
// exports and the log lines after them.
bool Sampled(unsigned k, unsigned total) { return k <= 20 || k + 60 > total || k % 10 == 0; }

// The kth operation of each kind in a clean run fails in turn (sampled as
// above). Writes fail with ENOSPC, flushes and closes with EIO, renames with ENOSPC.
TEST_F(OutputFaultsTest, EveryFailingWriteFlushCloseOrRenameEndsWithSixAndWholeReports) {
  std::string console;
  ASSERT_EQ(RunHere(&console), 0) << console;
  std::vector<std::string> clean;
  for (const char* report : kReports) clean.push_back(ReadTextFile(out_ + report));
  std::vector<unsigned> totals;
  for (FileOperation operation : {FileOperation::kWrite, FileOperation::kFlush, FileOperation::kClose,
                                  FileOperation::kRename}) {
    totals.push_back(faults_.Count(operation));
  }
  // Without the race code list the race page is not attempted, so the zone
  // page lacks the race marks it would leave: whole, but another page.
  faults_.Inject(FileOperation::kRename, 1, ENOSPC);
  ASSERT_EQ(RunHere(&console), 6) << console;
  const std::string unmarkedZonePage = ReadTextFile(out_ + kReports[3]);

  struct Kind {
    FileOperation operation;
    int error;
    const char* name;
  };
  const Kind kinds[] = {{FileOperation::kWrite, ENOSPC, "write"},
                        {FileOperation::kFlush, EIO, "flush"},
                        {FileOperation::kClose, EIO, "close"},
                        {FileOperation::kRename, ENOSPC, "rename"}};
  for (std::size_t i = 0; i < std::size(kinds); ++i) {
    ASSERT_GT(totals[i], 0u) << kinds[i].name;
    for (unsigned k = 1; k <= totals[i]; ++k) {
      if (!Sampled(k, totals[i])) continue;
      SCOPED_TRACE(std::string(kinds[i].name) + " " + std::to_string(k));
      WritePreviousReports();
      faults_.Inject(kinds[i].operation, k, kinds[i].error);
      ASSERT_EQ(RunHere(&console), 6) << console;
      const std::string log = ReadTextFile(out_ + "MK2_ZIRA.log");
      EXPECT_TRUE(log.empty() || log.ends_with("\r\n"));
      bool allClean = true;
      bool anyPrevious = false;
      for (std::size_t r = 0; r < std::size(kReports); ++r) {
        const std::string now = ReadTextFile(out_ + kReports[r]);
        const bool previous = now == std::string("previous ") + kReports[r];
        EXPECT_TRUE(previous || now == clean[r] || (r == 3 && now == unmarkedZonePage)) << kReports[r];
        anyPrevious = anyPrevious || previous;
        allClean = allClean && now == clean[r];
      }
      // A report left as it was is reported; a fault without a FAILURE line hit the log.
      EXPECT_EQ(anyPrevious, console.find("FAILURE: Problem exporting") != std::string::npos) << console;
      EXPECT_TRUE(allClean || console.find("FAILURE: ") != std::string::npos) << console;
      EXPECT_TRUE(TemporaryFiles().empty());
    }
  }
}

TEST_F(OutputFaultsTest, AReportThatCannotBeWrittenGivesItsOpenFailureAndTheReason) {
  faults_.Inject(FileOperation::kRename, 2, ENOSPC);  // the race page
  std::string console;
  EXPECT_EQ(RunHere(&console), 6);
  EXPECT_NE(console.find("  Exporting OBRace information to MK2_OBRaces.htm\n"
                         "FAILURE: Could not write race information to output file: MK2_OBRaces.htm\n"
                         "  MK2_OBRaces.htm: No space left on device\n"
                         "FAILURE: Problem exporting Race information to OBRaces.htm\n"),
            std::string::npos)
      << console;
  EXPECT_NE(console.find("\nFinished!\n"), std::string::npos);
}

// Things in the output folder that a run must refuse at once, with the
// texts of a file that cannot be opened.
TEST_F(OutputFaultsTest, NonRegularOutputsAreRefusedWithoutBlocking) {
  struct Case {
    const char* name;
    const char* kind;
    const char* expected;
  };
  const Case cases[] = {
      {"MK2_OBRaces.htm", "fifo",
       "FAILURE: Could not write race information to output file: MK2_OBRaces.htm\n"
       "FAILURE: Problem exporting Race information to OBRaces.htm\n"},
      {"MK2_OBZoneInfo_DB.txt", "device",
       "FAILURE: Could not write zone information to output file: MK2_OBZoneInfo_DB.txt\n"
       "FAILURE: Problem exporting Zone information to OBZones.htm\n"},
      {"MK2_ZIRA.log", "directory", "FAILURE: Could not create log file: MK2_ZIRA.log\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = out_ + c.name;
    std::filesystem::remove(path);
    const std::string kind = c.kind;
    if (kind != "directory" && !testing::IsPosixSystem()) continue;  // FIFOs and /dev/full
    if (kind == "device") std::filesystem::create_symlink("/dev/full", path);
    ASSERT_TRUE(kind == "fifo" ? testing::MakeFifo(path) : std::filesystem::exists(path) ||
                                                               std::filesystem::create_directory(path));
    std::string console;
    EXPECT_EQ(RunProgram(ZIRA_BINARY, dir_.Path(), &console), 6);
    EXPECT_NE(console.find(c.expected), std::string::npos) << console;
    EXPECT_NE(console.find("\nFinished!\n"), std::string::npos);
    std::filesystem::remove(path);
  }
}

TEST_F(OutputFaultsTest, ASecondRunOnAHeldFolderStopsAtOnceTouchingNothing) {
  WritePreviousReports();
  MachineRefusals refusals;
  ClientFolder files(dir_.Path(), refusals);
  OutputFolderLock lock;
  ASSERT_EQ(lock.Take(files, out_.c_str()), FolderLock::kTaken);
  std::string console;
  EXPECT_EQ(RunProgram(ZIRA_BINARY, dir_.Path(), &console), 7);
  lock.Release();
  EXPECT_EQ(console, "FAILURE: Another run is writing to ZIRA\n");
  EXPECT_FALSE(std::filesystem::exists(out_ + "MK2_ZIRA.log"));
  for (const char* report : kReports) EXPECT_EQ(ReadTextFile(out_ + report), std::string("previous ") + report);
  EXPECT_EQ(RunProgram(ZIRA_BINARY, dir_.Path(), &console), 0);
}

// A report that another program holds open without sharing (a viewer, a
// scanner) cannot be replaced on Windows: the run says so with the reason
// and the old report stays whole.
TEST_F(OutputFaultsTest, AReportHeldOpenElsewhereFailsWithItsReasonAndStaysWhole) {
  if (testing::IsPosixSystem()) GTEST_SKIP() << "an open file never stops a rename on POSIX systems";
  WritePreviousReports();
  std::string console;
  {
    const testing::UnopenableEntry held(out_ + "MK2_OBRaces.htm");
    ASSERT_TRUE(held.Made());
    EXPECT_EQ(RunProgram(ZIRA_BINARY, dir_.Path(), &console), 6);
  }
  EXPECT_NE(console.find("FAILURE: Could not write race information to output file: MK2_OBRaces.htm\n"
                         "  MK2_OBRaces.htm: Permission denied\n"),
            std::string::npos)
      << console;
  EXPECT_EQ(ReadTextFile(out_ + "MK2_OBRaces.htm"), "previous MK2_OBRaces.htm");
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{});
}

// Links where the outputs go and a current folder too deep to name: nothing
// is written through a link, and a place the run cannot hold is a failure
// with its reason.
TEST_F(OutputFaultsTest, LinksAndUnnamablePlacesAreNeverWrittenThrough) {
  ZIRA_SKIP_UNLESS_POSIX("links, and bash to walk below the path length limit");
  const std::string kept = dir_ / "kept";
  const std::string made = dir_ / "made";
  const std::string log = out_ + "MK2_ZIRA.log";
  const std::string deep(200, 'd');
  const auto isRegularLog = [&] { return fs::is_regular_file(fs::symlink_status(log)); };
  struct Case {
    const char* name;
    std::function<void()> setup;
    std::string before;  // bash commands run in the client folder before zira
    int code;
    std::string console;  // the whole console, or empty for a finished run
    std::function<bool()> holds;
  };
  const Case cases[] = {
      {"log link", [&] { fs::create_symlink(kept, log); }, "", 0, "",
       [&] { return ReadTextFile(kept) == "kept" && isRegularLog(); }},
      {"dangling log link", [&] { fs::create_symlink(made, log); }, "", 0, "",
       [&] { return !fs::exists(made) && isRegularLog(); }},
      {"lock folder", [&] { fs::create_directory(out_ + ".zira.lock"); }, "", 6,
       "FAILURE: Could not lock the output folder ZIRA\n  .zira.lock: Is a directory\n", [&] { return !fs::exists(log); }},
      {"dangling lock link", [&] { fs::create_symlink(made, out_ + ".zira.lock"); }, "", 6,
       "FAILURE: Could not lock the output folder ZIRA\n  .zira.lock: Too many levels of symbolic links\n",
       [&] { return !fs::exists(made) && !fs::exists(log); }},
      {"current folder too deep", [] {}, "for i in $(seq 22); do mkdir " + deep + " && cd " + deep + " || exit 99; done && ",
       1, "FAILURE: Could not read the path of the current folder: File name too long\n",
       [&] { return fs::is_empty(out_); }},
  };
  const bool rootOutput = fs::exists("/ZIRA");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(out_);
    fs::create_directory(out_);
    WriteTextFile(kept, "kept");
    c.setup();
    std::string console;
    // bash, whose cd goes one step at a time where a whole path is too long.
    const std::string run = "cd " + ShellQuoted(dir_.Path()) + " && " + c.before + ShellQuoted(ZIRA_BINARY);
    const int code = RunShellCommand("bash -c " + ShellQuoted(run) + " </dev/null 2>&1", &console);
    RunShellCommand("rm -rf " + ShellQuoted(dir_ / deep), nullptr);
    EXPECT_EQ(code, c.code) << console;
    if (c.console.empty()) EXPECT_NE(console.find("\nFinished!\n"), std::string::npos) << console;
    else EXPECT_EQ(console, c.console);
    EXPECT_TRUE(c.holds());
  }
  EXPECT_EQ(fs::exists("/ZIRA"), rootOutput);
}

}  // namespace
}  // namespace zira
