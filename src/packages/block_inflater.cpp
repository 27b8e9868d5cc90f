#include "packages/block_inflater.h"

#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <memory>

#include "common/byte_cursor.h"
#include "common/worker_pool.h"

namespace zira {

namespace {

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// One decompressor per thread, kept for the life of the thread.
libdeflate_decompressor* ThreadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

BlockYield UncompressBlock(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out) {
  uLongf written = static_cast<uLongf>(out.size());
  const int status = uncompress(out.data(), &written, stream.data(), static_cast<uLong>(stream.size()));
  return {status == Z_OK, static_cast<std::uint32_t>(written)};
}

struct ParallelBatch {
  std::span<const std::uint8_t> file;
  std::span<const BlockHeader> blocks;
  const std::uint32_t* targets;
  std::uint8_t* output;
  BlockYield* yields;
};

void InflatePlannedBlock(void* context, std::size_t index) {
  const ParallelBatch& batch = *static_cast<const ParallelBatch*>(context);
  const BlockHeader& block = batch.blocks[index];
  batch.yields[index] = InflateBlock(batch.file.subspan(block.dataAt, block.deflated),
                                     std::span<std::uint8_t>(batch.output + batch.targets[index], block.claimed));
}

}  // namespace

BlockYield InflateBlock(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out) {
  libdeflate_decompressor* decompressor = ThreadDecompressor();
  if (decompressor != nullptr) {
    std::size_t consumed = 0;
    std::size_t written = 0;
    // Asking for the bytes consumed lets a stream be followed by other bytes,
    // which zlib ignores too.
    if (libdeflate_zlib_decompress_ex(decompressor, stream.data(), stream.size(), out.data(), out.size(), &consumed,
                                      &written) == LIBDEFLATE_SUCCESS) {
      return {true, static_cast<std::uint32_t>(written)};
    }
  }
  return UncompressBlock(stream, out);
}

// Each u32 of a block header keeps, cut short by the end of the file, the
// bytes that are there as its low bytes, as everywhere in the package format.
struct DecodedBlock {
  std::uint32_t headerAt;
  std::uint32_t deflated;
  std::uint32_t claimed;
  std::uint32_t dataAt;
  std::span<const std::uint8_t> stream;  // shorter than deflated when it runs past the file
};

DecodedBlock DecodeBlock(ByteCursor& blocks, std::uint32_t base) {
  DecodedBlock block{};
  block.headerAt = static_cast<std::uint32_t>(base + blocks.Position());
  block.deflated = blocks.ReadU32LowBytes();
  block.claimed = blocks.ReadU32LowBytes();
  block.dataAt = static_cast<std::uint32_t>(base + blocks.Position());
  return block;
}

BlockRunEnd InflateBlocksInOrder(std::span<const std::uint8_t> file, std::uint32_t position, std::uint32_t produced,
                                 std::uint32_t size, std::uint8_t* output) {
  ByteCursor blocks = ByteCursor(file).Sub(position);
  while (produced < size && blocks.Remaining() > 0) {
    const DecodedBlock block = DecodeBlock(blocks, position);
    if (std::uint64_t{produced} + block.claimed > size) {
      return {Fail("block beyond the size asked for"), produced, block.dataAt};
    }
    const std::span<const std::uint8_t> stream = blocks.ReadBytes(block.deflated);
    if (stream.size() != block.deflated) return {Fail("block runs past the file"), produced, block.dataAt};
    const BlockYield yield = InflateBlock(stream, std::span<std::uint8_t>(output + produced, block.claimed));
    if (!yield.ok) return {Fail("block does not inflate"), produced, block.dataAt + block.deflated};
    produced += yield.written;
  }
  return {S_OK, produced, static_cast<std::uint32_t>(position + blocks.Position())};
}

BlockPlan PlanBlocks(std::span<const std::uint8_t> file, std::span<BlockHeader> headers, std::uint32_t position,
                     std::uint32_t produced, std::uint32_t size) {
  BlockPlan plan;
  plan.produced = produced;
  ByteCursor blocks = ByteCursor(file).Sub(position);
  std::size_t count = 0;
  std::uint64_t planned = produced;
  while (count < headers.size() && planned < size && blocks.Remaining() > 0) {
    const DecodedBlock block = DecodeBlock(blocks, position);
    if (planned + block.claimed > size || blocks.ReadBytes(block.deflated).size() != block.deflated) {
      plan.refused = true;
      plan.endPosition = block.dataAt;
      plan.blocks = headers.first(count);
      return plan;
    }
    headers[count++] = {block.headerAt, block.dataAt, block.deflated, block.claimed};
    planned += block.claimed;
  }
  plan.blocks = headers.first(count);
  plan.endPosition = static_cast<std::uint32_t>(position + blocks.Position());
  return plan;
}

BlockRunEnd InflateBlocks(std::span<const std::uint8_t> file, const BlockPlan& plan, std::uint32_t size,
                          std::uint8_t* output, WorkerPool& pool) {
  const std::size_t count = plan.blocks.size();
  // More than a batch holds: the plain walk gives the same outcome.
  if (count > kMostPlannedBlocks) {
    return InflateBlocksInOrder(file, plan.blocks[0].headerAt, plan.produced, size, output);
  }
  std::array<std::uint32_t, kMostPlannedBlocks> targets;
  std::array<BlockYield, kMostPlannedBlocks> yields;
  std::uint32_t planned = plan.produced;
  for (std::size_t i = 0; i < count; ++i) {
    targets[i] = planned;
    planned += plan.blocks[i].claimed;
  }
  ParallelBatch batch{file, plan.blocks, targets.data(), output, yields.data()};
  pool.ForEach(count, &InflatePlannedBlock, &batch);

  for (std::size_t i = 0; i < count; ++i) {
    const BlockHeader& block = plan.blocks[i];
    if (yields[i].ok && yields[i].written == block.claimed) continue;
    // Everything before this block landed where it was placed; from here the
    // places depend on what this block yields, so the walk goes on in order.
    return InflateBlocksInOrder(file, block.headerAt, targets[i], size, output);
  }
  return {plan.refused ? E_FAIL : S_OK, planned, plan.endPosition};
}

}  // namespace zira
