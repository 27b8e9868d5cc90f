#include "store/inventory.h"

#include <algorithm>
#include <new>

#include "common/platform.h"

namespace zira {

namespace {

constexpr const char* kSourceKindLabels[kSourceKindCount] = {
    "Local to zone", "Hard-coded", "Loaded via GlobalLoad.txt", "Loaded with Ostra models",
    "Loaded when Ostra models disabled",
};

}  // namespace

void* Inventory::operator new(std::size_t size) {
  if (std::uint8_t* bytes = MapMemory(size)) return bytes;
  throw std::bad_alloc();
}

void Inventory::operator delete(void* bytes, std::size_t size) { UnmapMemory(static_cast<std::uint8_t*>(bytes), size); }

const char* SourceKindLabel(SourceKind kind) {
  const auto number = static_cast<std::size_t>(kind);
  return number < kSourceKindCount ? kSourceKindLabels[number] : "";
}

std::span<const std::uint16_t> Inventory::SourceBucket(int bucket) const {
  if (bucket < kFirstSourceBucket || bucket > kOrphanBucket) return {};
  return {sourceIndex.rows[bucket], std::min<std::size_t>(sourceIndex.count[bucket], kSourcesPerBucket)};
}

std::uint8_t SourceBucketCount(const Inventory& inventory, int bucket) {
  return static_cast<std::uint8_t>(inventory.SourceBucket(bucket).size());
}

ModelSource* SourceInBucket(Inventory& inventory, int bucket, std::size_t position) {
  const std::span<const std::uint16_t> rows = inventory.SourceBucket(bucket);
  if (position >= rows.size() || rows[position] >= kSourceCapacity) return nullptr;
  return &inventory.sources[rows[position]];
}

}  // namespace zira
