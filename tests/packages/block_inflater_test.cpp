#include "packages/block_inflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "common/byte_cursor.h"
#include "common/worker_pool.h"
#include "packages/package_archive.h"
#include "support/deflate_writer.h"
#include "support/package_writer.h"

namespace zira {
namespace {

using testing::PackageWriter;

constexpr std::size_t kSlack = 1024;  // what ReadAt adds to a buffer it allocates
constexpr int kNone = -1;

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 13);
  return bytes;
}

struct Outcome {
  Result result;
  std::vector<std::uint8_t> bytes;  // the whole buffer, on success
};

// The block walk as it was before blocks were inflated in parallel: zlib alone,
// one block after the other.
Outcome ZlibWalk(const std::vector<std::uint8_t>& file, std::uint32_t offset, std::uint32_t size) {
  std::vector<std::uint8_t> out(size + kSlack, 0);
  std::size_t at = offset;
  // A u32 cut short by the end of the file keeps the bytes that are there.
  const auto read = [&]() {
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32 && at < file.size(); shift += 8) value |= std::uint32_t{file[at++]} << shift;
    return value;
  };
  std::uint32_t produced = 0;
  while (produced < size && at < file.size()) {
    const std::uint32_t deflated = read();
    const std::uint32_t inflated = read();
    if (std::uint64_t{produced} + inflated > size || deflated > file.size() - at) return {Fail("zlib walk refused"), {}};
    uLongf written = inflated;
    const int status = uncompress(out.data() + produced, &written, file.data() + at, deflated);
    at += deflated;
    if (status != Z_OK) return {Fail("zlib walk refused"), {}};
    produced += static_cast<std::uint32_t>(written);
  }
  return {kSuccess, out};
}

std::uint32_t LoadU32(const std::vector<std::uint8_t>& file, std::size_t at) {
  return ByteCursor(file).U32At(at);
}

// File offsets of the headers of the blocks that start at offset.
std::vector<std::size_t> BlockHeaders(const std::vector<std::uint8_t>& file, std::size_t offset, std::size_t count) {
  std::vector<std::size_t> headers;
  for (std::size_t i = 0; i < count; ++i) {
    headers.push_back(offset);
    offset += 8 + LoadU32(file, offset);
  }
  return headers;
}

struct EntryCase {
  const char* name;
  std::size_t size;
  std::uint32_t blockSize;
  int shortBlock = kNone;    // claims 100 bytes more than it yields
  int failingBlock = kNone;  // its Adler-32 trailer is wrong
  std::int64_t claimDelta = 0;  // added to the directory's size of the entry
  bool sizeRefused = false;     // a block runs past the entry's size
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const EntryCase& c, std::ostream* out) { *out << c.name; }

const EntryCase kEntryCases[] = {
    {"AllBlocksFull", 5000, 700},
    {"ShortBlockInTheMiddle", 5000, 700, 3},
    {"ShortLastBlock", 5000, 700, 7, kNone, 500},
    {"FailingFirstBlock", 5000, 700, kNone, 0},
    {"FailingMiddleBlock", 5000, 700, kNone, 4},
    {"FailingLastBlock", 5000, 700, kNone, 7},
    {"ShortThenFailing", 5000, 700, 2, 5},
    {"OneBlockOnly", 600, 700},
    {"OneShortBlockOnly", 600, 700, 0, kNone, 500},
    {"EntryRunsIntoTheNextOne", 5000, 700, kNone, kNone, 500},
    {"NextEntrysBlockRunsPastTheSize", 5000, 700, kNone, kNone, 300, true},
    {"LastBlockRunsPastTheEntry", 5000, 700, kNone, kNone, -1, true},
    {"MoreBlocksThanOneBatch", 8800, 8},
    {"ShortBlockInTheSecondBatch", 8800, 8, 1050},
    {"FailingBlockAtTheBatchEdge", 8800, 8, kNone, 1024},
    {"ZeroSizeEntry", 0, 700},
};

class BlockInflaterTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(BlockInflaterTest, EveryJobCountGivesTheZlibWalksResultAndBytes) {
  const EntryCase& c = GetParam();
  PackageWriter writer;
  testing::PackageEntryPlan plan;
  plan.name = "abc_chr.wld";
  plan.contents = Pattern(c.size);
  plan.blockSize = c.blockSize;
  plan.claimedSize = static_cast<std::uint32_t>(static_cast<std::int64_t>(c.size) + c.claimDelta);
  writer.AddEntry(plan);
  writer.AddEntry("next.bin", Pattern(3000), 500);
  std::vector<std::uint8_t> file = writer.Bytes();
  const std::uint32_t offset = writer.DataOffsets()[0];
  const std::size_t blocks = (c.size + c.blockSize - 1) / c.blockSize;
  const std::vector<std::size_t> headers = BlockHeaders(file, offset, blocks);
  if (c.shortBlock != kNone) testing::SetU32(file, headers[c.shortBlock] + 4, LoadU32(file, headers[c.shortBlock] + 4) + 100);
  if (c.failingBlock != kNone) {
    const std::size_t at = headers[c.failingBlock];
    file[at + 8 + LoadU32(file, at) - 1] ^= 0x01;
  }
  const std::uint32_t size = *plan.claimedSize;
  const Outcome expected = ZlibWalk(file, offset, size);
  EXPECT_EQ(Succeeded(expected.result), c.failingBlock == kNone && !c.sizeRefused);

