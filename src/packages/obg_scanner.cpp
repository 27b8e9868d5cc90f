#include "packages/obg_scanner.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "client/race_table.h"
#include "common/text.h"
#include "packages/obg_name_rules.h"
#include "packages/package_archive.h"

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

void ScanModelFile(const ClientImage& client, PackageArchive& archive, const char* code, ScannedPackage& found) {
  std::uint16_t raceId = 0;
  Gender gender = Gender::kNone;
  // Only models of races the client knows are registered.
  if (Failed(DecodeModelCode(client, code, &raceId, &gender))) return;
  FoundModel& model = found.models.emplace_back();
  model.codeLength = static_cast<std::uint8_t>(std::strlen(code));
  std::memcpy(model.code, code, model.codeLength + 1u);
  model.raceId = raceId;
  model.gender = gender;
  if (IsPlayableRaceRow(client, raceId)) model.AddRange(VariationKind::kHead, 3);

  const ObgModel examined{code, raceId, gender};
  const std::uint32_t count = archive.EntryCount();
  for (std::uint32_t j = 0; j < count; ++j) {
    const PackageEntry* entry = archive.Entry(j);
    if (entry == nullptr) continue;
    const NameVariations given = ExamineName(entry->name, examined);
    for (std::uint8_t k = 0; k < given.extraCount; ++k) {
      model.Add(given.extra[k].kind, given.extra[k].value);
    }
    if (given.hasFinal && given.final.value != 0) {
      model.AddReported(given.final.kind, given.final.value,
                        static_cast<std::uint16_t>(found.reportNames.size()));
      found.reportNames.emplace_back(entry->name);
    }
  }
}

}  // namespace

Result ScanObgPackage(const PackageInput& input, const ClientImage& client, ScannedPackage* found) {
  if (input.name == nullptr || found == nullptr) return InvalidArgument("no package name or result");
  std::unique_ptr<PackageArchive> archive = PackageArchive::Create(input.pool, input.decompressors, input.buffers);
  if (!archive) return OutOfMemory("package archive");
  if (Failed(archive->OpenResolved(input.realPath, input.name, input.refusals))) {
    return Fail("package cannot be opened");
  }

  found->reportRefusedModels = true;
  const std::uint32_t count = archive->EntryCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    const PackageEntry* entry = archive->Entry(i);
    char code[kModelCodeCapacity] = {};
    if (entry == nullptr || !ModelFileCode(*entry, code)) continue;
    ScanModelFile(client, *archive, code, *found);
  }
  return kSuccess;
}

}  // namespace zira
