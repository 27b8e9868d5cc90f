#include "store/model_registry.h"

#include <algorithm>
#include <cstring>

#include "client/race_table.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr std::size_t kMaxSourceName = kSourceNameCapacity - 1;
constexpr std::size_t kMinSourceName = 5;
constexpr std::size_t kMaxModelCode = kModelCodeCapacity - 1;

// Length of a text, but never counting past limit + 1: enough to tell a text
// that is too long without walking all of it.
std::size_t BoundedLength(const char* text, std::size_t limit) {
  std::size_t length = 0;
  while (length <= limit && text[length] != '\0') ++length;
  return length;
}

// Copies a text already known to fit, trims it and returns the new length.
std::size_t CopyTrimmed(char* buffer, const char* text, std::size_t length) {
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  TrimCounted(buffer, &length);
  return length;
}

// One variation list seen without its capacity in the type.
struct ListView {
  std::uint8_t* count;
  std::uint8_t* values;
  std::size_t capacity;
};

template <std::size_t N>
ListView ViewOf(VariationList<N>& list) {
  return {&list.count, list.values, N};
}

bool ListOfKind(ModelDef& model, std::uint32_t kind, ListView* view) {
  switch (kind) {
    case kTexture: *view = ViewOf(model.textures); return true;
    case kHead: *view = ViewOf(model.heads); return true;
    case kFace: *view = ViewOf(model.faces); return true;
    case kHair: *view = ViewOf(model.hair); return true;
    case kBeard: *view = ViewOf(model.beards); return true;
    case kTattoo: *view = ViewOf(model.tattoos); return true;
    case kDetail: *view = ViewOf(model.details); return true;
    default: return false;
  }
}

// Keeps the list ascending and free of repeats; a value already present is
// accepted even by a full list.
Result InsertVariation(const ListView& list, std::uint8_t value) {
  const std::size_t count = std::min<std::size_t>(*list.count, list.capacity);
  std::size_t at = 0;
  while (at < count && list.values[at] < value) ++at;
  if (at < count && list.values[at] == value) return S_OK;
  if (count >= list.capacity) return E_OUTOFMEMORY;
  std::memmove(list.values + at + 1, list.values + at, count - at);
  list.values[at] = value;
  *list.count = static_cast<std::uint8_t>(count + 1);
  return S_OK;
}

ModelSource* FindInBucket(Inventory& inventory, int bucket, const char* name, std::size_t length) {
  const std::size_t count = std::min<std::size_t>(inventory.sourceIndex.count[bucket], kSourcesPerBucket);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t row = inventory.sourceIndex.rows[bucket][i];
    if (row >= kSourceCapacity) continue;
    ModelSource& source = inventory.sources[row];
    if (SameText(source.name, source.nameLength, name, length, false)) return &source;
  }
  return nullptr;
}

ModelDef* FindInSource(ModelSource& source, const char* code, std::size_t length) {
  const std::size_t count = std::min<std::size_t>(source.modelCount, kModelsPerSource);
  for (std::size_t i = 0; i < count; ++i) {
    ModelDef* model = source.models[i];
    if (model != nullptr && SameText(model->code, model->codeLength, code, length, false)) return model;
  }
  return nullptr;
}

}  // namespace

Result DecodeModelCode(const Inventory& inventory, const char* code, std::uint16_t* raceId, std::uint8_t* gender) {
  if (raceId) *raceId = 0;
  if (gender) *gender = 0;
  if (code == nullptr || raceId == nullptr || gender == nullptr) return E_INVALIDARG;
  const std::size_t length = BoundedLength(code, kMaxModelCode);
  if (length > kMaxModelCode || length == 0) return E_FAIL;
  char upper[kModelCodeCapacity];
  std::memcpy(upper, code, length);
  upper[length] = '\0';
  UpperInPlace(upper);

  const ClientImage& client = inventory.client;
  const int bucket = LetterBucket(upper);
  const std::size_t count = std::min<std::size_t>(client.codeIndex.count[bucket], kCodesPerLetter);
  // The bucket is ascending, so walking it backwards lets the highest race win.
  for (std::size_t i = count; i-- > 0;) {
    const std::uint16_t race = client.codeIndex.ids[bucket][i];
    if (race > kMaxRaceId) continue;
    for (std::uint8_t g = 1; g <= 3; ++g) {
      const char* raceCode = RaceCode(client, race, g);
      if (raceCode == nullptr) continue;
      if (SameText(raceCode, BoundedLength(raceCode, kMaxModelCode), upper, length, false)) {
        *raceId = race;
        *gender = g;
        return S_OK;
      }
    }
  }
  return E_FAIL;
}

ModelSource* FindOrAddSource(Inventory& inventory, const char* name, std::uint8_t kind, bool orphan) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  // The reports print the kind's label, so a kind without one is refused.
  if (kind >= kSourceKindCount || (kind != kLocalToZone && orphan)) return nullptr;
  // The length is tested before trimming: padding can carry a short name past it.
  std::size_t length = BoundedLength(name, kMaxSourceName);
  if (length < kMinSourceName || length > kMaxSourceName) return nullptr;
  char normal[kSourceNameCapacity];
  length = CopyTrimmed(normal, name, length);
  if (length == 0) return nullptr;
  LowerInPlace(normal);

  const int bucket = kind != kLocalToZone ? kGlobalBucket : orphan ? kOrphanBucket : LetterBucket(normal) + 1;
  if (ModelSource* found = FindInBucket(inventory, bucket, normal, length)) return found;

  const std::uint8_t slot = inventory.sourceIndex.count[bucket];
  if (slot >= kSourcesPerBucket || inventory.sourceCount >= kSourceCapacity) return nullptr;
  const std::uint16_t row = inventory.sourceCount;
  ModelSource& source = inventory.sources[row];
  source.sourceCode = static_cast<std::uint16_t>(bucket * 256 + slot);
  source.nameLength = static_cast<std::uint8_t>(length);
  std::memcpy(source.name, normal, length + 1);
  source.scanned = 0;
  source.kind = kind;
  source.modelCount = 0;
  inventory.sourceIndex.rows[bucket][slot] = row;
  inventory.sourceIndex.count[bucket] = static_cast<std::uint8_t>(slot + 1);
  inventory.sourceCount = static_cast<std::uint16_t>(row + 1);
  return &source;
}

