#pragma once
#include <cstddef>

namespace zira {

// Formats a package or list name into buffer. False (buffer emptied) when the
// whole name does not fit: a cut name could match some other file on disk.
bool FormatName(char* buffer, std::size_t capacity, const char* format, ...) __attribute__((format(printf, 3, 4)));

// True when the name has a '.' anywhere, i.e. it already carries an extension.
bool HasDot(const char* name);

}  // namespace zira
