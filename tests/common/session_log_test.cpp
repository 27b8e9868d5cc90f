#include "common/session_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/temp_dir.h"
#include "support/test_run.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::TestRun;
using testing::TempDir;

class SessionLogTest : public ::testing::Test {
 protected:
  TempDir dir_;
  TestRun run_{dir_.Path()};
  SessionLog& log_ = run_.log;
};

TEST_F(SessionLogTest, WritesHeaderTimestampedCrLfLinesAndTheClosingLine) {
  dir_.MakeDir("out");
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(log_.Create(run_.files, "Cobalt", "out\\"), ResultCode::kOk);
  log_.Both("Found %d things in %s", 0, "here");
  log_.Only("log only %d", -5);
  log_.Line(0, "100% kept");
  static_cast<void>(log_.Release());
  const std::string console = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(console, "Logging to out\\Cobalt_ZIRA.log...\nFound 0 things in here\n");
  const std::string log = ReadTextFile(dir_ / "out/Cobalt_ZIRA.log");
  const std::string stamp = R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] )";
  const std::regex expected("Ombrith Race Information Inventory v1\\.0\r\n-{41}\r\n" + stamp + "Session started\r\n" +
                            stamp + "Current directory: [^\r\n]*\r\n" + stamp +
                            "OBGame\\.exe recognized as the Cobalt version\\.\r\n" + stamp +
                            "Found 0 things in here\r\n" + stamp + "log only -5\r\n" + stamp + "100% kept\r\n" +
                            stamp + "Session closed\\. Good-bye!\r\n");
  EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(SessionLogTest, FailedCreationEchoesBothChannelOnceAndWritesNothing) {
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(Failed(log_.Create(run_.files, "MK2", "missing\\dir")));
  log_.Both("echoed %s", "once");
  log_.Only("dropped");
  static_cast<void>(log_.Release());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "FAILURE: Could not create log file: MK2_ZIRA.log\nechoed once\n");
}

TEST_F(SessionLogTest, LongMessagesAreCutAndNothingIsLoggedWithoutALog) {
  log_.Both("not installed");  // nothing happens, not even on the console
  std::vector<std::pair<int, std::string>> lines;
  log_.Install();
  log_.capture = &lines;
  log_.Only("%s", std::string(5000, 'x').c_str());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].second.size(), 1023u);
  static_cast<void>(log_.Release());
  log_.Both("no log");  // no log installed: nothing happens
}

// What is in the file while the run goes on: whole lines only, a page of
// the file behind at most, and a line the console shows at once.
TEST_F(SessionLogTest, TheFileHoldsWholeLinesAtMostAPageBehindAndEchoedLinesAtOnce) {
  dir_.MakeDir("out");
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(log_.Create(run_.files, "MK2", "out\\"), ResultCode::kOk);
  const std::string path = dir_ / "out/MK2_ZIRA.log";
  std::size_t logged = 0;  // known from the first line, which the console shows
  std::string failures;
  for (int i = 0; i < 400; ++i) {
    const bool echoed = i % 97 == 0;
    const std::string text = std::string(static_cast<std::size_t>(i % 53), 'x') + std::to_string(i);
    if (echoed) {
      log_.Both("%s", text.c_str());
    } else {
      log_.Only("%s", text.c_str());
    }
    const std::string now = ReadTextFile(path);
    logged = i == 0 ? now.size() : logged + 22 + text.size() + 2;  // the time stamp, the text, CR LF
    if (!now.ends_with(text + "\r\n") && (echoed || !now.ends_with("\r\n"))) failures += " cut:" + std::to_string(i);
    if (logged - now.size() > 4096) failures += " behind:" + std::to_string(i);
  }
  static_cast<void>(log_.Release());
  static_cast<void>(::testing::internal::GetCapturedStdout());
  EXPECT_EQ(failures, "");
}

TEST(TimestampTest, HasTheFixedWidthLocalTimeForm) {
  const std::string prefix = TimestampPrefix();
  EXPECT_EQ(prefix.size(), 22u);
  EXPECT_TRUE(std::regex_match(prefix, std::regex(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] )")));
}

}  // namespace
}  // namespace zira
