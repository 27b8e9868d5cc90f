#include <gtest/gtest.h>

#include <memory>

#include "store/inventory.h"

namespace zira {
namespace {

// A damaged counter must not lead a walk past its table: every span stops at
// the room of the table it views.
TEST(InventoryViews, SpansStopAtTheRoomOfTheirTables) {
  const auto store = std::make_unique<Inventory>();
  Inventory& inv = *store;
  inv.sourceCount = 0xFFFF;
  inv.modelDefCount = 0xFFFF;
  inv.sources[0].modelCount = 0xFF;
  inv.zoneLinks[0].importCount = 0xFF;
  inv.models[0].heads.count = 0xFF;
  inv.sourceIndex.count[kGlobalBucket] = 0xFF;

  EXPECT_EQ(inv.Sources().size(), kSourceCapacity);
  EXPECT_EQ(inv.ModelDefs().size(), kModelCapacity);
  EXPECT_EQ(inv.sources[0].Models().size(), kModelsPerSource);
  EXPECT_EQ(inv.zoneLinks[0].Imports().size(), kZoneImportCapacity);
  EXPECT_EQ(inv.models[0].heads.Values().size(), 20u);
  EXPECT_EQ(inv.SourceBucket(kGlobalBucket).size(), kSourcesPerBucket);
  for (const int bucket : {0, kOrphanBucket + 1, -1}) EXPECT_TRUE(inv.SourceBucket(bucket).empty()) << bucket;
}

TEST(InventoryViews, KindLabelsAndOwnSources) {
  EXPECT_STREQ(SourceKindLabel(SourceKind::kGlobalLoadList), "Loaded via GlobalLoad.txt");
  EXPECT_STREQ(SourceKindLabel(SourceKind{5}), "");
  ModelSource a{}, b{};
  ZoneLinks links{};
  links.chr2Source = &a;
  EXPECT_TRUE(links.IsOwnSource(&a));
  EXPECT_FALSE(links.IsOwnSource(&b));
  EXPECT_FALSE(links.IsOwnSource(nullptr));  // an empty field is no source
}

}  // namespace
}  // namespace zira
