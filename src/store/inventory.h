#pragma once
#include <cstddef>
#include <cstdint>

#include "client/client_image.h"
#include "client/string_database.h"
#include "client/string_list.h"

namespace zira {

inline constexpr std::size_t kSourceCapacity = 1200;
inline constexpr std::size_t kModelsPerSource = 200;
inline constexpr std::size_t kModelCapacity = 5000;
inline constexpr std::size_t kSourcesPerBucket = 150;
inline constexpr std::size_t kSourceNameCapacity = 64;  // 63 characters and the terminator
inline constexpr std::size_t kModelCodeCapacity = 14;   // 13 characters and the terminator
inline constexpr int kFirstSourceBucket = 1;
inline constexpr int kGlobalBucket = 28;
inline constexpr int kOrphanBucket = 29;

enum VariationKind : std::uint8_t {
  kTexture = 1,
  kHead = 2,
  kFace = 3,
  kHair = 4,
  kBeard = 6,
  kTattoo = 7,
  kDetail = 8,
};

// Variation numbers in strictly ascending order, never 0, never twice.
template <std::size_t Capacity>
struct VariationList {
  static constexpr std::size_t kCapacity = Capacity;
  std::uint8_t count;
  std::uint8_t values[Capacity];
};

// One model found in one source.
struct ModelDef {
  std::uint8_t codeLength;
  char code[kModelCodeCapacity];  // trimmed, upper case
  std::uint16_t raceId;
  std::uint8_t gender;  // 0 none, 1 male, 2 female, 3 neutral
  ModelSource* source;
  std::uint8_t slot;
  VariationList<30> textures;
  VariationList<20> heads;
  VariationList<15> faces;
  VariationList<15> tattoos;
  VariationList<15> hair;
  VariationList<15> beards;
  VariationList<15> details;
};

// Source kinds; their labels are what the reports print.
enum SourceKind : std::uint8_t {
  kLocalToZone = 0,
  kHardCoded = 1,
  kGlobalLoadList = 2,
  kWithOstraModels = 3,
  kWithoutOstraModels = 4,
};
inline constexpr std::size_t kSourceKindCount = 5;
extern const char* const kSourceKindLabels[kSourceKindCount];

// One package known to hold character models.
struct ModelSource {
  std::uint16_t sourceCode;  // bucket * 256 + slot
  std::uint8_t nameLength;
  char name[kSourceNameCapacity];  // trimmed, lower case, with extension
  std::uint8_t scanned;
  std::uint8_t kind;
  std::uint8_t modelCount;
  ModelDef* models[kModelsPerSource];
};

// Source rows by bucket: 1 non-letter names, 2 to 27 letters A to Z (all
// kind 0), 28 every source of nonzero kind, 29 orphans. Index 0 is unused.
struct SourceIndex {
  std::uint8_t count[kOrphanBucket + 1];
  std::uint16_t rows[kOrphanBucket + 1][kSourcesPerBucket];
};

// The one store of a run: every table at its fixed capacity, so rows never
// move and references to them stay valid for the whole process.
struct Inventory {
  ClientImage client;
  StringList strings;
  StringDatabase database;
  std::uint16_t sourceCount;
  ModelSource sources[kSourceCapacity];
  SourceIndex sourceIndex;
  std::uint16_t modelDefCount;
  ModelDef models[kModelCapacity];
};

// The process-wide store.
Inventory& TheInventory();
// Replaces the store by an empty one (tests start from here).
void ResetInventory();

// The source rows of a bucket in registration order (the global bucket is the
// global source list).
std::uint8_t SourceBucketCount(const Inventory& inventory, int bucket);
ModelSource* SourceInBucket(Inventory& inventory, int bucket, std::size_t position);

}  // namespace zira
