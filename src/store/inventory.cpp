#include "store/inventory.h"

#include <algorithm>
#include <memory>

namespace zira {

const char* const kSourceKindLabels[kSourceKindCount] = {
    "Local to zone", "Hard-coded", "Loaded via GlobalLoad.txt", "Loaded with Ostra models",
    "Loaded when Ostra models disabled",
};

namespace {

std::unique_ptr<Inventory>& Store() {
  static std::unique_ptr<Inventory> store;
  return store;
}

}  // namespace

Inventory& TheInventory() {
  std::unique_ptr<Inventory>& store = Store();
  // Value-initialized: every table empty, every counter zero.
  if (!store) store = std::make_unique<Inventory>();
  return *store;
}

void ResetInventory() {
  Store().reset();
  TheInventory();
}

std::uint8_t SourceBucketCount(const Inventory& inventory, int bucket) {
  if (bucket < kFirstSourceBucket || bucket > kOrphanBucket) return 0;
  return inventory.sourceIndex.count[bucket];
}

ModelSource* SourceInBucket(Inventory& inventory, int bucket, std::size_t position) {
  if (position >= SourceBucketCount(inventory, bucket)) return nullptr;
  return &inventory.sources[inventory.sourceIndex.rows[bucket][position]];
}


}  // namespace zira
