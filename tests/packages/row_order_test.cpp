#include "packages/row_order.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "packages/package_archive.h"
#include "support/package_writer.h"

namespace zira {
namespace {

struct Row {
  std::uint32_t dataOffset;
  std::uint32_t id;
};

std::vector<Row> RowsOf(const std::vector<std::uint32_t>& offsets) {
  std::vector<Row> rows;
  for (std::uint32_t i = 0; i < offsets.size(); ++i) rows.push_back({offsets[i], i});
  return rows;
}

std::vector<std::uint32_t> IdsAfterSort(std::vector<Row> rows, std::uint64_t* comparisons = nullptr) {
  EXPECT_EQ(SortRowsByOffset(std::span<Row>(rows), comparisons), ResultCode::kOk);
  std::vector<std::uint32_t> ids;
  for (const Row& row : rows) ids.push_back(row.id);
  return ids;
}

// The quadratic scan the heap stands in for.
std::vector<std::uint32_t> IdsAfterScan(std::vector<Row> rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::size_t kept = i;
    for (std::size_t j = i + 1; j < rows.size(); ++j) {
      if (rows[j].dataOffset < rows[kept].dataOffset) kept = j;
    }
    std::swap(rows[i], rows[kept]);
  }
  std::vector<std::uint32_t> ids;
  for (const Row& row : rows) ids.push_back(row.id);
  return ids;
}

// Neither a stable sort nor a reversed one gives these.
TEST(RowOrderTest, RowsOnEqualOffsetsKeepTheOrderOfTheSwappingScan) {
  struct Case {
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint32_t> ids;
  };
  const Case cases[] = {
      {{2, 2, 1}, {2, 1, 0}},
      {{5, 5, 5, 1}, {3, 1, 2, 0}},
      {{6, 6, 2, 6, 2, 1}, {5, 2, 4, 3, 1, 0}},
      {{3, 3, 3, 1, 2, 1}, {3, 5, 4, 0, 2, 1}},
      {{8, 8, 8, 8, 1, 1, 1}, {4, 5, 6, 3, 0, 1, 2}},
      {{4, 4, 4, 4}, {0, 1, 2, 3}},
      {{}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(IdsAfterSort(RowsOf(c.offsets)), c.ids) << ::testing::PrintToString(c.offsets);

  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint32_t> offsets(1 + random() % 40);
    for (std::uint32_t& offset : offsets) offset = static_cast<std::uint32_t>(random() % 6);
    EXPECT_EQ(IdsAfterSort(RowsOf(offsets)), IdsAfterScan(RowsOf(offsets))) << ::testing::PrintToString(offsets);
  }
}

// The archive sorts with it: rows 0 and 1 share an offset behind row 2's, so
// only the scan's order puts row 1 second, where the second listed name is its own.
TEST(RowOrderTest, TheArchiveNamesRowsInThatOrder) {
  testing::PackageWriter writer;
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) writer.AddTextEntry(name, name);
  std::vector<std::uint8_t> bytes = writer.Bytes();
  const std::vector<std::uint32_t>& offsets = writer.DataOffsets();
  const std::size_t directory = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::size_t{bytes[3]} << 24;
  const auto setOffset = [&](std::size_t row, std::uint32_t offset) {
    testing::SetU32(bytes, directory + 4 + row * 12 + 4, offset);
  };
  setOffset(0, offsets[1]);
  setOffset(2, offsets[0]);
  const std::unique_ptr<PackageArchive> archive = PackageArchive::Create();
  ASSERT_EQ(archive->OpenBytes(bytes), ResultCode::kOk);
  const char* expected[] = {"", "b.bmp", "", "d.bmp"};
  ASSERT_EQ(archive->EntryCount(), 4u);
  for (std::uint32_t i = 0; i < 4; ++i) EXPECT_STREQ(archive->Entry(i)->name, expected[i]) << i;
}

// A directory of 160,000 rows costs a few million comparisons, not the
// scan's 12.8 billion, whatever the offsets.
TEST(RowOrderTest, ComparisonsGrowAsNLogN) {
  constexpr std::uint32_t kRows = 160000;
  std::mt19937 random(11);
  const std::function<std::uint32_t(std::uint32_t)> patterns[] = {
      [](std::uint32_t) { return 12u; },
      [](std::uint32_t i) { return kRows - i; },
      [&](std::uint32_t) { return static_cast<std::uint32_t>(random() % 64); },
  };
  for (const auto& pattern : patterns) {
    std::vector<std::uint32_t> offsets(kRows);
    for (std::uint32_t i = 0; i < kRows; ++i) offsets[i] = pattern(i);
    std::uint64_t comparisons = 0;
    const std::vector<std::uint32_t> ids = IdsAfterSort(RowsOf(offsets), &comparisons);
    EXPECT_LE(comparisons, 3 * kRows * 18);  // 3 n log2 n
    for (std::uint32_t i = 1; i < kRows; ++i) ASSERT_LE(offsets[ids[i - 1]], offsets[ids[i]]);
  }
}

}  // namespace
}  // namespace zira
