#include "common/byte_buffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "common/platform.h"
#include "common/worker_pool.h"

namespace zira {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// A request after one buffer of a given size went back: whether it gets that
// buffer again.
struct ReuseCase {
  const char* name;
  std::size_t first;
  std::size_t second;
  bool reused;
};

const ReuseCase kReuses[] = {
    {"SameSize", 3 * kMiB, 3 * kMiB, true},
    {"Smaller", 3 * kMiB, 2 * kMiB, true},
    {"MuchSmaller", 3 * kMiB, kMiB, true},  // rather than new memory
    {"FarTooLarge", 40 * kMiB, 2 * kMiB, false},  // kept for a request of its size
    {"Larger", 3 * kMiB, 4 * kMiB, false},
    {"SmallRequests", 1000, 1000, false},  // left to the allocator
};

class ByteBuffersReuseTest : public testing::TestWithParam<ReuseCase> {};

TEST_P(ByteBuffersReuseTest, GivesABufferBackOnlyWhenItFits) {
  const ReuseCase& c = GetParam();
  ByteBuffers buffers;
  PooledBytes first = buffers.Take(c.first);
  ASSERT_NE(first, nullptr);
  const std::size_t firstCapacity = first.get_deleter().capacity;
  first.reset();
  PooledBytes second = buffers.Take(c.second);
  ASSERT_NE(second, nullptr);
  // Every byte asked for is there to write.
  std::fill_n(second.get(), c.second, std::uint8_t{0xA5});
  // A new buffer is cut to its own request's size.
  EXPECT_EQ(second.get_deleter().home != nullptr && second.get_deleter().capacity == firstCapacity, c.reused);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ByteBuffersReuseTest, testing::ValuesIn(kReuses),
                         [](const testing::TestParamInfo<ReuseCase>& param) { return std::string(param.param.name); });

// What is held for later plus what is in use never grows past the most that
// was in use at once, rounding aside: a miss gives held buffers back first.
TEST(ByteBuffersTest, HeldAndInUseStayWithinTheMostInUse) {
  ByteBuffers buffers;
  const std::size_t sizes[] = {kMiB, 5 * kMiB, 2 * kMiB, 9 * kMiB, 300 << 10, 7 * kMiB, 17 * kMiB, kMiB, 4 * kMiB};
  std::size_t mostInUse = 0;
  for (const std::size_t size : sizes) {
    {
      PooledBytes a = buffers.Take(size);
      PooledBytes b = buffers.Take(size / 2 + ByteBuffers::kSmallest);
      ASSERT_TRUE(a && b);
      const std::size_t inUse = a.get_deleter().capacity + b.get_deleter().capacity;
      mostInUse = std::max(mostInUse, inUse);
      EXPECT_LE(inUse + buffers.HeldBytes(), mostInUse) << size;
    }
    EXPECT_LE(buffers.HeldBytes(), mostInUse) << size;
  }
}

TEST(ByteBuffersTest, ThreadsTakeAndGiveAtOnce) {
  ByteBuffers buffers;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&buffers, t] {
      for (int i = 0; i < 200; ++i) {
        const std::size_t size = ByteBuffers::kSmallest + static_cast<std::size_t>((i * 7 + t) % 13) * (64 << 10);
        PooledBytes bytes = buffers.Take(size);
        ASSERT_NE(bytes, nullptr);
        bytes[0] = bytes[size - 1] = static_cast<std::uint8_t>(i);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
}

// Given back early, the held buffers leave nothing held, and one still in
// use is taken back afterwards as before.
TEST(ByteBuffersTest, ReleasesWhatItHoldsAndStillTakesBackWhatIsInUse) {
  ByteBuffers buffers;
  PooledBytes kept = buffers.Take(2 * kMiB);
  buffers.Take(3 * kMiB).reset();
  EXPECT_GT(buffers.HeldBytes(), 0u);
  buffers.ReleaseHeld();
  EXPECT_EQ(buffers.HeldBytes(), 0u);
  const std::size_t capacity = kept.get_deleter().capacity;
  kept.reset();
  EXPECT_EQ(buffers.HeldBytes(), capacity);
}

// Runs a batch on the caller, noting which parts were asked for.
class CountingRunner : public TaskRunner {
 public:
  explicit CountingRunner(unsigned workers) : workers_(workers) {}
  unsigned Workers() override { return workers_; }
  void ForEach(std::size_t count, Task task, void* context) override {
    for (std::size_t i = 0; i < count; ++i) task(context, i, 0);
    tasks_ += count;
  }
  std::size_t tasks_ = 0;

 private:
  unsigned workers_;
};

// A large new buffer has its pages made part by part on the threads given,
// and every part of it, the last cut short, is there to write.
TEST(ByteBuffersTest, SpreadsTheFirstPagesOfLargeBuffersOverThreads) {
  struct Case {
    unsigned workers;
    std::size_t size;
    bool spread;
  };
  for (const Case& c : {Case{2, ByteBuffers::kSpreadFrom + 12345, true}, Case{1, ByteBuffers::kSpreadFrom, false},
                        Case{2, ByteBuffers::kSpreadFrom - kMiB, false}}) {
    SCOPED_TRACE(std::to_string(c.workers) + " workers, " + std::to_string(c.size) + " bytes");
    ByteBuffers buffers;
    CountingRunner runner(c.workers);
    PooledBytes bytes = buffers.Take(c.size, &runner);
    ASSERT_NE(bytes, nullptr);
    const std::size_t capacity = bytes.get_deleter().capacity;
    EXPECT_EQ(runner.tasks_, c.spread ? (capacity + ByteBuffers::kSpreadPart - 1) / ByteBuffers::kSpreadPart : 0u);
    std::fill_n(bytes.get(), capacity, std::uint8_t{0x5A});
    // Held and taken again, a buffer's pages are already there.
    bytes.reset();
    bytes = buffers.Take(c.size, &runner);
    EXPECT_EQ(runner.tasks_, c.spread ? (capacity + ByteBuffers::kSpreadPart - 1) / ByteBuffers::kSpreadPart : 0u);
  }
}

// Buffers mapped from the system: every byte usable, and from a large page
// on, the start on a large page, or the system cannot make any of its pages
// large.
TEST(MapBytesTest, MappedBuffersAreWholeAndLargeOnesStartOnALargePage) {
  constexpr std::size_t kLargePage = kLargePageBytes;
  for (const std::size_t size : {std::size_t{0}, std::size_t{100} << 10, kLargePage, kLargePage + 1, 10 * kMiB + 12345}) {
    SCOPED_TRACE(std::to_string(size) + " bytes");
    PooledBytes bytes = MapBytes(size);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes.get_deleter().home, nullptr);
    std::fill_n(bytes.get(), std::max<std::size_t>(size, 1), std::uint8_t{0x3C});
#ifndef _WIN32
    if (size >= kLargePage) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes.get()) % kLargePage, 0u);
    }
#endif
  }
}

}  // namespace
}  // namespace zira
