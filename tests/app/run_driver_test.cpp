#include "app/run_driver.h"

#include <gtest/gtest.h>

#include <string>

#include "store/inventory.h"
#include "support/client_image_writer.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ClientImageOptions;
using testing::ClientImageWriter;
using testing::ReadTextFile;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteTextFile;

constexpr const char* kBanner =
    "Ombrith Race Information Inventory v1.0\n-----------------------------------------\n"
    "Loading OB Client from: obgame.exe\n";
constexpr const char* kHint = "\nThis program must presently be run from your Ombrith directory.\n";

class RunDriverTest : public ::testing::Test {
 protected:
  int Run(std::string* output) { return RunProgram(ZIRA_BINARY, dir_.Path(), output); }
  void WriteClient(std::uint32_t edition, const ClientImageOptions& options = {}) {
    ClientImageWriter(edition, options).WriteTo((dir_ / "obgame.exe").c_str());
  }
  void WriteStrings() {
    WriteTextFile(dir_ / "obstr_us.txt", "1 One\r\n");
    WriteTextFile(dir_ / "dbstr_us.txt", "1^11^Human^0\r\n");
  }
  TempDir dir_;
};

TEST_F(RunDriverTest, MissingClientSaysSoAndExitsWithOne) {
  std::string out;
  EXPECT_EQ(Run(&out), 1);
  EXPECT_EQ(out, std::string(kBanner) + "FAILURE: obgame.exe not found.\n" + kHint);
}

TEST_F(RunDriverTest, ClientOfUnknownSizeIsNotACompatibleVersion) {
  for (int delta : {1, -1}) {
    WriteClient(2, {.sizeDelta = delta});
    std::string out;
    EXPECT_EQ(Run(&out), 1);
    EXPECT_EQ(out, std::string(kBanner) +
                       "FAILURE: obgame.exe is not a compatible version. Only Cobalt and Lirael are supported.\n");
  }
}

TEST_F(RunDriverTest, BrokenImagesOfAKnownSizeGetTheGeneralMessage) {
  const ClientImageOptions broken[] = {
      {.mzSignature = false},
      {.peSignature = false},
      {.peOffset = 0xFFFFFF00},
      {.sectionCount = 0xFFFF, .rdataName = ".data"},
      {.rdataName = ".rdata2"},
  };
  for (const ClientImageOptions& options : broken) {
    WriteClient(1, options);
    std::string out;
    EXPECT_EQ(Run(&out), 1);
    EXPECT_EQ(out, std::string(kBanner) + "FAILURE: Unknown problem loading OB client file: obgame.exe");
  }
}

TEST_F(RunDriverTest, WorkingPathThatCannotBeEnteredEndsAtOnce) {
  WriteTextFile(dir_ / "ZIRA.ini", "obpath=no\\such\\place\n");
  std::string out;
  EXPECT_EQ(Run(&out), 1);
  EXPECT_EQ(out, "Error: Could not change to working path:\n\nno\\such\\place");
}

TEST_F(RunDriverTest, RecognizedClientOpensTheEditionLog) {
  WriteClient(3);
  WriteStrings();
  std::string out;
  EXPECT_EQ(Run(&out), 0);
  EXPECT_NE(out.find("  OBGame.exe recognized as the MK2 version.\n\nLogging to ZIRA\\MK2_ZIRA.log...\n"),
            std::string::npos)
      << out;
  const std::string log = ReadTextFile(dir_ / "ZIRA/MK2_ZIRA.log");
  EXPECT_NE(log.find("] Session started\r\n"), std::string::npos);
  EXPECT_NE(log.find("] Current directory: " + dir_.Path() + "\r\n"), std::string::npos);
  EXPECT_NE(log.find("] OBGame.exe recognized as the MK2 version.\r\n"), std::string::npos);
  EXPECT_NE(log.find("]   MAXIMUM: List StringID = "), std::string::npos);
  EXPECT_NE(log.find("] Finished!\r\n"), std::string::npos);
  EXPECT_NE(log.find("] Session closed. Good-bye!\r\n"), std::string::npos);
}

TEST_F(RunDriverTest, OutputPathThatCannotBeCreatedLetsTheRunGoOnAndEndWithSix) {
  WriteClient(1);
  WriteStrings();
  WriteTextFile(dir_ / "ZIRA.ini", "outpath=a\\b\\c\n");
  std::string out;
  EXPECT_EQ(Run(&out), 6);
  EXPECT_EQ(out.rfind("FAILURE: Could not find or create output path a\\b\\cOmbrith Race Information", 0), 0u)
      << out;
  EXPECT_NE(out.find("FAILURE: Could not create log file: Cobalt_ZIRA.log\n"), std::string::npos);
  EXPECT_NE(out.find("\nFinished!\n"), std::string::npos);
}

TEST_F(RunDriverTest, MissingStringFilesEndTheRunWithTwoAndThree) {
  WriteClient(1);
  std::string out;
  EXPECT_EQ(Run(&out), 2);
  EXPECT_NE(out.find("Loading String List from obstr_us.txt...\nFAILURE: Could not read String List from "
                     "obstr_us.txt\n" + std::string(kHint)),
            std::string::npos)
      << out;
  WriteTextFile(dir_ / "obstr_us.txt", "");
  EXPECT_EQ(Run(&out), 3);
  EXPECT_NE(out.find("FAILURE: Could not read String Database from dbstr_us.txt\n" + std::string(kHint)),
            std::string::npos)
      << out;
}

Result Refuse(ClientImage&) { return Fail("refused by the test"); }

TEST_F(RunDriverTest, TableReaderFailuresEndTheRunWithFourAndFive) {
  WriteClient(1);
  WriteStrings();
  testing::ScopedChdir in(dir_.Path());
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunInventory({.readRaceTable = Refuse}), ExitCode::kNoRaceTable);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Loading Race Information...\nFAILURE: Could not read race code information from client "
                     "obgame.exe\n" + std::string(kHint)),
            std::string::npos)
      << out;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunInventory({.readZoneTable = Refuse}), ExitCode::kNoZoneTable);
  out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Loading Zone Information...\nFAILURE: Could not read zone information from client "
                     "obgame.exe\n" + std::string(kHint)),
            std::string::npos)
      << out;
}

}  // namespace
}  // namespace zira
