#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "client/client_image.h"
#include "client/gender.h"
#include "client/string_database.h"
#include "client/string_list.h"
#include "common/capacities.h"
#include "common/variation_kind.h"

namespace zira {

inline constexpr std::size_t kZoneImportCapacity = 80;
inline constexpr std::size_t kSourceCapacity = 1200;
inline constexpr std::size_t kModelsPerSource = 200;
inline constexpr std::size_t kModelCapacity = 5000;
inline constexpr std::size_t kSourcesPerBucket = 150;
inline constexpr int kFirstSourceBucket = 1;
inline constexpr int kGlobalBucket = 28;
inline constexpr int kOrphanBucket = 29;

// Variation numbers in strictly ascending order, never 0, never twice.
template <std::size_t Capacity>
struct VariationList {
  static constexpr std::size_t kCapacity = Capacity;
  std::uint8_t count;
  std::uint8_t values[Capacity];

  std::span<const std::uint8_t> Values() const { return {values, count < Capacity ? count : Capacity}; }
};

struct ModelSource;

// One model found in one source.
struct ModelDef {
  std::uint8_t codeLength;
  char code[kModelCodeCapacity];  // trimmed, upper case
  std::uint16_t raceId;
  Gender gender;
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

// How a source reaches the client; the reports print its number and label.
enum class SourceKind : std::uint8_t {
  kLocalToZone = 0,
  kHardCoded = 1,
  kGlobalLoadList = 2,
  kWithOstraModels = 3,
  kWithoutOstraModels = 4,
};
inline constexpr std::size_t kSourceKindCount = 5;

constexpr int SourceKindNumber(SourceKind kind) { return static_cast<int>(kind); }
// The label the reports print; empty for a number without one.
const char* SourceKindLabel(SourceKind kind);

// One package known to hold character models.
struct ModelSource {
  std::uint16_t sourceCode;  // bucket * 256 + slot
  std::uint8_t nameLength;
  char name[kSourceNameCapacity];  // trimmed, lower case, with extension
  std::uint8_t scanned;
  SourceKind kind;
  std::uint8_t modelCount;
  ModelDef* models[kModelsPerSource];

  // The source's models in the order they were added.
  std::span<ModelDef* const> Models() const {
    return {models, modelCount < kModelsPerSource ? modelCount : kModelsPerSource};
  }
};

// What discovery learned about one zone: its own two packages and the models
// its import list brings in, in order of import.
struct ZoneLinks {
  ModelSource* chrSource;
  ModelSource* chr2Source;
  std::uint8_t importCount;
  ModelDef* imports[kZoneImportCapacity];

  std::span<ModelDef* const> Imports() const {
    return {imports, importCount < kZoneImportCapacity ? importCount : kZoneImportCapacity};
  }
  // Whether source is one of the zone's own packages.
  bool IsOwnSource(const ModelSource* source) const {
    return source != nullptr && (chrSource == source || chr2Source == source);
  }
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
  // By zone id, like the client's zone rows.
  ZoneLinks zoneLinks[kMaxZoneId + 1];

  // Megabytes of tables, filled as a run begins: mapped memory with large
  // pages where the system has them, as a first touch of every small page
  // can cost more than the filling itself.
  static void* operator new(std::size_t size);
  static void operator delete(void* bytes, std::size_t size);

  // The registered sources in registration order, and the models in the order taken.
  std::span<ModelSource> Sources() { return {sources, SourceRows()}; }
  std::span<const ModelSource> Sources() const { return {sources, SourceRows()}; }
  std::span<const ModelDef> ModelDefs() const {
    return {models, modelDefCount < kModelCapacity ? modelDefCount : kModelCapacity};
  }
  // The source rows of a bucket in registration order (the global bucket is
  // the global source list); empty for a number that is no bucket.
  std::span<const std::uint16_t> SourceBucket(int bucket) const;

 private:
  std::size_t SourceRows() const { return sourceCount < kSourceCapacity ? sourceCount : kSourceCapacity; }
};


// The count of a bucket and the source at a position of it (nullptr past its end).
std::uint8_t SourceBucketCount(const Inventory& inventory, int bucket);
ModelSource* SourceInBucket(Inventory& inventory, int bucket, std::size_t position);

}  // namespace zira
