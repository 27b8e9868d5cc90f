#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/file_system.h"
#include "support/temp_dir.h"
#include "support/test_run.h"
#include "support/text_files.h"

namespace zira::testing {

// Runs a test inside a fresh temporary directory and returns to the old one after.
class WorkingDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = dir_.Path();
    in_ = std::make_unique<ScopedChdir>(directory_);
    run_ = std::make_unique<TestRun>(directory_);
  }

  void TearDown() override {
    run_.reset();
    in_.reset();
  }

  ClientFolder& files() { return run_->files; }

  // Writes a file into the directory and makes the file layer see it.
  void Write(const char* name, const std::string& text) {
    ASSERT_TRUE(WriteTextFile(directory_ + "/" + name, text));
    run_->files.ForgetListings();
  }

  TempDir dir_;
  std::string directory_;

 private:
  std::unique_ptr<ScopedChdir> in_;
  std::unique_ptr<TestRun> run_;
};

}  // namespace zira::testing
