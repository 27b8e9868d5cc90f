#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/result.h"

struct libdeflate_decompressor;

namespace zira {

class TaskRunner;

// One block of an entry's contents as its header gives it.
struct BlockHeader {
  std::uint32_t headerAt;  // file offset of the block's header
  std::uint32_t dataAt;    // file offset of its zlib stream
  std::uint32_t deflated;  // bytes in the stream
  std::uint32_t claimed;   // inflated bytes the header claims
};

// What one block gave: zlib's verdict and the bytes written.
struct BlockYield {
  bool ok = false;
  std::uint32_t written = 0;
};

// libdeflate takes some streams that zlib refuses: more than 286 length or 30
// distance symbols, the reserved symbols of the fixed codes, incomplete codes
// whose unused patterns it reads as a symbol. True when the stream can be none
// of those: a well-formed zlib header, stored blocks, and a last block that is
// stored or dynamic with complete codes; then libdeflate's verdict, count and
// bytes are zlib's. Anything else (fixed codes, several coded blocks) is left
// to zlib: its compressor writes an 8 KiB block of the package format as one
// dynamic or stored block, so that is rare.
bool IsStrictZlibStream(std::span<const std::uint8_t> stream);

// libdeflate decompressors, one for each worker of a pool (worker 0 is the
// calling thread), each made on first use by its worker and kept: a
// decompressor is reused block after block, but never by two threads at once.
class Decompressors {
 public:
  explicit Decompressors(unsigned workers);
  ~Decompressors();
  Decompressors(const Decompressors&) = delete;
  Decompressors& operator=(const Decompressors&) = delete;

  // nullptr for a worker beyond the count or when the machine has no memory
  // for one: the block is then left to zlib.
  libdeflate_decompressor* ForWorker(unsigned worker);

 private:
  std::vector<libdeflate_decompressor*> slots_;
};

// Inflates one zlib stream into out: with libdeflate (the decompressor given)
// when the stream is strict and libdeflate takes it, otherwise with zlib's
// uncompress, whose verdict and count stand. So every failure and every short
// block is zlib's. On success the bytes of out past the count may have been
// written too.
BlockYield InflateBlock(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out,
                        libdeflate_decompressor* decompressor);
// The same with a decompressor of its own, for a single stream.
BlockYield InflateBlock(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out);

// Where a run of blocks ended: the result, the bytes produced and the file
// position the walk stopped at.
struct BlockRunEnd {
  Result result;
  std::uint32_t produced = 0;
  std::uint32_t position = 0;
};

// The block walk: from the header at position, with produced bytes already in
// output, inflates block after block, each right behind what the previous one
// yielded, until size bytes are produced or the file ends. A block that would
// run past size or past the file, or that does not inflate, fails the run.
// worker: the calling thread's number, whose decompressor it uses.
BlockRunEnd InflateBlocksInOrder(std::span<const std::uint8_t> file, std::uint32_t position, std::uint32_t produced,
                                 std::uint32_t size, std::uint8_t* output, Decompressors& decompressors,
                                 unsigned worker);

// Blocks are read ahead and inflated in batches of at most this many, so the
// headers of a file of tiny blocks cannot take much memory.
inline constexpr std::size_t kMostPlannedBlocks = 1024;

// Blocks of one entry, read ahead of inflation as if every block yields what
// it claims, and how that read ended.
struct BlockPlan {
  std::span<const BlockHeader> blocks;  // at most kMostPlannedBlocks
  std::uint32_t produced = 0;    // bytes already in the output before the first block
  Result refusal;                // a failure when the read stopped at a block the checks refuse
  std::uint32_t endPosition = 0;  // where the read stopped
};

// Reads the headers of the blocks from position on into headers, placing each
// as if every block before it yields its claim, with the block walk's checks
// in its order; stops at size bytes planned, the end of the file or a full
// headers array.
BlockPlan PlanBlocks(std::span<const std::uint8_t> file, std::span<BlockHeader> headers, std::uint32_t position,
                     std::uint32_t produced, std::uint32_t size);

// Inflates the planned blocks on the pool, each where it lands when every
// block before it yields its claim, then checks them in order. From the
// first block that failed or yielded less, the walk goes on in order as
// InflateBlocksInOrder does, so the outcome is the same as that walk's from
// the first block.
BlockRunEnd InflateBlocks(std::span<const std::uint8_t> file, const BlockPlan& plan, std::uint32_t size,
                          std::uint8_t* output, TaskRunner& pool, Decompressors& decompressors);

}  // namespace zira
