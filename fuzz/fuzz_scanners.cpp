// Runs both model scanners over packages built around fuzzed bytes: the first
// part of the input becomes the world file of an .s3d package, the lines of
// the rest the entry names of an .obg package.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/session_log.h"
#include "common/file_system.h"
#include "common/text.h"
#include "discovery/package_names.h"
#include "support/package_writer.h"
#include "support/race_table_builder.h"
#include "support/test_run.h"

namespace {

constexpr std::size_t kMostNames = 64;
constexpr std::size_t kLongestName = 300;

// One run for every input, in a private directory, with a race table that
// gives the scanners' race rules something to match.
struct FuzzRun {
  explicit FuzzRun(const std::string& folder) : directory(folder), run(folder), races(run.inventory->client) {
    races.Add(1, 1, "ABC").Add(1, 2, "ABF").Add(2, 1, "BOM").Add(3, 1, "DWM").Add(442, 1, "ELM");
    races.Add(431, 1, "HUM").Add(456, 1, "ORM").Add(458, 1, "GEM").Add(474, 3, "KEN").Add(497, 2, "VAF");
    races.Add(566, 1, "SKM").Add(580, 1, "TRM").Add(586, 1, "FLM");
    run.log.Install();
    run.log.echoToConsole = 0;
  }
  std::string directory;
  zira::testing::TestRun run;
  zira::testing::RaceTableBuilder races;
};

FuzzRun* SetUp() {
  static char directory[] = "/tmp/zira-fuzz-scanners-XXXXXX";
  if (mkdtemp(directory) == nullptr) return nullptr;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  });
  static FuzzRun fuzz(directory);
  return &fuzz;
}

// Empties the source and model rows the last input used, keeping the races.
void ClearModels(zira::Inventory& inventory) {
  for (std::size_t i = 0; i < inventory.modelDefCount; ++i) inventory.models[i] = zira::ModelDef{};
  for (std::size_t i = 0; i < inventory.sourceCount; ++i) inventory.sources[i] = zira::ModelSource{};
  inventory.modelDefCount = 0;
  inventory.sourceCount = 0;
}

zira::ModelSource* AddSource(zira::Inventory& inventory, const char* name, std::uint8_t kind) {
  zira::ModelSource& source = inventory.sources[inventory.sourceCount++];
  source.nameLength = static_cast<std::uint8_t>(zira::CopyText(source.name, sizeof(source.name), name));
  source.kind = static_cast<zira::SourceKind>(kind);
  return &source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FuzzRun* const fuzz = SetUp();
  if (fuzz == nullptr || size < 2) return 0;
  zira::Inventory& inventory = *fuzz->run.inventory;
  ClearModels(inventory);

  const std::size_t split = std::min<std::size_t>(size - 2, data[0] | (data[1] << 8));
  const std::vector<std::uint8_t> world(data + 2, data + 2 + split);
  zira::testing::PackageWriter s3d;
  s3d.AddEntry("fuzz.wld", world);
  if (!s3d.WriteTo(fuzz->directory + "/fuzz.s3d")) return 0;

  zira::testing::PackageWriter obg;
  std::string name;
  for (std::size_t i = 2 + split; i <= size && obg.EntryCount() < kMostNames; ++i) {
    if (i == size || data[i] == '\n') {
      obg.AddEntry(name, {1});
      name.clear();
    } else if (name.size() < kLongestName) {
      name.push_back(static_cast<char>(data[i]));
    }
  }
  if (!obg.WriteTo(fuzz->directory + "/fuzz.obg")) return 0;
  fuzz->run.files.ForgetListings();

  // Kind 3 reaches the per-race variations as well.
  const zira::RunIo io = fuzz->run.Io();
  static_cast<void>(
      zira::ScanPackage(io, inventory, AddSource(inventory, "fuzz.s3d", data[0] & 1 ? 3 : 0), zira::PackageType::kS3d));
  static_cast<void>(zira::ScanPackage(io, inventory, AddSource(inventory, "fuzz.obg", 0), zira::PackageType::kObg));
  return 0;
}
