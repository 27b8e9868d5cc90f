#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zira {

// Texts are zero-terminated bytes; no encoding is interpreted. "Folded"
// comparisons OR 0x20 into both bytes, so ASCII letters match in any case.

inline bool FoldedEqual(char a, char b) { return (a | 0x20) == (b | 0x20); }

// Removes leading spaces and trailing spaces, CR and LF in place and updates
// the length; tabs stay. Does nothing for a missing text or length.
void TrimCounted(char* text, std::size_t* length);
// The same with the text's own length; returns the new length (0 for none).
std::size_t TrimText(char* text);

// Equal lengths and equal bytes (letters folded on request).
bool SameText(std::string_view a, std::string_view b, bool folded);
// The same for counted texts that may be missing: the same pointer, or both present and equal.
bool SameText(const char* a, std::size_t lengthA, const char* b, std::size_t lengthB, bool folded);
bool EqualsNoCase(const char* a, std::size_t lengthA, const char* b);

// The text is at least as long and begins (ends) with the other, letters
// folded. The pointer forms never match a missing text.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
bool StartsWithNoCase(const char* text, const char* prefix);
bool StartsWithNoCase(const char* text, std::size_t textLength, const char* prefix, std::size_t prefixLength);
bool EndsWithNoCase(const char* text, const char* suffix);
bool EndsWithNoCase(const char* text, std::size_t textLength, const char* suffix, std::size_t suffixLength);

// 1 to 26 for a first byte A to Z in either case, 0 for anything else.
int LetterBucket(const char* text);

// Copies source into buffer (cut to size - 1), turns up to most - 1 separators
// into zero bytes from the start and records where each field begins; the rest,
// separators included, is the last field. Returns the field count (0 for a
// missing source or buffer).
int SplitFields(const char* source, char separator, char* buffer, std::size_t bufferSize, char** fieldStarts,
                int mostFields);

// Writes directory, a backslash and name into buffer; trailing backslashes of
// the directory are ignored. Returns the buffer, or nullptr (buffer emptied)
// when it is too small (or null).
char* JoinPath(const char* directory, const char* name, char* buffer, std::size_t bufferSize);

// ASCII case changes in place; other bytes stay.
void UpperInPlace(char* text);
void LowerInPlace(char* text);

// Decimal reading with the C library's atoi rules (leading white space, sign,
// digits); overflow wraps in 32 bits instead of being undefined.
std::int32_t AtoI(const char* text);

// Copies at most capacity - 1 bytes and terminates; returns the copied length.
std::size_t CopyText(char* destination, std::size_t capacity, const char* source);

// Texts from the client's files are data wherever they are written. For a
// page: &, < and > become &amp;, &lt; and &gt;, every other byte stays. For a
// field of a tab-separated list: each tab, CR and LF becomes one space, so the
// row keeps its columns. A missing text is empty.
std::string HtmlEscaped(std::string_view text);
std::string HtmlEscaped(const char* text);
std::string ListField(std::string_view text);
std::string ListField(const char* text);

}  // namespace zira
