// Scans run ahead on the pool give what a scan on the registering thread
// gives, whatever the threads and the memory budget.
#include "packages/scan_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/worker_pool.h"
#include "packages/obg_scanner.h"
#include "packages/s3d_scanner.h"
#include "packages/scanner_fixture.h"
#include "support/world_builder.h"

namespace zira::testing {
namespace {

// What a scan gave, as one comparable text.
std::string Describe(const Result& result, const ScannedPackage& found) {
  std::string text = Failed(result) ? "failed;" : "ok;";
  for (const FoundModel& model : found.models) {
    text.append(model.Code()).append(":");
    for (const FoundVariation& v : model.variations) {
      text.append(std::to_string(static_cast<int>(v.kind))).append(".").append(std::to_string(v.value)).append(",");
    }
    text.append(";");
  }
  return text + std::to_string(found.worldBytes);
}

class ScanAheadTest : public ScannerTest {
 protected:
  // Packages of growing size, an .obg one and a file that is no package.
  void WriteClient() {
    SetUpRaces({{1, "HUM", "HUF"}, {2, "BAM", "BAF"}});
    for (int i = 0; i < 10; ++i) {
      WorldBuilder world;
      for (int m = 0; m <= i; ++m) world.AddModel(std::string(m % 2 ? "HUF" : "BAM") + "_ACTORDEF", 0);
      // The last world file spans enough blocks for the waiting threads to help inflate it.
      const std::size_t padding = i == 9 ? 400000 : static_cast<std::size_t>(i) * 3000;
      world.AddFragment(0x22, "", std::vector<std::uint8_t>(padding, 0x41));
      const std::string name = "p" + std::to_string(i) + "_chr.s3d";
      WritePackage(name, {{"p" + std::to_string(i) + "_chr.wld", world.Bytes()}});
      Plan(name, PackageType::kS3d);
      largest_ = std::max<std::uint64_t>(largest_, plan_.back().fileBytes + world.Bytes().size());
    }
    // Long world files with a damaged block: their blocks are walked in order
    // from there, on whichever thread scans them.
    for (const char* name : {"q0_chr", "q1_chr", "q2_chr", "q3_chr"}) {
      WorldBuilder damaged;
      damaged.AddModel("HUM_ACTORDEF", 0);
      damaged.AddFragment(0x22, "", std::vector<std::uint8_t>(300000, 0x42));
      WritePackage(std::string(name) + ".s3d", {{std::string(name) + ".wld", damaged.Bytes()}});
      std::fstream file(dir_->Path() + "/" + name + ".s3d", std::ios::in | std::ios::out | std::ios::binary);
      file.seekg(0, std::ios::end);
      file.seekp(file.tellg() / 3);
      file.put('\x5A');
      file.close();
      run_->files.ForgetListings();
      Plan(std::string(name) + ".s3d", PackageType::kS3d);
    }
    WritePackage("hum.obg", {{"hum.mod", {1}}, {"huf.mds", {1}}, {"hum_01.dds", {1}}});
    Plan("hum.obg", PackageType::kObg);
    Write("bad_chr.s3d", "not a package");
    Plan("bad_chr.s3d", PackageType::kS3d);
  }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(name.c_str(), std::vector<std::uint8_t>(text.begin(), text.end())));
    run_->files.ForgetListings();
  }
  void Plan(const std::string& name, PackageType type) {
    PlannedScan scan;
    scan.name = name;
    scan.type = type;
    std::uint32_t bytes = 0;
    ASSERT_TRUE(run_->files.ResolveExisting(name.c_str(), &scan.realPath));
    ASSERT_TRUE(run_->files.FileSize(name.c_str(), &bytes));
    scan.fileBytes = bytes;
    plan_.push_back(scan);
  }
  std::string ScanHere(const PlannedScan& scan) {
    MachineRefusals refusals;
    ScannedPackage found;
    const PackageInput input{scan.name.c_str(), scan.realPath, refusals, nullptr, nullptr};
    const Result result = scan.type == PackageType::kObg ? ScanObgPackage(input, inv().client, &found)
                                                         : ScanS3dPackage(input, inv().client, false, &found);
    return Describe(result, found);
  }
  std::vector<PlannedScan> plan_;
  std::uint64_t largest_ = 0;  // bytes of the largest package and its world file
};

TEST_F(ScanAheadTest, TakesGiveWhatScansHereGiveWithinTheBudget) {
  WriteClient();
  std::vector<std::string> expected;
  for (const PlannedScan& scan : plan_) expected.push_back(ScanHere(scan));
  struct Case {
    unsigned jobs;
    std::uint64_t budget;
  };
  for (const Case& c : {Case{1, 1}, Case{2, 1}, Case{3, 1}, Case{8, 1}, Case{3, 40000}, Case{8, 64ull << 20}}) {
    SCOPED_TRACE("jobs " + std::to_string(c.jobs) + ", budget " + std::to_string(c.budget));
    WorkerPool pool(c.jobs);
    ScanAhead ahead(pool, inv().client, c.budget);
    ahead.Plan(plan_);
    // Taken out of order, one twice and one never: the plan is a forecast only.
    for (const std::size_t i : {std::size_t{3}, std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{14},
                                std::size_t{10}, std::size_t{11}, std::size_t{12}, std::size_t{13}, std::size_t{9},
                                std::size_t{5}, std::size_t{4}, std::size_t{6}, std::size_t{7}}) {
      ScannedPackage found;
      const std::optional<Result> taken =
          ahead.Take(plan_[i].name, plan_[i].type, plan_[i].perRaceRules, &found);
      ASSERT_EQ(taken.has_value(), c.jobs > 1) << plan_[i].name;
      if (taken) {
        EXPECT_EQ(Describe(*taken, found), expected[i]) << plan_[i].name;
      }
    }
    ScannedPackage found;
    EXPECT_FALSE(ahead.Take(plan_[3].name, plan_[3].type, false, &found));
    EXPECT_FALSE(ahead.Take(plan_[2].name, plan_[2].type, true, &found));
    EXPECT_FALSE(ahead.Take("unplanned_chr.s3d", PackageType::kS3d, false, &found));
    ahead.Stop();
    EXPECT_LE(ahead.PeakBytes(), c.budget + largest_);
    if (c.budget == 1) {
      EXPECT_LE(ahead.PeakBytes(), largest_);
    }
  }
}

}  // namespace
}  // namespace zira::testing
