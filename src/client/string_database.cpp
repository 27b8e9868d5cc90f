#include "client/string_database.h"

#include <cstring>

#include "common/file_names.h"
#include "common/file_system.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr std::uint32_t kHighestType = 255;
constexpr std::uint32_t kTypeShift = 24;  // the type takes the key's top byte

// The map key of a type and an id, wrapping in 32 bits: an id of 2^24 or more runs into the type.
std::uint32_t DatabaseKey(std::uint32_t type, std::uint32_t id) { return (type << kTypeShift) + id; }

char* FindByte(char* from, const char* end, char byte) {
  if (from >= end) return nullptr;
  return static_cast<char*>(std::memchr(from, byte, static_cast<std::size_t>(end - from)));
}

// An id of 0 counts only when it is written as exactly "0".
bool ValidId(const char* field, std::int32_t id) { return id != 0 || std::strcmp(field, "0") == 0; }

// Cuts the buffer into records in place and maps their keys to text offsets.
void IndexRecords(StringDatabase& database, char* buffer, std::size_t length) {
  char* cursor = buffer;
  char* const end = buffer + length;
  for (;;) {
    char* first = FindByte(cursor, end, '^');
    if (first == nullptr) return;
    char* second = FindByte(first + 1, end, '^');
    if (second == nullptr) return;
    *first = '\0';
    *second = '\0';
    char* text = second + 1;

    // A record runs on over lines without '^' up to the line before the next '^'.
    char* recordEnd = end;
    char* next = nullptr;
    char* newline = FindByte(text, end, '\n');
    char* caret = newline != nullptr ? FindByte(newline + 1, end, '^') : nullptr;
    if (caret != nullptr) {
      recordEnd = caret;
      while (*recordEnd != '\n') --recordEnd;
      *recordEnd = '\0';
      next = recordEnd + 1;
    }

    TrimText(cursor);
    const std::int32_t id = AtoI(cursor);
    TrimText(first + 1);
    const std::uint32_t type = static_cast<std::uint32_t>(AtoI(first + 1));
    if (ValidId(cursor, id) && type <= kHighestType) {
      char* cut = FindByte(text, recordEnd, '^');
      if (cut != nullptr) *cut = '\0';
      TrimText(text);
      const std::uint32_t key = DatabaseKey(type, static_cast<std::uint32_t>(id));
      database.map.insert_or_assign(key, static_cast<std::uint32_t>(text - buffer));
      if (type > database.highestType) database.highestType = static_cast<std::uint8_t>(type);
      if (static_cast<std::uint32_t>(id) > database.highestId) database.highestId = static_cast<std::uint32_t>(id);
      // The counter is 16 bits wide: its wrap ends the load.
      if (++database.count == 0) return;
    }
    if (next == nullptr) return;
    cursor = next;
  }
}

}  // namespace

Result LoadStringDatabase(ClientFolder& folder, StringDatabase& database) {
  if (kStringDatabaseName[0] == '\0') return InvalidArgument("no string database name");
  // The map goes with the buffer: its offsets mean nothing in another one.
  database.text.reset();
  database.map.clear();
  database.count = 0;
  database.highestId = 0;
  database.highestType = 0;

  InputFile file;
  if (!file.Open(folder, kStringDatabaseName)) return Fail("string database cannot be opened");
  // Text offsets are kept in 32 bits. An empty file is an empty database.
  WholeFile<char> whole;
  const Result read = file.ReadAll(whole, UINT32_MAX);
  if (Failed(read)) return read;
  database.text = std::move(whole.bytes);

  IndexRecords(database, database.text.get(), whole.length);
  return kSuccess;
}

const char* StringDatabaseText(const StringDatabase& database, std::uint32_t type, std::uint32_t id) {
  if (!database.text) return nullptr;
  const auto found = database.map.find(DatabaseKey(type, id));
  if (found == database.map.end()) return nullptr;
  return database.text.get() + found->second;
}

}  // namespace zira
