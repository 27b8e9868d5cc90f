#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "client/client_image.h"

namespace zira::testing {

// Fills the race table of a ClientImage directly, as the race table reader
// leaves it, without writing a client image: each Add is one accepted
// registration, and the ModelCodeIndex is rebuilt after it the reader's way.
// The codes live in the builder, so it must outlive every use of the table.
//
//   Inventory& inventory = ...;
//   RaceTableBuilder races(inventory.client);
//   races.Add(5, 1, "hum").Add(70, 3, "HUM");
class RaceTableBuilder {
 public:
  explicit RaceTableBuilder(ClientImage& client) : client_(client) {}

  // Stores code (upper-cased) as race's code of gender number 1 to 3.
  // Race ids above 2500 and other genders are ignored, as the reader skips them.
  RaceTableBuilder& Add(std::uint16_t race, std::uint8_t gender, std::string_view code);

 private:
  void RebuildIndex();

  ClientImage& client_;
  std::deque<std::string> codes_;  // a deque never moves its strings
};

}  // namespace zira::testing
