// The same block given to the block inflater (libdeflate, zlib when it
// rejects) and to zlib's uncompress alone: the verdict, the count and the
// bytes must agree. Input: the room offered (u16, little-endian), then the
// zlib stream.
//
// zlib and libdeflate come from the system uninstrumented, so the fuzzer
// would see almost no coverage; what they did (verdicts, zlib's error, how
// many deflate blocks, how much came out) is fed to it as extra features.
#include <libdeflate.h>
#include <zlib.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "packages/block_inflater.h"

namespace {

constexpr std::size_t kFeatures = 512;
__attribute__((section("__libfuzzer_extra_counters"))) std::uint8_t gFeatures[kFeatures];

void Feature(std::size_t group, std::size_t value) { gFeatures[(group * 64 + value) % kFeatures] = 1; }

std::size_t SizeClass(std::size_t n) { return static_cast<std::size_t>(std::bit_width(n)); }

// zlib's own account of the stream: its error text and the deflate blocks it
// passed, stepping block by block.
void NoteZlibSteps(std::span<const std::uint8_t> stream, std::size_t room) {
  std::vector<std::uint8_t> out(room + 1);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  std::size_t blocks = 0;
  int status = Z_OK;
  while (status == Z_OK && blocks < 60) {
    status = inflate(&z, Z_BLOCK);
    if (z.data_type & 128) ++blocks;
    if (status == Z_BUF_ERROR) break;
  }
  Feature(2, blocks);
  Feature(3, static_cast<std::size_t>(status + 8));
  std::size_t message = 0;
  for (const char* c = z.msg; c != nullptr && *c != '\0'; ++c) message = message * 31 + static_cast<unsigned char>(*c);
  Feature(4, message % 64);
  Feature(5, SizeClass(z.total_in));
  inflateEnd(&z);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t room = data[0] | static_cast<std::size_t>(data[1]) << 8;
  const std::span<const std::uint8_t> stream(data + 2, size - 2);

  // Different fills, so bytes that only one side wrote cannot match by chance.
  std::vector<std::uint8_t> ours(room, 0xA5);
  std::vector<std::uint8_t> theirs(room, 0x5A);
  const zira::BlockYield yield = zira::InflateBlock(stream, ours);
  uLongf written = static_cast<uLongf>(room);
  const int status = uncompress(theirs.data(), &written, stream.data(), static_cast<uLong>(stream.size()));

  static libdeflate_decompressor* alone = libdeflate_alloc_decompressor();
  std::vector<std::uint8_t> scratch(room);
  std::size_t consumed = 0;
  std::size_t deflated = 0;
  const libdeflate_result verdict = libdeflate_zlib_decompress_ex(alone, stream.data(), stream.size(), scratch.data(),
                                                                  scratch.size(), &consumed, &deflated);
  Feature(0, static_cast<std::size_t>(verdict) * 8 + static_cast<std::size_t>(status + 8));
  Feature(1, SizeClass(written) * 2 + (status == Z_OK));
  NoteZlibSteps(stream, room);

  if (yield.ok != (status == Z_OK)) __builtin_trap();
  if (!yield.ok) return 0;
  if (yield.written != written) __builtin_trap();
  if (written > 0 && std::memcmp(ours.data(), theirs.data(), written) != 0) __builtin_trap();
  return 0;
}
