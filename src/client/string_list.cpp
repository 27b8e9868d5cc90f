#include "client/string_list.h"

#include <cstring>

#include "common/file_names.h"
#include "common/file_system.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr std::int32_t kLowestStringId = 1;
constexpr std::int32_t kHighestStringId = static_cast<std::int32_t>(kStringSlots) - 1;
// One entry is kept spare, as the client's own table does.
constexpr std::uint16_t kMostEntries = kStringEntries - 1;

// Cuts the buffer into lines in place and indexes the texts by id.
void IndexLines(StringList& list, char* buffer, std::size_t length) {
  char* cursor = buffer;
  char* const end = buffer + length;
  for (;;) {
    char* lineEnd = static_cast<char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor)));
    const bool lastLine = lineEnd == nullptr;
    if (lastLine) lineEnd = end;

    char* space = static_cast<char*>(std::memchr(cursor, ' ', static_cast<std::size_t>(lineEnd - cursor)));
    char* text = lineEnd;
    std::size_t idLength = static_cast<std::size_t>(lineEnd - cursor);
    if (space != nullptr) {
      *space = '\0';
      text = space + 1;
      idLength = static_cast<std::size_t>(space - cursor);
    }
    *lineEnd = '\0';

    TrimCounted(cursor, &idLength);
    const std::int32_t id = AtoI(cursor);
    if (id >= kLowestStringId && id <= kHighestStringId) {
      std::size_t textLength = static_cast<std::size_t>(lineEnd - text);
      TrimCounted(text, &textLength);
      list.slotOfId[id] = list.count;
      list.entries[list.count] = text;
      if (id > list.highestId) list.highestId = static_cast<std::uint16_t>(id);
      if (++list.count >= kMostEntries) return;
    }
    if (lastLine) return;
    cursor = lineEnd + 1;
  }
}

}  // namespace

Result LoadStringList(ClientFolder& folder, StringList& list) {
  InputFile file;
  if (!file.Open(folder, kStringListName)) return Fail("string list cannot be opened");
  list.text.reset();
  list.count = 0;
  list.highestId = 0;

  // An empty file is an empty list, not a failed read.
  WholeFile<char> whole;
  const Result read = file.ReadAll(whole);
  if (Failed(read)) return read;
  list.text = std::move(whole.bytes);
  for (std::uint16_t& slot : list.slotOfId) slot = kNoStringSlot;

  IndexLines(list, list.text.get(), whole.length);
  return kSuccess;
}

const char* StringListText(const StringList& list, std::uint16_t id) {
  if (list.count == 0 || !list.text || id > list.highestId || id >= kStringSlots) return nullptr;
  const std::uint16_t slot = list.slotOfId[id];
  if (slot == kNoStringSlot || slot >= list.count) return nullptr;
  return list.entries[slot];
}

}  // namespace zira
