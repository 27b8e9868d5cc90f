#pragma once
#include <string>

namespace zira::testing {

// Writes text to a real path, as given (no case resolution); creates nothing else.
bool WriteTextFile(const std::string& path, const std::string& text);
// Reads a whole file; empty when missing.
std::string ReadTextFile(const std::string& path);

}  // namespace zira::testing