  for (const unsigned jobs : {1u, 2u, 4u}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    WorkerPool pool(jobs);
    std::unique_ptr<PackageArchive> archive = PackageArchive::Create(&pool);
    ASSERT_EQ(archive->OpenBytes(file), ResultCode::kOk);

    EntryBuffer allocated;
    const Result result = archive->ReadAt(offset, size, allocated);
    EXPECT_EQ(result, expected.result);
    if (size == 0 || Failed(result)) {
      EXPECT_EQ(allocated, nullptr);
    } else {
      ASSERT_NE(allocated, nullptr);
      EXPECT_EQ(std::memcmp(allocated.get(), expected.bytes.data(), size + kSlack), 0);
    }
    // A caller's buffer with old bytes in it: what no block fills reads as zero.
    EntryBuffer given(new std::uint8_t[size + kSlack]);
    std::memset(given.get(), 0xEE, size + kSlack);
    EXPECT_EQ(archive->ReadAt(offset, size, given), expected.result);
    if (Succeeded(expected.result)) {
      EXPECT_EQ(std::memcmp(given.get(), expected.bytes.data(), size), 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, BlockInflaterTest, ::testing::ValuesIn(kEntryCases),
                         [](const ::testing::TestParamInfo<EntryCase>& p) { return std::string(p.param.name); });

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& input, int level = 6) {
  uLongf length = compressBound(static_cast<uLong>(input.size()));
  std::vector<std::uint8_t> out(length);
  compress2(out.data(), &length, input.data(), static_cast<uLong>(input.size()), level);
  out.resize(length);
  return out;
}

TEST(InflateBlockTest, VerdictCountAndBytesAreUncompresss) {
  const std::vector<std::uint8_t> contents = Pattern(3000);
  const std::vector<std::uint8_t> good = Deflate(contents);
  std::vector<std::uint8_t> badChecksum = good;
  badChecksum.back() ^= 0x01;
  std::vector<std::uint8_t> trailing = good;
  trailing.insert(trailing.end(), {1, 2, 3});
  const std::vector<std::uint8_t> cut(good.begin(), good.end() - 5);
  const std::vector<std::uint8_t> oneByte = Deflate({42});
  struct Case {
    std::string name;
    std::vector<std::uint8_t> stream;
    std::size_t room;
  };
  std::vector<Case> cases = {
      {"exact room", good, 3000},       {"more room", good, 4000},     {"too little room", good, 2999},
      {"stored", Deflate(contents, 0), 3000}, {"bad checksum", badChecksum, 3000}, {"trailing bytes", trailing, 3000},
      {"cut short", cut, 3000},         {"no room for one byte", oneByte, 0}, {"empty input", {}, 10},
  };
  // Streams that libdeflate takes and zlib refuses, and look-alikes both take.
  for (const testing::CraftedStream& crafted : testing::CraftedDeflateStreams()) {
    uLongf written = static_cast<uLongf>(crafted.room);
    std::vector<std::uint8_t> out(crafted.room);
    EXPECT_EQ(uncompress(out.data(), &written, crafted.stream.data(), static_cast<uLong>(crafted.stream.size())) == Z_OK,
              crafted.zlibTakesIt)
        << crafted.name;
    cases.push_back({crafted.name, crafted.stream, crafted.room});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> ours(c.room, 0xA5);
    std::vector<std::uint8_t> theirs(c.room, 0xA5);
    const BlockYield yield = InflateBlock(c.stream, ours);
    uLongf written = static_cast<uLongf>(c.room);
    const int status = uncompress(theirs.data(), &written, c.stream.data(), static_cast<uLong>(c.stream.size()));
    EXPECT_EQ(yield.ok, status == Z_OK);
    if (status != Z_OK) continue;
    EXPECT_EQ(yield.written, written);
    EXPECT_TRUE(std::equal(theirs.begin(), theirs.begin() + static_cast<std::ptrdiff_t>(written), ours.begin()));
  }
}

// What compressors write for a block of the package format inflates on the
// fast path; only fixed codes go to zlib.
TEST(InflateBlockTest, CompressorOutputIsStrictButForFixedCodes) {
  const std::vector<std::uint8_t> contents = Pattern(8192);
  for (int level = 0; level <= 9; ++level) {
    for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
      z_stream z{};
      ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy), Z_OK);
      std::vector<std::uint8_t> stream(deflateBound(&z, static_cast<uLong>(contents.size())));
      z.next_in = const_cast<Bytef*>(contents.data());
      z.avail_in = static_cast<uInt>(contents.size());
      z.next_out = stream.data();
      z.avail_out = static_cast<uInt>(stream.size());
      ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
      stream.resize(z.total_out);
      deflateEnd(&z);
      EXPECT_EQ(IsStrictZlibStream(stream), strategy != Z_FIXED || level == 0) << level << " " << strategy;
    }
  }
  // Stored blocks (each within a byte of its header's end), then a coded last block.
  const std::vector<std::uint8_t> large = Pattern(100000);
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, 0), Z_OK);
  std::vector<std::uint8_t> stream(deflateBound(&z, static_cast<uLong>(large.size())) + 64);
  z.next_in = const_cast<Bytef*>(large.data());
  z.avail_in = 70000;
  z.next_out = stream.data();
  z.avail_out = static_cast<uInt>(stream.size());
  ASSERT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
  ASSERT_EQ(deflateParams(&z, 6, Z_DEFAULT_STRATEGY), Z_OK);
  z.avail_in = static_cast<uInt>(large.size() - 70000);
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  stream.resize(z.total_out);
  deflateEnd(&z);
  EXPECT_TRUE(IsStrictZlibStream(stream));
  std::vector<std::uint8_t> out(large.size());
  const BlockYield yield = InflateBlock(stream, out);
  EXPECT_TRUE(yield.ok && yield.written == large.size() && out == large);
}

TEST(WorkerPoolTest, EveryIndexRunsOnceInEveryBatch) {
  for (const unsigned jobs : {1u, 2u, 5u}) {
    WorkerPool pool(jobs);
    EXPECT_EQ(pool.Jobs(), jobs);
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
      std::vector<std::atomic<int>> runs(count);
      pool.ForEach(
          count,
          [](void* context, std::size_t i, unsigned) { ++(*static_cast<std::vector<std::atomic<int>>*>(context))[i]; },
          &runs);
      for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(runs[i].load(), 1) << "jobs " << jobs << " index " << i;
    }
  }
}

TEST(WorkerPoolTest, JobsDefaultToTheMachinesCoresAndAreBounded) {
  EXPECT_GE(WorkerJobsFor(0), 1u);
  EXPECT_EQ(WorkerJobsFor(100000), kMostWorkerJobs);
  EXPECT_EQ(WorkerPool(WorkerJobsFor(3)).Jobs(), 3u);
}

}  // namespace
}  // namespace zira
