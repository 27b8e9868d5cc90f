#include "packages/block_inflater.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "common/byte_cursor.h"
#include "common/worker_pool.h"

namespace zira {

namespace {

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
  Decompressors* decompressors;
};

void InflatePlannedBlock(void* context, std::size_t index, unsigned worker) {
  const ParallelBatch& batch = *static_cast<const ParallelBatch*>(context);
  const BlockHeader& block = batch.blocks[index];
  batch.yields[index] = InflateBlock(batch.file.subspan(block.dataAt, block.deflated),
                                     std::span<std::uint8_t>(batch.output + batch.targets[index], block.claimed),
                                     batch.decompressors->ForWorker(worker));
}

// The bits of a deflate stream, least significant first, over the bytes the
// cursor hands out. Past the end it reads zero bytes, and Ok() turns false
// once one of those is taken.
class DeflateBitReader {
 public:
  explicit DeflateBitReader(ByteCursor bytes) : bytes_(bytes.ReadBytes(bytes.Remaining())) {}

  bool Ok() const { return held_ >= padded_; }
  // Makes sure count (at most 56) bits are held, so that Peek and Drop of up
  // to count bits need no check of their own.
  void Ensure(unsigned count) {
    if (held_ >= count) return;
    if (next_ + 8 <= bytes_.size()) {
      // Eight bytes at once; the bits above what is counted are the next
      // bytes' own, so the next load writes them again alike.
      std::uint64_t word;
      std::memcpy(&word, bytes_.data() + next_, sizeof(word));
      if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
      buffer_ |= word << held_;
      const unsigned taken = (63 - held_) / 8;
      next_ += taken;
      held_ += taken * 8;
      return;
    }
    while (held_ < count) {
      if (next_ < bytes_.size()) {
        buffer_ |= std::uint64_t{bytes_[next_++]} << held_;
      } else {
        padded_ += 8;  // a zero byte past the end
      }
      held_ += 8;
    }
  }
  std::uint32_t Peek(unsigned count) const {
    return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << count) - 1));
  }
  void Drop(unsigned count) {
    buffer_ >>= count;
    held_ -= count;
  }
  std::uint32_t Take(unsigned count) {
    Ensure(count);
    const std::uint32_t value = Peek(count);
    Drop(count);
    return value;
  }
  // A stored block starts on a byte: the rest of this one is passed over.
  void ToByte() { Drop(held_ % 8); }
  // Moves past count bytes of stored data; false when they are not all there.
  bool SkipBytes(std::uint32_t count) {
    ToByte();
    if (!Ok()) return false;
    const std::uint32_t buffered = (held_ - padded_) / 8;
    if (count <= buffered) {
      Drop(count * 8);
      return true;
    }
    if (padded_ != 0 || count - buffered > bytes_.size() - next_) return false;
    next_ += count - buffered;
    buffer_ = 0;  // what was loaded past the counted bits lies in the bytes passed over
    held_ = 0;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t next_ = 0;
  std::uint64_t buffer_ = 0;
  unsigned held_ = 0;    // bits in buffer_, the padding included
  unsigned padded_ = 0;  // bits of zero bytes added past the end
};

constexpr unsigned kLongestCode = 15;
constexpr std::size_t kMostLengthSymbols = 286;   // zlib refuses a header that names more
constexpr std::size_t kMostDistanceSymbols = 30;  // the same
constexpr std::size_t kEndOfBlock = 256;
constexpr unsigned kPrecodeBits = 7;
// What a code of each length adds to the Kraft sum, in units of 2^-15.
constexpr std::uint32_t kKraftUnit[kLongestCode + 1] = {0,       1u << 14, 1u << 13, 1u << 12, 1u << 11, 1u << 10,
                                                        1u << 9, 1u << 8,  1u << 7,  1u << 6,  1u << 5,  1u << 4,
                                                        1u << 3, 1u << 2,  1u << 1,  1u << 0};
// The order in which a dynamic block lists the code lengths of the precode.
constexpr std::uint8_t kPrecodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// True when the code lengths make a complete prefix code, so that every bit
// pattern decodes to one of its symbols: the Kraft sum is exactly 1 (less is
// an incomplete code, more an impossible one).
bool IsCompleteCode(std::span<const std::uint8_t> lengths) {
  std::uint32_t sum = 0;  // in units of 2^-15
  for (const std::uint8_t length : lengths) sum += length != 0 ? 1u << (kLongestCode - length) : 0u;
  return sum == 1u << kLongestCode;
}

