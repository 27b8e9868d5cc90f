#include "common/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::TempDir;
using testing::WriteTextFile;

class OutputFileTest : public ::testing::Test {
 protected:
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir_;
  MachineRefusals refusals_;
  FileFaults faults_;
  ClientFolder files_{dir_.Path(), refusals_, &faults_};
};

TEST_F(OutputFileTest, ReplacementTakesTheNameOnlyWhenCommitted) {
  const std::string path = dir_ / "report.htm";
  WriteTextFile(path, "previous");
  {
    OutputFile file;
    ASSERT_TRUE(file.OpenReplacing(files_, path.c_str()));
    file.Print("%s %d\r\n", "new", 1);
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ(ReadTextFile(path), "previous");
  }  // ended without Commit: abandoned
  EXPECT_EQ(ReadTextFile(path), "previous");
  EXPECT_EQ(Names(), std::vector<std::string>{"report.htm"});

  OutputFile file;
  ASSERT_TRUE(file.OpenReplacing(files_, path.c_str()));
  const std::string big(200 * 1024, 'x');  // more than the buffer holds
  file.Write(big.c_str());
  EXPECT_EQ(file.Commit(), 0);
  EXPECT_EQ(ReadTextFile(path), big);
  EXPECT_EQ(Names(), std::vector<std::string>{"report.htm"});
}

TEST_F(OutputFileTest, AFailureAtAnyStepLeavesThePreviousReportAndNoTemporaryFile) {
  struct Case {
    FileOperation operation;
    int error;
    int committed;  // what Commit returns
    const char* left;
  };
  // The folder is synced after the rename: a failure there cannot take the new report back.
  for (const Case& c : {Case{FileOperation::kWrite, ENOSPC, ENOSPC, "previous"},
                        Case{FileOperation::kFlush, EIO, EIO, "previous"},
                        Case{FileOperation::kClose, EIO, EIO, "previous"},
                        Case{FileOperation::kRename, ENOSPC, ENOSPC, "previous"},
                        Case{FileOperation::kSyncFolder, EIO, 0, "new\r\n"}}) {
    const std::string path = dir_ / "list.txt";
    WriteTextFile(path, "previous");
    OutputFile file;
    ASSERT_TRUE(file.OpenReplacing(files_, path.c_str()));
    faults_.Inject(c.operation, 1, c.error);
    file.Write("new\r\n");
    EXPECT_EQ(file.Commit(), c.committed) << static_cast<int>(c.operation);
    EXPECT_EQ(faults_.Count(c.operation), 1u) << static_cast<int>(c.operation);
    EXPECT_EQ(ReadTextFile(path), c.left);
    EXPECT_EQ(Names(), std::vector<std::string>{"list.txt"});
  }
}

TEST_F(OutputFileTest, AFileWrittenInPlaceIsCutBackToItsLastGoodFlush) {
  const std::string path = dir_ / "run.log";
  OutputFile log;
  ASSERT_TRUE(log.Open(files_, path.c_str()));
  log.Write("one\r\n");
  ASSERT_TRUE(log.Flush());
  log.Write("two\r\n");
  faults_.Inject(FileOperation::kWrite, 1, ENOSPC);
  EXPECT_FALSE(log.Flush());
  log.Write("three\r\n");  // dropped: the first failure is kept
  EXPECT_EQ(log.Commit(), ENOSPC);
  EXPECT_EQ(ReadTextFile(path), "one\r\n");
}

TEST_F(OutputFileTest, OnlyRegularFilesAreOpenedOrReplaced) {
  ZIRA_SKIP_UNLESS_POSIX("a FIFO and a link to /dev/full");
  const std::string fifo = dir_ / "fifo.htm";
  ASSERT_TRUE(testing::MakeFifo(fifo));
  const std::string device = dir_ / "full.htm";
  std::filesystem::create_symlink("/dev/full", device);
  const std::string folder = dir_.MakeDir("folder.htm");
  for (const std::string& path : {fifo, device, folder}) {
    OutputFile file;
    EXPECT_FALSE(file.Open(files_, path.c_str())) << path;  // returns at once, even for the FIFO
    EXPECT_FALSE(file.OpenReplacing(files_, path.c_str())) << path;
  }
}

TEST_F(OutputFileTest, TheFolderLockKeepsOutASecondRunAndClearsLeftovers) {
  for (const char* name : {".Cobalt_OBRaces.htm.tmp-123", ".a.tmp-9", "keep.tmp-1", ".b.tmp-12x", ".tmp-5"}) {
    WriteTextFile(dir_ / name, "x");
  }
  OutputFolderLock lock;
  ASSERT_EQ(lock.Take(files_, dir_.Path().c_str()), FolderLock::kTaken);
  EXPECT_EQ(Names(), (std::vector<std::string>{".b.tmp-12x", ".tmp-5", ".zira.lock", "keep.tmp-1"}));

  // The lock goes with the open file (flock, LockFileEx), so a second lock
  // in this process stands for another run.
  const auto lockAgain = [this] {
    OutputFolderLock other;
    return other.Take(files_, dir_.Path().c_str());
  };
  EXPECT_EQ(lockAgain(), FolderLock::kHeldElsewhere);
  lock.Release();
  EXPECT_EQ(lockAgain(), FolderLock::kTaken);
  EXPECT_EQ(lock.Take(files_, (dir_ / "missing").c_str()), FolderLock::kUnavailable);
}

}  // namespace
}  // namespace zira