ModelSource* FindSource(Inventory& inventory, const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  std::size_t length = BoundedLength(name, kMaxSourceName);
  if (length > kMaxSourceName) return nullptr;
  char normal[kSourceNameCapacity];
  length = CopyTrimmed(normal, name, length);
  if (length == 0) return nullptr;
  LowerInPlace(normal);
  // Orphans stay out of sight: only discovery's own last step knows them.
  if (ModelSource* found = FindInBucket(inventory, LetterBucket(normal) + 1, normal, length)) return found;
  return FindInBucket(inventory, kGlobalBucket, normal, length);
}

ModelDef* AddModel(Inventory& inventory, ModelSource* source, const char* code) {
  if (source == nullptr || code == nullptr || code[0] == '\0') return nullptr;
  std::size_t length = BoundedLength(code, kMaxModelCode);
  if (length > kMaxModelCode) return nullptr;
  char normal[kModelCodeCapacity];
  length = CopyTrimmed(normal, code, length);
  if (length == 0) return nullptr;
  UpperInPlace(normal);

  if (ModelDef* found = FindInSource(*source, normal, length)) return found;
  // Both limits are settled before a row is taken, so a refusal changes nothing.
  if (source->modelCount >= kModelsPerSource || inventory.modelDefCount >= kModelCapacity) return nullptr;

  ModelDef& model = inventory.models[inventory.modelDefCount];
  inventory.modelDefCount = static_cast<std::uint16_t>(inventory.modelDefCount + 1);
  std::uint16_t raceId = 0;
  std::uint8_t gender = 0;
  // An unknown code is still a model; it simply has no race.
  static_cast<void>(DecodeModelCode(inventory, normal, &raceId, &gender));
  model.codeLength = static_cast<std::uint8_t>(length);
  std::memcpy(model.code, normal, length + 1);
  model.raceId = raceId;
  model.gender = gender;
  model.source = source;
  model.slot = source->modelCount;
  source->models[source->modelCount] = &model;
  source->modelCount = static_cast<std::uint8_t>(source->modelCount + 1);
  return &model;
}

bool FindRaceModel(const Inventory& inventory, ModelSource* source, std::uint32_t raceId, std::uint32_t gender,
                   ModelDef** model) {
  if (model) *model = nullptr;
  const ClientImage& client = inventory.client;
  if (source == nullptr || raceId == 0 || raceId > client.maxRaceId || raceId > kMaxRaceId) return false;
  if (gender < 1 || gender > 3) return false;
  const char* raceCode = RaceCode(client, raceId, gender);
  if (raceCode == nullptr || raceCode[0] == '\0') return false;
  const std::size_t length = BoundedLength(raceCode, kMaxModelCode);
  if (length > kMaxModelCode) return false;  // no stored model code is that long

  ModelDef* found = FindInSource(*source, raceCode, length);
  if (found == nullptr) return false;
  if (model) {
    // The caller's race is what the reports show, whatever the code decoded to.
    found->raceId = static_cast<std::uint16_t>(raceId);
    found->gender = static_cast<std::uint8_t>(gender);
    *model = found;
  }
  return true;
}

Result AddVariation(ModelDef* model, std::uint32_t kind, std::uint8_t value) {
  if (value == 0) return S_OK;
  ListView list;
  if (model == nullptr || !ListOfKind(*model, kind, &list)) return E_INVALIDARG;
  return InsertVariation(list, value);
}

Result AddVariationRange(ModelDef* model, std::uint32_t kind, std::uint8_t count) {
  ListView list;
  if (model == nullptr || !ListOfKind(*model, kind, &list)) return S_OK;
  // A wider counter, so that a count of 255 ends instead of wrapping.
  for (unsigned value = 1; value <= count; ++value) static_cast<void>(InsertVariation(list, static_cast<std::uint8_t>(value)));
  return S_OK;
}

Result AddZoneImport(ZoneRecord* zone, ModelDef* model) {
  if (zone == nullptr || model == nullptr) return E_INVALIDARG;
  const std::size_t count = std::min<std::size_t>(zone->importCount, kZoneImportCapacity);
  for (std::size_t i = 0; i < count; ++i) {
    if (zone->imports[i] == model) return S_OK;
  }
  if (count >= kZoneImportCapacity) return E_OUTOFMEMORY;
  zone->imports[count] = model;
  zone->importCount = static_cast<std::uint8_t>(count + 1);
  return S_OK;
}

bool IsPlayableRaceRow(const ClientImage& client, std::uint32_t raceId) {
  if (raceId == 0 || raceId > client.maxRaceId || raceId > kMaxRaceId) return false;
  return IsPlayableRace(client.races[raceId].raceId);
}

}  // namespace zira
