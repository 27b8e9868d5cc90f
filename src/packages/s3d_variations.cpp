#include "packages/s3d_variations.h"

#include <cstring>

#include "common/text.h"

namespace zira {

namespace {

constexpr char kMeshSuffix[] = "_DMSPRITEDEF";
constexpr char kMaterialEnd[] = "_MDF";
constexpr char kCloakMaterial[] = "CLK0401_MDF";
constexpr std::size_t kMaterialPrefixCapacity = 32;  // 31 characters and the terminator
constexpr std::size_t kMaterialSuffixLength = 6;
constexpr std::uint32_t kMaterialType = world_format::kMaterial;
constexpr std::uint32_t kHeadMeshType = world_format::kAlternateMesh;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The character at position in a fragment's name; 0 beyond its end.
char NameAt(const WldFragment& fragment, std::size_t position) {
  if (fragment.name == nullptr || position >= fragment.nameLength) return '\0';
  return fragment.name[position];
}

bool HasName(const WldFragment& fragment) { return fragment.name != nullptr && fragment.nameLength > 0; }

}  // namespace

bool IsHeadMesh(const S3dModel& model, const WldFragment& mesh) {
  if (!HasName(mesh)) return false;
  return StartsWithNoCase(mesh.name, mesh.nameLength, model.headPrefix, model.headPrefixLength) &&
         EndsWithNoCase(mesh.name, mesh.nameLength, kMeshSuffix, sizeof(kMeshSuffix) - 1);
}

WldFragment* PickPrimaryMesh(const S3dModel& model, WldFragment* const* meshes, std::uint8_t count) {
  if (count == 1) return meshes[0];
  WldFragment* primary = nullptr;
  for (std::uint8_t i = 0; i < count; ++i) {
    WldFragment* mesh = meshes[i];
    if (mesh == nullptr || IsHeadMesh(model, *mesh)) continue;
    if (primary == nullptr || mesh->bodySize > primary->bodySize) primary = mesh;
  }
  return primary;
}

void ScanHeadMeshes(const S3dModel& model, const WldFragment& mesh, WldFragment* const* meshes, std::uint8_t count) {
  const std::size_t at = model.model->codeLength + 2u;
  if (!IsHeadMesh(model, mesh) || NameAt(mesh, at) != '0' || NameAt(mesh, at + 1) != '0') return;
  ForEachOfType(*model.wld, kHeadMeshType, [&](WldFragment& head) {
    if (!IsHeadMesh(model, head)) return;
    for (std::uint8_t i = 0; i < count; ++i) {
      if (meshes[i] == &head) return;
    }
    const char tens = NameAt(head, at);
    const char ones = NameAt(head, at + 1);
    if (!IsDigit(tens) || !IsDigit(ones)) return;
    const int value = 10 * (tens - '0') + (ones - '0');
    if (value != 0) model.model->Add(VariationKind::kHead, static_cast<std::uint8_t>(value));
  });
}

void AddBaseVariations(const S3dModel& model) {
  if (!model.playable) return;
  FoundModel* m = model.model;
  m->AddRange(VariationKind::kHead, 3);
  if (!model.perRaceRules) return;
  const std::uint16_t race = m->raceId;
  const bool male = m->gender == Gender::kMale;
  const bool female = m->gender == Gender::kFemale;
  if (male && (race == 1 || race == 2 || race == 8 || race == 11 || race == 12)) {
    m->AddRange(VariationKind::kHair, 3);
    m->AddRange(VariationKind::kBeard, 5);
  } else if (female && ((race >= 1 && race <= 2) || (race >= 8 && race <= 12))) {
    m->AddRange(VariationKind::kHair, 3);
  } else if ((male || female) && race >= 4 && race <= 7) {
    m->AddRange(VariationKind::kHair, 3);
  } else if (male && race == 3) {
    m->AddRange(VariationKind::kBeard, 5);
    m->Add(VariationKind::kHead, 4);
  } else if (female && race == 3) {
    m->Add(VariationKind::kHead, 4);
  }
}

void ScanMeshMaterials(const S3dModel& model, const WldFragment& mesh) {
  WldFile& wld = *model.wld;
  const std::uint32_t listReference = wld.BodyU32At(mesh, world_format::kMeshMaterialListField);
  WldFragment* list = wld.FragmentByNumber(static_cast<std::int32_t>(listReference));
  if (list == nullptr) return;
  ByteCursor references = wld.Body(*list);
  references.SkipTo(world_format::kMaterialListCountField);
  const std::uint32_t count = references.ReadU32();
  // References past the end of the list's body would all read as none, so the
  // walk stops there instead of trusting a count of up to four billion.
  for (std::uint32_t k = 0; k < count; ++k) {
    WldFragment* material = wld.FragmentByNumber(references.ReadI32());
    if (!references.Ok()) break;
    if (material == nullptr || !HasName(*material)) continue;
    ApplyMaterial(model, *material);
  }
}

void ApplyMaterial(const S3dModel& model, const WldFragment& material) {
  const char* name = material.name;
  const std::size_t n = material.nameLength;
  if (!EndsWithNoCase(name, n, kMaterialEnd, sizeof(kMaterialEnd) - 1)) return;
  const bool numbered = n >= 8 && name[n - 8] == '0' && name[n - 7] == '0' && IsDigit(name[n - 6]) &&
                        IsDigit(name[n - 5]);
  const bool cloak = SameText(name, n, kCloakMaterial, sizeof(kCloakMaterial) - 1, false);
  if (!numbered && !cloak) return;

  const std::size_t prefixLength = n - 8;
  // The prefix buffer holds 31 characters; a longer prefix cannot be kept, so
  // the material is passed over.
  if (prefixLength >= kMaterialPrefixCapacity) return;
  char prefix[kMaterialPrefixCapacity] = {};
  std::memcpy(prefix, name, prefixLength);
  char suffix[kMaterialSuffixLength + 1] = {};
  std::memcpy(suffix, name + (n - kMaterialSuffixLength), kMaterialSuffixLength);

  FoundModel* m = model.model;
  WldFile& wld = *model.wld;
  ForEachOfType(wld, kMaterialType, [&](WldFragment& x) {
    if (!HasName(x) || !StartsWithNoCase(x.name, x.nameLength, prefix, prefixLength)) return;
    const std::size_t nx = x.nameLength;
    if (nx == 13 && FoldedEqual(x.name[3], 'H') && FoldedEqual(x.name[4], 'E') && model.playable) {
      if (!IsDigit(x.name[5]) || !IsDigit(x.name[6])) return;
      if (wld.MaterialBitmapCount(&x) >= 2) {
        const VariationKind kind = m->raceId == 2 ? VariationKind::kTattoo : (m->raceId == 3 ? VariationKind::kHair : VariationKind::kBeard);
        m->Add(kind, static_cast<std::uint8_t>(x.name[6] - '0'));
      }
      if (IsDigit(x.name[7])) m->Add(VariationKind::kFace, static_cast<std::uint8_t>(x.name[7] - '0'));
      return;
    }
    if (!EndsWithNoCase(x.name, nx, suffix, kMaterialSuffixLength)) return;
    const char tens = NameAt(x, prefixLength);
    const char ones = NameAt(x, prefixLength + 1);
    if (!IsDigit(tens) || !IsDigit(ones)) return;
    int value = 10 * (tens - '0') + (ones - '0');
    if (value == 0) return;
    if (StartsWithNoCase(x.name, nx, "CLK", 3) && EndsWithNoCase(x.name, nx, "01_MDF", 6)) value += 6;
    m->Add(VariationKind::kTexture, static_cast<std::uint8_t>(value));
  });
}

}  // namespace zira
