#pragma once
#include <cstddef>
#include <cstdint>

#include "packages/found_models.h"
#include "packages/world_file.h"

namespace zira {

inline constexpr std::uint8_t kMaxModelMeshes = 10;

// The model being scanned, as the variation rules see it.
struct S3dModel {
  WldFile* wld;
  FoundModel* model;
  bool playable;
  // A package the client loads with its per-race models: the base hair,
  // beard and head rules apply.
  bool perRaceRules;
  char headPrefix[20];  // the code followed by HE
  std::size_t headPrefixLength;
};

// Calls visit for every recorded fragment of type, in file order. The walk is
// bounded by the fragment count, so a damaged chain cannot make it endless.
template <typename Visit>
void ForEachOfType(WldFile& wld, std::uint32_t type, Visit&& visit) {
  std::uint64_t steps = 0;
  for (WldFragment* f = wld.NextOfType(type, nullptr); f != nullptr && steps <= wld.FragmentCount();
       f = wld.NextOfType(type, f), ++steps) {
    visit(*f);
  }
}

// A fragment named with the head prefix and ending with _DMSPRITEDEF.
bool IsHeadMesh(const S3dModel& model, const WldFragment& mesh);

// The mesh that carries the model's body: the only one, or the largest that
// is not a head mesh (the earlier one on a tie); nullptr when there is none.
WldFragment* PickPrimaryMesh(const S3dModel& model, WldFragment* const* meshes, std::uint8_t count);

// Heads from the unlisted head meshes, started by a listed head mesh numbered 00.
void ScanHeadMeshes(const S3dModel& model, const WldFragment& mesh, WldFragment* const* meshes, std::uint8_t count);

// Heads 1 to 3 for a playable race, and the hair, beards and heads that the
// client gives each playable race when it loads its per-race models.
void AddBaseVariations(const S3dModel& model);

// Textures, faces and head-material variations from the primary mesh's materials.
void ScanMeshMaterials(const S3dModel& model, const WldFragment& mesh);
void ApplyMaterial(const S3dModel& model, const WldFragment& material);

}  // namespace zira
