#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/file_system.h"
#include "common/text.h"
#include "store/inventory.h"
#include "store/model_registry.h"
#include "support/temp_dir.h"
#include "support/test_run.h"
#include "support/text_files.h"

namespace zira::testing {

using Lines = std::vector<std::pair<int, std::string>>;

// A client directory of its own, a fresh store, zeroed statistics and a log
// whose lines are collected (echo 1: both channels, echo 0: log only).
class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest() : chdir_(dir_.Path()) {}

  void SetUp() override {
    run_.log.Install();
    run_.log.capture = &lines_;
  }

  Inventory& inv() { return *run_.inventory; }
  RunIo io() { return run_.Io(); }

  // Writes a file below the client directory under its name as given on disk.
  void Write(const std::string& name, const std::string& text = "") {
    WriteTextFile(dir_ / name, text);
    run_.files.ForgetListings();
  }
  void MakeDir(const std::string& name) {
    dir_.MakeDir(name);
    run_.files.ForgetListings();
  }

  // A writable code text that lives as long as the test, like a text in the image.
  char* Text(const std::string& text) {
    std::string& stored = texts_.emplace_back(text);
    return stored.data();
  }

  // Stores code as the race's code of gender 1 to 3 the way the race table
  // reader leaves it, and rebuilds the code index.
  void SetCode(std::uint16_t race, int gender, char* code) {
    ClientImage& client = inv().client;
    RaceRecord& row = client.races[race];
    row.raceId = race;
    row.code[gender - 1] = code;
    row.codeLength[gender - 1] = static_cast<std::uint8_t>(std::strlen(code));
    if (race > client.maxRaceId) client.maxRaceId = race;
    client.codeIndex = ModelCodeIndex{};
    for (std::uint32_t r = 0; r <= client.maxRaceId; ++r) {
      for (const char* c : client.races[r].code) {
        if (c == nullptr || c[0] == '\0') continue;
        const int bucket = LetterBucket(c);
        std::uint16_t& count = client.codeIndex.count[bucket];
        if (count > 0 && client.codeIndex.ids[bucket][count - 1] == r) continue;
        client.codeIndex.ids[bucket][count++] = static_cast<std::uint16_t>(r);
      }
    }
  }

  // A writable zone nick in the table, as the zone reader leaves it; returns the id.
  std::size_t Zone(std::uint16_t id, const std::string& nick) {
    ZoneRecord& zone = inv().client.zones[id];
    zone.zoneId = id;
    zone.zoneNick = Text(nick);
    return id;
  }
  // What zone discovery has linked to the zone.
  ZoneLinks& Links(std::size_t id) { return inv().zoneLinks[id]; }

  static std::pair<int, std::string> Both(const std::string& text) { return {1, text}; }
  static std::pair<int, std::string> Log(const std::string& text) { return {0, text}; }

  // The collected lines from the first one that equals text on.
  Lines From(const std::string& text) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].second == text) return Lines(lines_.begin() + static_cast<std::ptrdiff_t>(i), lines_.end());
    }
    return {};
  }
  bool Logged(const std::string& text) const {
    for (const auto& line : lines_) {
      if (line.second == text) return true;
    }
    return false;
  }

  TempDir dir_;
  ScopedChdir chdir_;
  TestRun run_{dir_.Path()};
  Lines lines_;
  std::deque<std::string> texts_;
};

}  // namespace zira::testing
