#include "app/phase_times.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace zira {
namespace {

std::string Printed(std::FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  return text;
}

class PhaseTimesTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = std::tmpfile(); ASSERT_NE(nullptr, file_); }
  void TearDown() override {
    testing::SetEnvironment("ZIRA_PHASE_TIMES", nullptr);
    std::fclose(file_);
  }
  std::FILE* file_ = nullptr;
};

TEST_F(PhaseTimesTest, SilentUnlessAskedForWithOne) {
  for (const char* value : {static_cast<const char*>(nullptr), "", "0", "yes", "11"}) {
    if (value == nullptr) {
      testing::SetEnvironment("ZIRA_PHASE_TIMES", nullptr);
    } else {
      testing::SetEnvironment("ZIRA_PHASE_TIMES", value);
    }
    PhaseTimes phases(file_);
    EXPECT_FALSE(phases.Enabled());
    phases.End("zone_models");
    phases.Total();
  }
  EXPECT_EQ("", Printed(file_));
}

TEST_F(PhaseTimesTest, OneLinePerPhaseAndTheTotal) {
  testing::SetEnvironment("ZIRA_PHASE_TIMES", "1");
  PhaseTimes phases(file_);
  ASSERT_TRUE(phases.Enabled());
  phases.End("race_table");
  phases.End(nullptr);
  phases.End("zone_models");
  phases.Total();
  const std::string text = Printed(file_);
  char first[32] = {}, second[32] = {}, third[32] = {};
  double a = -1, b = -1, total = -1;
  ASSERT_EQ(6, std::sscanf(text.c_str(), "phase %31s %lf\nphase %31s %lf\nphase %31s %lf\n", first, &a, second, &b,
                           third, &total));
  EXPECT_STREQ("race_table", first);
  EXPECT_STREQ("zone_models", second);
  EXPECT_STREQ("total", third);
  EXPECT_GE(a, 0.0);
  EXPECT_GE(b, 0.0);
  EXPECT_GE(total, a + b - 1e-6);
}

}  // namespace
}  // namespace zira
