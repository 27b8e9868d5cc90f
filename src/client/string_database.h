#pragma once
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "common/result.h"

namespace zira {

class ClientFolder;

// dbstr_us.txt: texts keyed by type and id, kept in one buffer cut in place.
struct StringDatabase {
  std::uint16_t count = 0;
  std::uint32_t highestId = 0;
  std::uint8_t highestType = 0;
  std::unique_ptr<char[]> text;
  // (type << 24) + id, to the offset of the text in the buffer.
  std::unordered_map<std::uint32_t, std::uint32_t> map;
};

inline constexpr std::uint32_t kRaceNameType = 11;
inline constexpr std::uint32_t kRacePluralType = 12;
inline constexpr std::uint32_t kRaceDescriptionType = 8;
inline constexpr std::uint32_t kExpansionNameType = 20;

Result LoadStringDatabase(ClientFolder& folder, StringDatabase& database);
// The text of type and id, or nullptr.
const char* StringDatabaseText(const StringDatabase& database, std::uint32_t type, std::uint32_t id);

}  // namespace zira
