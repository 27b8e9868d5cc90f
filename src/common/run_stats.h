#pragma once
#include <cstdint>

namespace zira {

class ClientFolder;

// What the run has read: input files and their bytes (64-bit, so more than
// 4 GiB of input is counted right).
struct RunStats {
  std::int32_t files = 0;
  std::uint64_t bytes = 0;

  // Counts an existing file of the folder with its examined size; anything
  // else changes nothing.
  void AccountFile(ClientFolder& folder, const char* name);
  // Counts bytes that were read without a file of their own (an inflated world file).
  void AccountBytes(std::uint64_t count) {
    files += 1;
    bytes += count;
  }
};

}  // namespace zira
