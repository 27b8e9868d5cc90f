#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/file_system.h"
#include "support/text_files.h"

namespace zira::testing {

// Runs a test inside a fresh temporary directory and returns to the old one after.
class WorkingDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char old[4096];
    ASSERT_NE(::getcwd(old, sizeof(old)), nullptr);
    previous_ = old;
    char pattern[] = "/tmp/zira_client_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    directory_ = pattern;
    ResetFileCache();
    ASSERT_TRUE(ChangeDirectory(directory_.c_str()));
  }

  void TearDown() override {
    ChangeDirectory(previous_.c_str());
    ResetFileCache();
    std::system(("rm -rf '" + directory_ + "'").c_str());
  }

  // Writes a file into the directory and makes the file layer see it.
  void Write(const char* name, const std::string& text) {
    ASSERT_TRUE(WriteTextFile(directory_ + "/" + name, text));
    ResetFileCache();
  }

  std::string directory_;
  std::string previous_;
};

}  // namespace zira::testing
