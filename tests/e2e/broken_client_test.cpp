// Runs the inventory on sample clients broken one kind of input at a time:
// every run must end on its own with the exit code its input calls for,
// without a crash or a sanitizer report, with the messages that input
// produces, and with every report it can still write.
#include <gtest/gtest.h>

#include <stdio.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "support/sample_broken.h"
#include "support/sample_client.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::TempDir;

struct Expected {
  int exitCode = 0;
  std::vector<std::string> console;  // texts the console shows
  std::vector<std::string> log;      // lines the log file holds
  std::vector<std::string> absent;   // texts the log file must not hold
};

// A failing .s3d target is reported by each step that reaches it.
const std::vector<std::string> kS3dTargetsFail = {
    "    SKIPPED: Problem loading global models from globalHUM_chr.s3d\n",
    "   SKIPPED: Could not load model source globalhum_chr.s3d\n",
    "   SKIPPED: Model HUM in importer_chr.txt, not in globalhum_chr.s3d\n",
    "    SKIPPED: Problem loading global models from global7_chr.s3d\n",
    "   SKIPPED: Problem loading models from irpack.s3d in abc_chr.txt\n",
    "   SKIPPED: Model IRM in abc_chr.txt, not in irpack.s3d\n",
    "   SKIPPED: Model DUF in importer_chr.txt, not in abc_chr.s3d\n",
    "  SKIPPED: Problem loading model information from ORS_chr.s3d\n",
};

const std::vector<std::string> kObgTargetsFail = {
    "   SKIPPED: Could not load model source global4_chr.obg\n",
    "      SKIPPED: Problem loading models from gobpack.obg in importer_chr.txt\n",
    "   SKIPPED: Model GOB in importer_chr.txt, not in gobpack.obg\n",
    "  SKIPPED: Problem loading model information from ORP.obg\n",
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::string kHint = "\nThis program must presently be run from your Ombrith directory.\n";

const std::map<std::string, Expected>& Expectations() {
  static const std::map<std::string, Expected> expectations = [] {
    const std::vector<std::string> allFail = Join(kS3dTargetsFail, kObgTargetsFail);
    const std::vector<std::string> noImports = {
        "   ODDITY: Expected 8 model references in importer_chr.txt, found 0\n",
        "   ODDITY: Expected 1 model references in abc_chr.txt, found 0\n",
        "   ODDITY: Expected 4 model references in busy_chr.txt, found 0\n",
    };
    std::map<std::string, Expected> e;
    e["truncated-header"] = {0, allFail, {}, {}};
    e["truncated-directory"] = {0, allFail, {}, {}};
    e["truncated-block"] = {0, allFail, {}, {}};
    e["truncated-name-directory"] = {0, allFail, {}, {}};
    e["bad-magic"] = {0, allFail, {}, {}};
    e["zero-offset"] = {0, allFail, {}, {}};
    // Nameless entries: no world file to find, and .obg packages without models.
    e["wrong-checksums"] = {0,
                            Join(kS3dTargetsFail, {"   SKIPPED: Model GOB in importer_chr.txt, not in gobpack.obg\n"}),
                            {},
                            {"SKIPPED: Could not load model source global4_chr.obg",
                             "SKIPPED: Problem loading models from gobpack.obg",
                             "SKIPPED: Problem loading model information from ORP.obg"}};
    // Only the first target's world file loses its header; the others still load.
    e["world-cut"] = {0, {kS3dTargetsFail.begin(), kS3dTargetsFail.begin() + 3}, {}, {}};
    e["bit-flipped"] = {};
    e["world-flipped"] = {};
    // The rest of a line beyond 1023 characters is read as a line of its own.
    e["long-lines"] = {0,
                       {},
                       {"   Loading global model source global6_chr.s3d\r\n",
                        "      Imported Model HUF (Race 1, Gender 2) to Zone abc\r\n"},
                       {}};
    // Texts from the files are never taken as formats.
    e["binary-lines"] = {0,
                         {"   SKIPPED: No race found to match model code HU\xffM in importer_chr.txt\n",
                          "   SKIPPED: No race found to match model code %S%N in importer_chr.txt\n",
                          "   SKIPPED: GlobalLoad - Could not find model source %s%n%d_chr.*\n"},
                         {},
                         {}};
    e["cr-only"] = {0, noImports, {}, {}};
    e["no-line-ends"] = {0, noImports, {}, {}};
    e["import-header-zero"] = {0,
                               {"  SKIPPED: Unable to parse importer_chr.txt for model imports\n",
                                "  SKIPPED: Unable to parse abc_chr.txt for model imports\n",
                                "  SKIPPED: Unable to parse busy_chr.txt for model imports\n",
                                "  SKIPPED: Unable to parse blanklist_chr.txt for model imports\n"},
                               {},
                               {"Imported Model"}};
    e["globalload-few-commas"] = {0,
                                  {},
                                  {"  ODDITY: Model code 'KOB' is truly orphaned (no sources)\r\n"},
                                  {"Loading global model source", "SKIPPED: GlobalLoad", "Could not load model source",
                                   "Could not add model source for"}};
    e["client-garbage"] = {0, {"  Found 0 races, max RaceID is 0\n", "  Found 0 zones, max ZoneID is 0\n"}, {}, {}};
    e["empty-strings"] = {0,
                          {"  Found 0 Strings. Highest StringID is 0\n",
                           "  Found 0 DB Strings, 0 Types. Highest DBStringID is 0\n"},
                          {},
                          {}};
    // A size of no known edition and a missing file get messages of their own.
    e["client-truncated"] = {
        1, {"FAILURE: obgame.exe is not a compatible version. Only Cobalt and Lirael are supported.\n"}, {}, {}};
    e["client-bad-header"] = {1, {"FAILURE: Unknown problem loading OB client file: obgame.exe"}, {}, {}};
    e["missing-client"] = {1, {"FAILURE: obgame.exe not found.\n" + kHint}, {}, {}};
    // Zone texts lie past the cut: their nicks read empty.
    e["client-cut-rdata"] = {0, {"SKIPPED: Failed model loading for Zone 1500 (), ''\n"}, {}, {}};
    e["missing-obstr"] = {2, {"FAILURE: Could not read String List from obstr_us.txt\n" + kHint}, {}, {}};
    e["missing-dbstr"] = {3, {"FAILURE: Could not read String Database from dbstr_us.txt\n" + kHint}, {}, {}};
    return e;
  }();
  return expectations;
}

// Like RunProgram, but a run that hangs is killed and reported as such.
int RunBounded(const std::string& directory, std::string* output) {
  return testing::RunProgramBounded(ZIRA_BINARY, directory, {}, 120, output);
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

using Case = std::tuple<const char*, std::string>;

unsigned EditionId(const std::string& edition) { return edition == "Cobalt" ? 1 : edition == "Lirael" ? 2 : 3; }

// Each edition's sound sample is written once; a case links its files into a
// folder of its own, and breaking replaces files instead of writing through
// the links.
class BrokenClientTest : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    samples_ = new TempDir();
    for (const char* edition : {"Cobalt", "Lirael", "MK2"}) {
      ASSERT_TRUE(testing::WriteSampleClient(*samples_ / edition, EditionId(edition), ""));
    }
  }
  static void TearDownTestSuite() {
    delete samples_;
    samples_ = nullptr;
  }
  static std::string Sample(const std::string& edition) { return *samples_ / edition; }

 private:
  static TempDir* samples_;
};

