#pragma once
#include <cstddef>

namespace zira {

// Buffer sizes shared by several layers, each with its terminating zero byte.

// A path or file name of up to 259 characters.
inline constexpr std::size_t kPathCapacity = 260;
// A line of a text list (load list, import list) of up to 1023 characters;
// a longer line is read as several.
inline constexpr std::size_t kListLineCapacity = 1024;
// A model source (package) name of up to 63 characters.
inline constexpr std::size_t kSourceNameCapacity = 64;
// A model code of up to 13 characters.
inline constexpr std::size_t kModelCodeCapacity = 14;

}  // namespace zira
