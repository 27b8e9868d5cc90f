#include "packages/scanner_fixture.h"

#include <cstring>

#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/file_system.h"
#include "common/text.h"
#include "support/package_writer.h"

namespace zira::testing {

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t w : words) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  }
  return bytes;
}

void ScannerTest::SetUp() {
  dir_ = std::make_unique<TempDir>();
  in_ = std::make_unique<ScopedChdir>(dir_->Path());
  run_ = std::make_unique<TestRun>(dir_->Path());
  races_ = std::make_unique<RaceTableBuilder>(inv().client);
  run_->log.Install();
  run_->log.capture = &lines_;
}

void ScannerTest::TearDown() {
  races_.reset();
  run_.reset();
  in_.reset();
  dir_.reset();
}

void ScannerTest::SetUpRaces(std::initializer_list<ScannerRace> races) {
  for (const ScannerRace& race : races) {
    const char* codes[3] = {race.male, race.female, race.neutral};
    for (std::uint8_t gender = 1; gender <= 3; ++gender) {
      if (codes[gender - 1] != nullptr) races_->Add(race.id, gender, codes[gender - 1]);
    }
  }
}

ModelSource* ScannerTest::AddSource(const char* name, SourceKind kind) {
  Inventory& inventory = inv();
  ModelSource& source = inventory.sources[inventory.sourceCount++];
  source.nameLength = static_cast<std::uint8_t>(CopyText(source.name, sizeof(source.name), name));
  LowerInPlace(source.name);
  source.kind = kind;
  return &source;
}

void ScannerTest::WritePackage(const std::string& name, const std::vector<PackageFile>& files) {
  PackageWriter writer;
  for (const PackageFile& file : files) writer.AddEntry(file.name, file.contents);
  ASSERT_TRUE(writer.WriteTo(name));
  run_->files.ForgetListings();
}

}  // namespace zira::testing
