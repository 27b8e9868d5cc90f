#pragma once
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <utility>

#include "common/result.h"

namespace zira {

// Puts a package's directory rows in ascending data offset, in O(n log n).
//
// Rows on equal offsets end in the order that a selection sort with a strict
// comparison and swaps leaves them in (which is not their order in the file):
// at each position the first row of the smallest offset still to place is
// swapped in. That order decides which row takes which listed name (the k-th
// name belongs to the k-th row) and which row is taken for the name directory
// (the last), so another order would change what a package shows.
//
// The same swaps are made, found through a heap of (offset, position) pairs
// instead of a scan: a row moved out of the way is pushed again at its new
// position, and a pair whose position is already placed is passed over.
// comparisons, when given, receives the pair comparisons made.
template <typename Row>
Result SortRowsByOffset(std::span<Row> rows, std::uint64_t* comparisons = nullptr) {
  std::uint64_t compared = 0;
  const std::size_t count = rows.size();
  if (count > UINT32_MAX) return InvalidArgument("more rows than 32 bits count");
  // Each step takes one pair and adds at most one, so count pairs always suffice.
  std::unique_ptr<std::uint64_t[]> heap(new (std::nothrow) std::uint64_t[count > 0 ? count : 1]);
  if (!heap) return OutOfMemory("row order heap");
  const auto pair = [&](std::size_t position) {
    return (std::uint64_t{rows[position].dataOffset} << 32) | position;
  };
  // The offset in the high half and the position in the low one: the least pair is
  // the smallest offset, and of those the first position.
  const auto later = [&](std::uint64_t a, std::uint64_t b) {
    ++compared;
    return a > b;
  };
  std::size_t size = count;
  for (std::size_t i = 0; i < count; ++i) heap[i] = pair(i);
  std::make_heap(heap.get(), heap.get() + size, later);
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t kept = i;
    while (size > 0) {
      std::pop_heap(heap.get(), heap.get() + size, later);
      kept = static_cast<std::uint32_t>(heap[--size]);
      if (kept >= i) break;
    }
    if (kept == i) continue;
    std::swap(rows[i], rows[kept]);
    heap[size++] = pair(kept);
    std::push_heap(heap.get(), heap.get() + size, later);
  }
  if (comparisons != nullptr) *comparisons = compared;
  return kSuccess;
}

}  // namespace zira
