#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zira::testing {

// A zlib stream written bit by bit, for what no compressor writes.
struct CraftedStream {
  std::string name;
  std::vector<std::uint8_t> stream;
  std::size_t room;      // output room to inflate it into
  bool zlibTakesIt;      // zlib's uncompress accepts it
};

// Streams at the edges where inflaters differ: the reserved symbols of the
// fixed codes, dynamic headers with more symbols than zlib allows, incomplete
// codes read at their unused patterns, each with a correct Adler-32 of what a
// lax inflater would make of it; and look-alikes that zlib accepts.
std::vector<CraftedStream> CraftedDeflateStreams();

}  // namespace zira::testing