TempDir* BrokenClientTest::samples_ = nullptr;

bool LinkTree(const std::string& from, const std::string& to) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(from, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    const fs::path target = fs::path(to) / fs::relative(it->path(), from);
    if (it->is_directory()) {
      fs::create_directories(target, error);
    } else {
      fs::create_hard_link(it->path(), target, error);
    }
  }
  return !error;
}

TEST_P(BrokenClientTest, RunEndsWithItsMessagesAndReports) {
  const std::string edition = std::get<0>(GetParam());
  const std::string& variant = std::get<1>(GetParam());
  const auto found = Expectations().find(variant);
  ASSERT_NE(found, Expectations().end()) << "no expectation for " << variant;
  const Expected& expected = found->second;

  TempDir dir;
  ASSERT_TRUE(LinkTree(Sample(edition), dir.Path()));
  ASSERT_TRUE(testing::BreakSampleClient(dir.Path(), EditionId(edition), variant));

  std::string console;
  const int code = RunBounded(dir.Path(), &console);
  // 124 and 137 are the marks of a run that had to be stopped.
  EXPECT_EQ(code, expected.exitCode) << console.substr(console.size() > 3000 ? console.size() - 3000 : 0);
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
    EXPECT_EQ(console.find(mark), std::string::npos) << console;
  }
  for (const std::string& text : expected.console) {
    EXPECT_NE(console.find(text), std::string::npos) << "console lacks: " << text;
  }

  const std::string out = dir / ("ZIRA/" + edition + "_");
  const std::string log = ReadTextFile(out + "ZIRA.log");
  for (const std::string& text : expected.log) EXPECT_NE(log.find(text), std::string::npos) << "log lacks: " << text;
  for (const std::string& text : expected.absent) EXPECT_EQ(log.find(text), std::string::npos) << "log holds: " << text;

  // No log before the client is recognized; a gate failure closes the log
  // without reports; a completed run writes all four.
  EXPECT_EQ(Exists(out + "ZIRA.log"), expected.exitCode != 1);
  if (expected.exitCode != 1) {
    EXPECT_NE(log.find("Session closed. Good-bye!\r\n"), std::string::npos);
  }
  const bool completed = expected.exitCode == 0;
  if (completed) {
    EXPECT_NE(log.find("] Finished!\r\n"), std::string::npos);
  }
  for (const char* report : {"OBRaces_ModelCodes_DB.txt", "OBZoneInfo_DB.txt"}) {
    EXPECT_EQ(Exists(out + report), completed) << report;
  }
  for (const char* page : {"OBRaces.htm", "OBZones.htm"}) {
    EXPECT_EQ(Exists(out + page), completed) << page;
    if (completed) {
      const std::string text = ReadTextFile(out + page);
      EXPECT_TRUE(text.ends_with("</body>\r\n</html>\r\n")) << page << " is incomplete";
    }
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* edition : {"Cobalt", "Lirael", "MK2"}) {
    for (const std::string& variant : testing::BrokenVariants()) cases.emplace_back(edition, variant);
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EditionsAndVariants, BrokenClientTest, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& p) {
                           std::string name = std::string(std::get<0>(p.param)) + "_" + std::get<1>(p.param);
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

TEST(BrokenClientVariants, AnUnknownVariantBreaksNothing) {
  TempDir dir;
  EXPECT_FALSE(testing::WriteSampleClient(dir.Path(), 1, "no-such-variant"));
  EXPECT_FALSE(testing::BrokenVariants().empty());
}

}  // namespace
}  // namespace zira
