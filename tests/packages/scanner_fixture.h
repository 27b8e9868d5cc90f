#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/inventory.h"
#include "support/race_table_builder.h"
#include "support/temp_dir.h"
#include "support/test_run.h"

namespace zira::testing {

// One entry of a package to write: its name and its contents.
struct PackageFile {
  std::string name;
  std::vector<std::uint8_t> contents;
};

// One race of the race table with its codes by gender (male, female, neutral).
struct ScannerRace {
  std::uint16_t id;
  const char* male;
  const char* female = nullptr;
  const char* neutral = nullptr;
};

// Little-endian u32 words as a body.
std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words);

// Runs every scanner test in a fresh temp directory with an empty inventory,
// empty run statistics and a capturing session log.
class ScannerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Inventory& inv() { return *run_->inventory; }

  // Fills the race table and the model code index.
  void SetUpRaces(std::initializer_list<ScannerRace> races);
  // Registers a source row directly, as discovery would.
  ModelSource* AddSource(const char* name, SourceKind kind = SourceKind::kLocalToZone);
  // Writes a package into the temp directory.
  void WritePackage(const std::string& name, const std::vector<PackageFile>& files);
  // The captured log lines (echo flag, text).
  std::vector<std::pair<int, std::string>> lines_;
  std::unique_ptr<RaceTableBuilder> races_;
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<ScopedChdir> in_;
  std::unique_ptr<TestRun> run_;
};

// The values of a variation list, for comparisons.
template <std::size_t N>
std::vector<int> Values(const VariationList<N>& list) {
  return std::vector<int>(list.values, list.values + list.count);
}

}  // namespace zira::testing
