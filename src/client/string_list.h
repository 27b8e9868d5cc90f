#pragma once
#include <cstdint>
#include <memory>

#include "common/result.h"

namespace zira {

class ClientFolder;

inline constexpr std::uint32_t kStringSlots = 65000;
inline constexpr std::uint32_t kStringEntries = 10000;
inline constexpr std::uint16_t kNoStringSlot = 0xFFFF;

// obstr_us.txt: numbered texts, kept in one buffer cut in place.
struct StringList {
  std::uint16_t count;
  std::uint16_t highestId;
  std::unique_ptr<char[]> text;
  std::uint16_t slotOfId[kStringSlots];
  const char* entries[kStringEntries];
};

Result LoadStringList(ClientFolder& folder, StringList& list);
// The text of id, or nullptr.
const char* StringListText(const StringList& list, std::uint16_t id);

}  // namespace zira
