#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "common/machine_refusal.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::TempDir;
using testing::WriteTextFile;

class SettingsTest : public ::testing::Test {
 protected:
  // Each load reads the folder afresh, as a run does.
  void Load() {
    MachineRefusals refusals;
    ClientFolder folder(dir_.Path(), refusals);
    settings_ = Settings{};
    LoadSettings(folder, settings_);
  }
  std::string Working() const { return settings_.workingPath; }
  std::string Output() const { return settings_.outputPath; }
  TempDir dir_;
  Settings settings_;
};

TEST_F(SettingsTest, DefaultsWithoutAnyFile) {
  Load();
  EXPECT_EQ(Working(), ".");
  EXPECT_EQ(Output(), "ZIRA");
}

TEST_F(SettingsTest, ReadsTheFileBelowZiraOnlyWhenNoneIsInTheStartDirectory) {
  dir_.MakeDir("ZIRA");
  WriteTextFile(dir_ / "ZIRA/ZIRA.ini", "obpath=from-sub\n");
  Load();
  EXPECT_EQ(Working(), "from-sub");

  WriteTextFile(dir_ / "ZIRA.ini", "outpath=from-top\n");
  Load();
  EXPECT_EQ(Working(), ".");
  EXPECT_EQ(Output(), "from-top");
}

TEST_F(SettingsTest, TrimsKeysAndValuesAndDropsTrailingBackslashes) {
  WriteTextFile(dir_ / "ZIRA.ini",
                "[Paths]\r\n"
                "  OutPath = C:\\Reports\\\\  \r\n"
                "obpath=a=b\r\n"
                "outpath\r\n"
                "\tobpath=tabbed\r\n"
                "; comment\r\n");
  Load();
  EXPECT_EQ(Output(), "C:\\Reports");
  EXPECT_EQ(Working(), "a=b");
}

TEST_F(SettingsTest, LastLineWinsAndOnlyBackslashesLeaveAnEmptyPath) {
  WriteTextFile(dir_ / "ZIRA.ini", "obpath=first\nobpath=second\noutpath=\\\\\\\n");
  Load();
  EXPECT_EQ(Working(), "second");
  EXPECT_EQ(Output(), "");
}

TEST_F(SettingsTest, LongLinesKeepTheirFirst255Characters) {
  const std::string value(300, 'v');
  WriteTextFile(dir_ / "ZIRA.ini", "outpath=" + value + "obpath=not-a-line\nobpath=next\n");
  Load();
  EXPECT_EQ(Output(), std::string(255 - 8, 'v'));
  EXPECT_EQ(Working(), "next");
}

TEST_F(SettingsTest, AZeroByteInsideALineKeepsTheNextLine) {
  const char text[] = "outpath=out\0put\nobpath=next\n";
  WriteTextFile(dir_ / "ZIRA.ini", std::string(text, sizeof(text) - 1));
  Load();
  EXPECT_EQ(Output(), "out");
  EXPECT_EQ(Working(), "next");
}

}  // namespace
}  // namespace zira
