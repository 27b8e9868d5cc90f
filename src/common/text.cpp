#include "common/text.h"

#include <cstring>

#include "common/capacities.h"

namespace zira {

namespace {
bool IsTrailingBlank(char c) { return c == ' ' || c == '\r' || c == '\n'; }
}  // namespace

void TrimCounted(char* text, std::size_t* length) {
  if (text == nullptr || length == nullptr) return;
  std::size_t end = *length;
  while (end > 0 && IsTrailingBlank(text[end - 1])) --end;
  std::size_t start = 0;
  while (start < end && text[start] == ' ') ++start;
  if (start > 0) std::memmove(text, text + start, end - start);
  *length = end - start;
  text[*length] = '\0';
}

std::size_t TrimText(char* text) {
  if (text == nullptr) return 0;
  std::size_t length = std::strlen(text);
  TrimCounted(text, &length);
  return length;
}

bool SameText(std::string_view a, std::string_view b, bool folded) {
  if (a.size() != b.size()) return false;
  if (!folded) return a == b;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!FoldedEqual(a[i], b[i])) return false;
  }
  return true;
}

bool SameText(const char* a, std::size_t lengthA, const char* b, std::size_t lengthB, bool folded) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  return SameText(std::string_view(a, lengthA), std::string_view(b, lengthB), folded);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix, true);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && SameText(text.substr(text.size() - suffix.size()), suffix, true);
}

bool EqualsNoCase(const char* a, std::size_t lengthA, const char* b) {
  return SameText(a, lengthA, b, b ? std::strlen(b) : 0, true);
}

bool StartsWithNoCase(const char* text, std::size_t textLength, const char* prefix, std::size_t prefixLength) {
  if (text == nullptr || prefix == nullptr) return false;
  return StartsWithNoCase(std::string_view(text, textLength), std::string_view(prefix, prefixLength));
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  if (text == nullptr || prefix == nullptr) return false;
  return StartsWithNoCase(text, std::strlen(text), prefix, std::strlen(prefix));
}

bool EndsWithNoCase(const char* text, std::size_t textLength, const char* suffix, std::size_t suffixLength) {
  if (text == nullptr || suffix == nullptr) return false;
  return EndsWithNoCase(std::string_view(text, textLength), std::string_view(suffix, suffixLength));
}

bool EndsWithNoCase(const char* text, const char* suffix) {
  if (text == nullptr || suffix == nullptr) return false;
  return EndsWithNoCase(text, std::strlen(text), suffix, std::strlen(suffix));
}

int LetterBucket(const char* text) {
  if (text == nullptr) return 0;
  const unsigned char c = static_cast<unsigned char>(text[0]) & 0xDF;
  return (c >= 'A' && c <= 'Z') ? c - 'A' + 1 : 0;
}

int SplitFields(const char* source, char separator, char* buffer, std::size_t bufferSize, char** fieldStarts,
                int mostFields) {
  if (source == nullptr || buffer == nullptr || bufferSize == 0) return 0;
  CopyText(buffer, bufferSize, source);
  int count = 1;
  if (fieldStarts != nullptr && mostFields > 0) fieldStarts[0] = buffer;
  for (char* p = buffer; *p != '\0' && count < mostFields; ++p) {
    if (*p == separator) {
      *p = '\0';
      if (fieldStarts != nullptr) fieldStarts[count] = p + 1;
      ++count;
    }
  }
  return count;
}

char* JoinPath(const char* directory, const char* name, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return nullptr;
  // Both texts are measured before the buffer is touched: either may already
  // stand in it (a path joined onto the buffer's last result).
  std::size_t dirLength = directory ? std::strlen(directory) : 0;
  while (dirLength > 0 && directory[dirLength - 1] == '\\') --dirLength;
  const std::size_t nameLength = name ? std::strlen(name) : 0;
  if (bufferSize < dirLength + nameLength + 2) {
    buffer[0] = '\0';
    return nullptr;
  }
  const std::size_t nameAt = (dirLength > 0 && nameLength > 0) ? dirLength + 1 : dirLength;
  // The name goes first, so that a directory at the buffer's start is not
  // overwritten before it is in place, and a name there is moved away first.
  if (nameLength > 0) std::memmove(buffer + nameAt, name, nameLength);
  if (dirLength > 0) std::memmove(buffer, directory, dirLength);
  if (nameAt > dirLength) buffer[dirLength] = '\\';
  buffer[nameAt + nameLength] = '\0';
  return buffer;
}

void UpperInPlace(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

void LowerInPlace(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}

std::int32_t AtoI(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  std::uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + static_cast<std::uint32_t>(*text - '0');
  return static_cast<std::int32_t>(negative ? 0u - value : value);
}

std::size_t CopyText(char* destination, std::size_t capacity, const char* source) {
  if (destination == nullptr || capacity == 0) return 0;
  std::size_t length = 0;
  if (source != nullptr) {
    while (length + 1 < capacity && source[length] != '\0') {
      destination[length] = source[length];
      ++length;
    }
  }
  destination[length] = '\0';
  return length;
}

std::string HtmlEscaped(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string HtmlEscaped(const char* text) { return HtmlEscaped(std::string_view(text ? text : "")); }

std::string ListField(std::string_view text) {
  std::string field(text);
  for (char& c : field) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return field;
}

std::string ListField(const char* text) { return ListField(std::string_view(text ? text : "")); }

}  // namespace zira
