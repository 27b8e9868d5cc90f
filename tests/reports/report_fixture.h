#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "store/inventory.h"
#include "support/test_run.h"

namespace zira::testing {

// A clean store filled directly, an output directory of its own and a
// captured session log, for the report tests.
class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Inventory& inv() { return *run_->inventory; }
  RunIo io() { return run_->Io(); }
  TestRun& run() { return *run_; }

  // Race row id with its codes (empty: none); raises maxRaceId.
  void SetRace(std::uint16_t id, const std::string& male, const std::string& female, const std::string& neutral);
  void SetDatabaseText(std::uint32_t type, std::uint32_t id, const std::string& text);
  void SetListText(std::uint16_t id, const std::string& text);

  // Registers a source (global bucket for a nonzero kind, letter bucket otherwise).
  ModelSource* AddSource(const std::string& name, std::uint8_t kind);
  ModelDef* AddModel(ModelSource* source, const std::string& code, std::uint16_t raceId, std::uint8_t gender);
  // Zone row id with nick and name (empty: absent); raises maxZoneId.
  ZoneRecord* SetZone(std::uint16_t id, const std::string& nick, const std::string& name, std::uint8_t expansion = 0);
  // What discovery would have linked to zone id.
  ZoneLinks* Links(std::uint16_t id) { return &inv().zoneLinks[id]; }
  char* Own(const std::string& text);

  std::string OutputPath() const { return dir_; }
  std::string ReadOutput(const std::string& name) const;
  // The text between the first occurrence of begin and the next of end (end included).
  static std::string Between(const std::string& text, const std::string& begin, const std::string& end);

  std::vector<std::pair<int, std::string>> logLines_;

 private:
  std::unique_ptr<TestRun> run_;
  std::string dir_;
  std::deque<std::string> owned_;
  std::string databaseText_;
};

// A variation list set from the given numbers.
template <std::size_t N>
void SetList(VariationList<N>& list, std::initializer_list<std::uint8_t> numbers) {
  list.count = 0;
  for (std::uint8_t n : numbers) list.values[list.count++] = n;
}

}  // namespace zira::testing