// Each 7-bit value with its bits in reverse order.
constexpr std::array<std::uint8_t, 1u << kPrecodeBits> kReversed7 = [] {
  std::array<std::uint8_t, 1u << kPrecodeBits> table{};
  for (unsigned value = 0; value < table.size(); ++value) {
    unsigned reversed = 0;
    for (unsigned bit = 0; bit < kPrecodeBits; ++bit) reversed |= ((value >> bit) & 1u) << (kPrecodeBits - 1 - bit);
    table[value] = static_cast<std::uint8_t>(reversed);
  }
  return table;
}();

// A decoding table over the next 7 bits for a complete precode: per bit
// pattern, the symbol (low 5 bits) and the length of its code (top 3).
using PrecodeTable = std::array<std::uint8_t, 1u << kPrecodeBits>;

void BuildPrecodeTable(const std::uint8_t (&lengths)[19], PrecodeTable* table) {
  std::uint32_t next[kPrecodeBits + 2] = {};
  std::uint32_t counts[kPrecodeBits + 1] = {};
  for (const std::uint8_t length : lengths) ++counts[length];
  counts[0] = 0;
  for (unsigned length = 1; length <= kPrecodeBits; ++length) next[length + 1] = (next[length] + counts[length]) << 1;
  for (unsigned symbol = 0; symbol < 19; ++symbol) {
    const unsigned length = lengths[symbol];
    if (length == 0) continue;
    const std::uint32_t code = next[length]++;
    // Codes are sent from their top bit on.
    const std::uint32_t reversed = kReversed7[code << (kPrecodeBits - length)];
    for (std::uint32_t fill = reversed; fill < (1u << kPrecodeBits); fill += 1u << length) {
      (*table)[fill] = static_cast<std::uint8_t>(symbol | length << 5);
    }
  }
}

// Reads a dynamic block's header; true when zlib would take it and its codes
// are complete, so that every bit pattern of the block decodes to a symbol
// both inflaters read alike.
bool ReadStrictDynamicHeader(DeflateBitReader& bits) {
  const std::size_t lengthSymbols = bits.Take(5) + 257;
  const std::size_t distanceSymbols = bits.Take(5) + 1;
  const std::size_t precodeLengths = bits.Take(4) + 4;
  if (lengthSymbols > kMostLengthSymbols || distanceSymbols > kMostDistanceSymbols) return false;
  std::uint8_t precode[19] = {};
  for (std::size_t i = 0; i < precodeLengths; ++i) precode[kPrecodeOrder[i]] = static_cast<std::uint8_t>(bits.Take(3));
  if (!IsCompleteCode(precode)) return false;
  PrecodeTable table;
  BuildPrecodeTable(precode, &table);

  // The Kraft sums of the two codes are kept as the lengths come, so the
  // lengths themselves need not be stored: only the last one, for repeats.
  const std::size_t total = lengthSymbols + distanceSymbols;
  std::uint32_t kraft[2] = {0, 0};  // literal/length code, distance code
  bool endOfBlockCoded = false;
  unsigned previous = 0;
  std::size_t filled = 0;
  const auto fill = [&](unsigned length, std::size_t count) {
    if (length != 0) {
      const std::uint32_t unit = kKraftUnit[length];
      const std::size_t literals = filled < lengthSymbols ? std::min(count, lengthSymbols - filled) : 0;
      kraft[0] += unit * static_cast<std::uint32_t>(literals);
      kraft[1] += unit * static_cast<std::uint32_t>(count - literals);
      if (filled <= kEndOfBlock && kEndOfBlock < filled + count) endOfBlockCoded = true;
    }
    previous = length;
    filled += count;
  };
  while (filled < total) {
    bits.Ensure(2 * kPrecodeBits);  // a code and its extra bits
    const std::uint8_t entry = table[bits.Peek(kPrecodeBits)];
    bits.Drop(entry >> 5);
    const unsigned symbol = entry & 31u;
    if (symbol < 16) [[likely]] {
      // One length, the common case, without the run arithmetic.
      kraft[filled >= lengthSymbols] += kKraftUnit[symbol];
      if (filled == kEndOfBlock) [[unlikely]] endOfBlockCoded = symbol != 0;
      previous = symbol;
      ++filled;
      continue;
    }
    if (symbol == 16 && filled == 0) return false;  // nothing to repeat
    const unsigned repeated = symbol == 16 ? previous : 0;
    const unsigned extraBits = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
    const std::size_t count = (symbol == 18 ? 11 : 3) + bits.Peek(extraBits);
    bits.Drop(extraBits);
    if (count > total - filled) return false;
    fill(repeated, count);
  }
  constexpr std::uint32_t kComplete = 1u << kLongestCode;
  return bits.Ok() && endOfBlockCoded && kraft[0] == kComplete && kraft[1] == kComplete;
}

}  // namespace

