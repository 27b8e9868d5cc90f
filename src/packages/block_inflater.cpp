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

BlockRunEnd InflateBlocksInOrder(std::span<const std::uint8_t> file, std::uint32_t position, std::uint32_t produced,
                                 std::uint32_t size, std::uint8_t* output) {
  ByteCursor cursor(file, position);
  while (produced < size && cursor.Position() < file.size()) {
    const std::uint32_t deflated = cursor.ReadU32();
    const std::uint32_t inflated = cursor.ReadU32();
    const std::size_t at = cursor.Position();
    if (static_cast<std::uint64_t>(produced) + inflated > size || !cursor.Contains(at, deflated)) {
      return {E_FAIL, produced, static_cast<std::uint32_t>(at)};
    }
    const BlockYield yield =
        InflateBlock(file.subspan(at, deflated), std::span<std::uint8_t>(output + produced, inflated));
    cursor.Skip(deflated);
    if (!yield.ok) return {E_FAIL, produced, static_cast<std::uint32_t>(cursor.Position())};
    produced += yield.written;
  }
  return {S_OK, produced, static_cast<std::uint32_t>(cursor.Position())};
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
