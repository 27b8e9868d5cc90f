#include "store/model_registry.h"

#include <cstring>

#include "client/race_table.h"
#include "client/table_views.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr std::size_t kMaxSourceName = kSourceNameCapacity - 1;
constexpr std::size_t kMinSourceName = 5;
constexpr std::size_t kMaxModelCode = kModelCodeCapacity - 1;

// Copies a text already known to fit, trims it and returns the new length.
std::size_t CopyTrimmed(char* buffer, std::string_view text) {
  std::memcpy(buffer, text.data(), text.size());
  std::size_t length = text.size();
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

bool ListOfKind(ModelDef& model, VariationKind kind, ListView* view) {
  switch (kind) {
    case VariationKind::kTexture: *view = ViewOf(model.textures); return true;
    case VariationKind::kHead: *view = ViewOf(model.heads); return true;
    case VariationKind::kFace: *view = ViewOf(model.faces); return true;
    case VariationKind::kHair: *view = ViewOf(model.hair); return true;
    case VariationKind::kBeard: *view = ViewOf(model.beards); return true;
    case VariationKind::kTattoo: *view = ViewOf(model.tattoos); return true;
    case VariationKind::kDetail: *view = ViewOf(model.details); return true;
    default: return false;
  }
}

// Keeps the list ascending and free of repeats; a value already present is
// accepted even by a full list.
Result InsertVariation(const ListView& list, std::uint8_t value) {
  const std::size_t count = *list.count < list.capacity ? *list.count : list.capacity;
  std::size_t at = 0;
  while (at < count && list.values[at] < value) ++at;
  if (at < count && list.values[at] == value) return kSuccess;
  if (count >= list.capacity) return OutOfMemory("variation list full");
  std::memmove(list.values + at + 1, list.values + at, count - at);
  list.values[at] = value;
  *list.count = static_cast<std::uint8_t>(count + 1);
  return kSuccess;
}

ModelSource* FindInBucket(Inventory& inventory, int bucket, std::string_view name) {
  for (const std::uint16_t row : inventory.SourceBucket(bucket)) {
    if (row >= kSourceCapacity) continue;
    ModelSource& source = inventory.sources[row];
    if (SameText(std::string_view(source.name, source.nameLength), name, false)) return &source;
  }
  return nullptr;
}

// The reports ask this for every race of every source: the length and the
// first letter settle most models before their codes are compared.
ModelDef* FindInSource(const ModelSource& source, std::string_view code) {
  if (code.empty()) return nullptr;
  for (ModelDef* model : source.Models()) {
    if (model != nullptr && model->codeLength == code.size() && model->code[0] == code[0] &&
        std::memcmp(model->code, code.data(), code.size()) == 0) {
      return model;
    }
  }
  return nullptr;
}

}  // namespace

ModelSource* FindOrAddSource(Inventory& inventory, std::string_view name, SourceKind kind, bool orphan) {
  if (name.empty()) return nullptr;
  // The reports print the kind's label, so a kind without one is refused.
  const bool local = kind == SourceKind::kLocalToZone;
  if (static_cast<std::size_t>(kind) >= kSourceKindCount || (!local && orphan)) return nullptr;
  // The length is tested before trimming: padding can carry a short name past it.
  if (name.size() < kMinSourceName || name.size() > kMaxSourceName) return nullptr;
  char normal[kSourceNameCapacity];
  const std::size_t length = CopyTrimmed(normal, name);
  if (length == 0) return nullptr;
  LowerInPlace(normal);

  const int bucket = !local ? kGlobalBucket : orphan ? kOrphanBucket : LetterBucket(normal) + 1;
  if (ModelSource* found = FindInBucket(inventory, bucket, {normal, length})) return found;

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

ModelSource* FindSource(Inventory& inventory, std::string_view name) {
  if (name.empty() || name.size() > kMaxSourceName) return nullptr;
  char normal[kSourceNameCapacity];
  const std::size_t length = CopyTrimmed(normal, name);
  if (length == 0) return nullptr;
  LowerInPlace(normal);
  // Orphans stay out of sight: only discovery's own last step knows them.
  if (ModelSource* found = FindInBucket(inventory, LetterBucket(normal) + 1, {normal, length})) return found;
  return FindInBucket(inventory, kGlobalBucket, {normal, length});
}

ModelDef* AddModel(Inventory& inventory, ModelSource* source, std::string_view code) {
  if (source == nullptr || code.empty() || code.size() > kMaxModelCode) return nullptr;
  char normal[kModelCodeCapacity];
  const std::size_t length = CopyTrimmed(normal, code);
  if (length == 0) return nullptr;
  UpperInPlace(normal);

  if (ModelDef* found = FindInSource(*source, {normal, length})) return found;
  // Both limits are settled before a row is taken, so a refusal changes nothing.
  if (source->modelCount >= kModelsPerSource || inventory.modelDefCount >= kModelCapacity) return nullptr;

  ModelDef& model = inventory.models[inventory.modelDefCount];
  inventory.modelDefCount = static_cast<std::uint16_t>(inventory.modelDefCount + 1);
  std::uint16_t raceId = 0;
  Gender gender = Gender::kNone;
  // An unknown code is still a model; it simply has no race.
  static_cast<void>(DecodeModelCode(inventory, {normal, length}, &raceId, &gender));
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

ModelDef* LookUpRaceModel(const Inventory& inventory, const ModelSource* source, std::uint32_t raceId, Gender gender) {
  if (source == nullptr) return nullptr;
  const char* raceCode = RaceCodeOf(inventory.client, raceId, gender);
  if (raceCode == nullptr) return nullptr;
  const std::string_view code(raceCode);
  if (code.size() > kMaxModelCode) return nullptr;  // no stored model code is that long
  return FindInSource(*source, code);
}

bool FindRaceModel(const Inventory& inventory, ModelSource* source, std::uint32_t raceId, Gender gender,
                   ModelDef** model) {
  if (model) *model = nullptr;
  ModelDef* found = LookUpRaceModel(inventory, source, raceId, gender);
  if (found == nullptr) return false;
  if (model) {
    // The caller's race is what the reports show, whatever the code decoded to.
    found->raceId = static_cast<std::uint16_t>(raceId);
    found->gender = gender;
    *model = found;
  }
  return true;
}

Result AddVariation(ModelDef* model, VariationKind kind, std::uint8_t value) {
  if (value == 0) return kSuccess;
  ListView list;
  if (model == nullptr || !ListOfKind(*model, kind, &list)) return InvalidArgument("no model, or not a variation kind");
  return InsertVariation(list, value);
}

Result AddVariationRange(ModelDef* model, VariationKind kind, std::uint8_t count) {
  ListView list;
  if (model == nullptr || !ListOfKind(*model, kind, &list)) return kSuccess;
  // A wider counter, so that a count of 255 ends instead of wrapping.
  for (unsigned value = 1; value <= count; ++value) static_cast<void>(InsertVariation(list, static_cast<std::uint8_t>(value)));
  return kSuccess;
}

Result AddZoneImport(ZoneLinks& zone, ModelDef* model) {
  if (model == nullptr) return InvalidArgument("no model");
  const std::span<ModelDef* const> imports = zone.Imports();
  for (const ModelDef* present : imports) {
    if (present == model) return kSuccess;
  }
  if (imports.size() >= kZoneImportCapacity) return OutOfMemory("zone import list full");
  zone.imports[imports.size()] = model;
  zone.importCount = static_cast<std::uint8_t>(imports.size() + 1);
  return kSuccess;
}

}  // namespace zira
