// Skipped on Windows: folder modes, fork and setuid.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::TempDir;
using testing::WriteTextFile;

class UnlistableFolderTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

// Mode 711: the folder can be entered but not listed, so names cannot be
// matched without regard to case; exact spellings must still be found.
// Root lists any folder, so the lookups run in a child without privileges.
TEST_F(UnlistableFolderTest, NamesInAFolderThatCannotBeListedAreTriedAsWritten) {
  const std::string client = dir_.MakeDir("client");
  dir_.MakeDir("client/Sub");
  WriteTextFile(client + "/Exact.txt", "x");
  WriteTextFile(client + "/Sub/Inner.txt", "y");
  ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(client.c_str(), 0711), 0);
  const std::vector<std::pair<const char*, bool>> names = {
      {"Exact.txt", true}, {"exact.txt", false}, {"Sub\\inner.TXT", true}, {"missing.txt", false}};

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(77);
    }
    MachineRefusals refusals;
    ClientFolder files(client, refusals);
    for (std::size_t i = 0; i < names.size(); ++i) {
      InputFile file;
      const bool found = files.FileExists(names[i].first);
      if (found != names[i].second || file.Open(files, names[i].first) != names[i].second) {
        ::_exit(static_cast<int>(i + 1));
      }
    }
    ::_exit(0);
  }
  int status = 0;
  const pid_t waited = ::waitpid(child, &status, 0);
  ::chmod(client.c_str(), 0755);
  ASSERT_EQ(waited, child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot drop root privileges to test an unlistable folder";
  const int failed = WEXITSTATUS(status);
  EXPECT_EQ(failed, 0) << "wrong answer for " << (failed > 0 && failed <= 4 ? names[failed - 1].first : "?");
}

}  // namespace
}  // namespace zira
