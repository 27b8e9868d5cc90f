#include "common/byte_cursor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zira {
namespace {

const std::vector<std::uint8_t> kBytes = {0x11, 0x22, 0x33, 0x44, 0x55};

ByteCursor First(std::size_t count) { return ByteCursor(std::span(kBytes).first(count)); }

struct ReadCase {
  const char* name;
  std::size_t width;
  std::uint32_t whole;  // the value of the first width bytes
  std::uint32_t (*read)(ByteCursor&);
};

const ReadCase kReads[] = {
    {"ReadU16", 2, 0x2211, [](ByteCursor& c) -> std::uint32_t { return c.ReadU16(); }},
    {"ReadU32", 4, 0x44332211, [](ByteCursor& c) { return c.ReadU32(); }},
    {"ReadI32", 4, 0x44332211, [](ByteCursor& c) { return static_cast<std::uint32_t>(c.ReadI32()); }},
    {"ReadBytes", 3, 0x11, [](ByteCursor& c) -> std::uint32_t {
       const auto bytes = c.ReadBytes(3);
       return bytes.empty() ? 0 : bytes[0];
     }},
    {"Skip", 3, 0, [](ByteCursor& c) -> std::uint32_t {
       c.Skip(3);
       return 0;
     }},
    {"Take", 3, 0x33, [](ByteCursor& c) -> std::uint32_t { return c.Take(3).U8At(2); }},
};

// Every read over views that end before, at and after its width: it fits
// exactly when the view holds it; otherwise it yields 0, stays put and fails.
TEST(ByteCursorTest, EveryReadAtTheEndBoundary) {
  for (const ReadCase& r : kReads) {
    for (std::size_t size = 0; size <= kBytes.size(); ++size) {
      ByteCursor cursor = First(size);
      const bool fits = size >= r.width;
      EXPECT_EQ(r.read(cursor), fits ? r.whole : 0u) << r.name << " over " << size;
      EXPECT_EQ(cursor.Ok(), fits) << r.name << " over " << size;
      EXPECT_EQ(cursor.Position(), fits ? r.width : 0u) << r.name << " over " << size;
    }
  }
}

// The package archive's read keeps 1 to 3 trailing bytes as the low bytes.
TEST(ByteCursorTest, LowBytesReadTakesWhatIsLeft) {
  const struct {
    std::size_t size;
    std::uint32_t value;
    bool ok;
  } cases[] = {{0, 0, false}, {1, 0x11, true}, {2, 0x2211, true}, {3, 0x332211, true}, {4, 0x44332211, true}};
  for (const auto& c : cases) {
    ByteCursor cursor = First(c.size);
    EXPECT_EQ(cursor.ReadU32LowBytes(), c.value) << c.size;
    EXPECT_EQ(cursor.Ok(), c.ok) << c.size;
    EXPECT_EQ(cursor.Position(), c.size) << c.size;
  }
  ByteCursor cursor = First(5);
  cursor.Skip(2);
  EXPECT_EQ(cursor.ReadU32LowBytes(), 0x554433u);
  EXPECT_TRUE(cursor.Ok());
  EXPECT_EQ(cursor.ReadU32LowBytes(), 0u);  // nothing left is an ordinary failure
  EXPECT_FALSE(cursor.Ok());
}

// After one failed read nothing reads any more, even what would fit.
TEST(ByteCursorTest, ErrorIsSticky) {
  ByteCursor cursor = First(3);
  EXPECT_EQ(cursor.ReadU16(), 0x2211u);
  EXPECT_EQ(cursor.ReadU16(), 0u);
  EXPECT_EQ(cursor.ReadBytes(1).size(), 0u);  // one byte is left, but not to read
  EXPECT_EQ(cursor.ReadU32LowBytes(), 0u);
  EXPECT_EQ(cursor.Remaining(), 0u);
  EXPECT_EQ(cursor.U8At(0), 0u);
  EXPECT_FALSE(cursor.Contains(0, 1));
  EXPECT_FALSE(cursor.Sub(0, 1).Ok());
  EXPECT_FALSE(cursor.Take(0).Ok());
  EXPECT_EQ(cursor.Position(), 2u);
}

TEST(ByteCursorTest, SubCursorsSeeOnlyTheirRange) {
  ByteCursor cursor = First(5);
  cursor.Skip(1);
  ByteCursor body = cursor.Take(2);
  EXPECT_EQ(cursor.Position(), 3u);
  EXPECT_EQ(body.ReadU16(), 0x3322u);
  EXPECT_TRUE(body.ReadBytes(1).empty());  // the next byte belongs to the parent
  EXPECT_FALSE(body.Ok());
  EXPECT_TRUE(cursor.Ok());

  const struct {
    std::size_t offset, size;
    bool ok;
  } ranges[] = {{0, 5, true}, {5, 0, true}, {4, 2, false}, {6, 0, false}, {1, SIZE_MAX, false}, {SIZE_MAX, 1, false}};
  for (const auto& r : ranges) {
    const ByteCursor sub = First(5).Sub(r.offset, r.size);
    EXPECT_EQ(sub.Ok(), r.ok) << r.offset << "+" << r.size;
    EXPECT_EQ(sub.Remaining(), r.ok ? r.size : 0u) << r.offset << "+" << r.size;
  }
  EXPECT_EQ(First(5).Sub(3).ReadU16(), 0x5544u);
  EXPECT_FALSE(First(5).Sub(6).Ok());

  ByteCursor fields = First(5);
  fields.SkipTo(3);
  EXPECT_EQ(fields.ReadU16(), 0x5544u);
  fields.SkipTo(1);  // behind the position
  EXPECT_FALSE(fields.Ok());
}

TEST(ByteCursorTest, OffsetReadsNeverLeaveTheView) {
  const ByteCursor cursor = First(5);
  EXPECT_EQ(cursor.U32At(1), 0x55443322u);
  EXPECT_EQ(cursor.U32At(2), 0u);
  EXPECT_EQ(cursor.U16At(3), 0x5544u);
  EXPECT_EQ(cursor.U16At(4), 0u);
  EXPECT_EQ(cursor.U8At(5), 0u);
  EXPECT_EQ(cursor.U32At(SIZE_MAX - 1), 0u);
  EXPECT_TRUE(cursor.Contains(5, 0));
  EXPECT_FALSE(cursor.Contains(SIZE_MAX, 2));
}

}  // namespace
}  // namespace zira