bool IsStrictZlibStream(std::span<const std::uint8_t> stream) {
  if (stream.size() < 2) return false;
  const std::uint32_t method = stream[0];
  const std::uint32_t flags = stream[1];
  if ((method & 0x0F) != 8 || (method >> 4) > 7 || ((method << 8) | flags) % 31 != 0 || (flags & 0x20) != 0) {
    return false;
  }
  DeflateBitReader bits(ByteCursor(stream.subspan(2)));
  while (bits.Ok()) {
    const bool last = bits.Take(1) != 0;
    const std::uint32_t type = bits.Take(2);
    if (type == 0) {
      bits.ToByte();
      const std::uint32_t length = bits.Take(16);
      if (bits.Take(16) != (~length & 0xFFFF)) return false;
      if (!bits.SkipBytes(length)) return false;
      if (last) return true;
      continue;
    }
    return type == 2 && last && ReadStrictDynamicHeader(bits);
  }
  return false;
}

Decompressors::Decompressors(unsigned workers) : slots_(workers, nullptr) {}

Decompressors::~Decompressors() {
  for (libdeflate_decompressor* decompressor : slots_) {
    if (decompressor != nullptr) libdeflate_free_decompressor(decompressor);
  }
}

libdeflate_decompressor* Decompressors::ForWorker(unsigned worker) {
  if (worker >= slots_.size()) return nullptr;
  if (slots_[worker] == nullptr) slots_[worker] = libdeflate_alloc_decompressor();
  return slots_[worker];
}

BlockYield InflateBlock(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out) {
  Decompressors own(1);
  return InflateBlock(stream, out, own.ForWorker(0));
}

BlockYield InflateBlock(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out,
                        libdeflate_decompressor* decompressor) {
  if (decompressor != nullptr && IsStrictZlibStream(stream)) {
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
                                 std::uint32_t size, std::uint8_t* output, Decompressors& decompressors,
                                 unsigned worker) {
  libdeflate_decompressor* const decompressor = decompressors.ForWorker(worker);
  ByteCursor blocks = ByteCursor(file).Sub(position);
  while (produced < size && blocks.Remaining() > 0) {
    const DecodedBlock block = DecodeBlock(blocks, position);
    if (std::uint64_t{produced} + block.claimed > size) {
      return {Fail("block beyond the size asked for"), produced, block.dataAt};
    }
    const std::span<const std::uint8_t> stream = blocks.ReadBytes(block.deflated);
    if (stream.size() != block.deflated) return {Fail("block runs past the file"), produced, block.dataAt};
    const BlockYield yield =
        InflateBlock(stream, std::span<std::uint8_t>(output + produced, block.claimed), decompressor);
    if (!yield.ok) return {Fail("block does not inflate"), produced, block.dataAt + block.deflated};
    produced += yield.written;
  }
  return {kSuccess, produced, static_cast<std::uint32_t>(position + blocks.Position())};
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
    if (planned + block.claimed > size) plan.refusal = Fail("block beyond the size asked for");
    else if (blocks.ReadBytes(block.deflated).size() != block.deflated) plan.refusal = Fail("block runs past the file");
    if (Failed(plan.refusal)) {
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
                          std::uint8_t* output, TaskRunner& pool, Decompressors& decompressors) {
  const std::size_t count = plan.blocks.size();
  // More than a batch holds: the plain walk gives the same outcome.
  if (count > kMostPlannedBlocks) {
    return InflateBlocksInOrder(file, plan.blocks[0].headerAt, plan.produced, size, output, decompressors,
                                pool.CallerWorker());
  }
  std::array<std::uint32_t, kMostPlannedBlocks> targets;
  std::array<BlockYield, kMostPlannedBlocks> yields;
  std::uint32_t planned = plan.produced;
  for (std::size_t i = 0; i < count; ++i) {
    targets[i] = planned;
    planned += plan.blocks[i].claimed;
  }
  ParallelBatch batch{file, plan.blocks, targets.data(), output, yields.data(), &decompressors};
  pool.ForEach(count, &InflatePlannedBlock, &batch);

  for (std::size_t i = 0; i < count; ++i) {
    const BlockHeader& block = plan.blocks[i];
    if (yields[i].ok && yields[i].written == block.claimed) continue;
    // Everything before this block landed where it was placed; from here the
    // places depend on what this block yields, so the walk goes on in order.
    return InflateBlocksInOrder(file, block.headerAt, targets[i], size, output, decompressors, pool.CallerWorker());
  }
  return {plan.refusal, planned, plan.endPosition};
}

}  // namespace zira
