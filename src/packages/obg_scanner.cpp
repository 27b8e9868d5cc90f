#include "packages/obg_scanner.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/session_log.h"
#include "common/text.h"
#include "packages/obg_name_rules.h"
#include "packages/package_archive.h"
#include "store/model_registry.h"

namespace zira {

namespace {

constexpr std::size_t kModelFileNameLimit = 17;  // a 13-character code and its ending

std::size_t EntryNameLength(const PackageEntry& entry) {
  const std::size_t stored = std::min<std::size_t>(entry.nameLength, kPackageNameCapacity - 1);
  const void* end = std::memchr(entry.name, '\0', stored);
  return end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - entry.name) : stored;
}

// A model file is named after its code with the ending .mod or .mds.
bool ModelFileCode(const PackageEntry& entry, char (&code)[kModelCodeCapacity]) {
  const std::size_t length = EntryNameLength(entry);
  if (length > kModelFileNameLimit) return false;
  if (!EndsWithNoCase(entry.name, length, ".mod", 4) && !EndsWithNoCase(entry.name, length, ".mds", 4)) return false;
  std::size_t codeLength = length - 4;
  std::memcpy(code, entry.name, codeLength);
  code[codeLength] = '\0';
  TrimCounted(code, &codeLength);
  UpperInPlace(code);
  return true;
}

void ScanModelFile(Inventory& inventory, ModelSource* source, PackageArchive& archive, const char* code) {
  std::uint16_t raceId = 0;
  Gender gender = Gender::kNone;
  // Only models of races the client knows are registered.
  if (Failed(DecodeModelCode(inventory, code, &raceId, &gender))) return;
  ModelDef* model = AddModel(inventory, source, code);
  if (model == nullptr) {
    LogBoth("     FAILURE: Could not add model %s from source %s", code, source->name);
    return;
  }
  LogOnly("     Found model %s in source %s", code, source->name);
  if (IsPlayableRaceRow(inventory.client, model->raceId)) static_cast<void>(AddVariationRange(model, kHead, 3));

  const ObgModel examined{code, raceId, gender};
  const std::uint32_t count = archive.EntryCount();
  for (std::uint32_t j = 0; j < count; ++j) {
    const PackageEntry* entry = archive.Entry(j);
    if (entry == nullptr) continue;
    const NameVariations found = ExamineName(entry->name, examined);
    for (std::uint8_t k = 0; k < found.extraCount; ++k) {
      static_cast<void>(AddVariation(model, found.extra[k].kind, found.extra[k].value));
    }
    if (found.hasFinal && Failed(AddVariation(model, found.final.kind, found.final.value))) {
      LogBoth("    SKIPPED: Problem adding variation from %s", entry->name);
    }
  }
}

}  // namespace

Result ScanObgSource(Inventory& inventory, ModelSource* source) {
  if (source == nullptr) return E_INVALIDARG;
  if (source->scanned) return S_OK;
  std::unique_ptr<PackageArchive> archive = PackageArchive::Create();
  if (!archive) return E_OUTOFMEMORY;
  if (Failed(archive->Open(source->name))) return E_FAIL;

  const std::uint32_t count = archive->EntryCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    const PackageEntry* entry = archive->Entry(i);
    char code[kModelCodeCapacity] = {};
    if (entry == nullptr || !ModelFileCode(*entry, code)) continue;
    ScanModelFile(inventory, source, *archive, code);
  }
  source->scanned = 1;
  return S_OK;
}

}  // namespace zira
