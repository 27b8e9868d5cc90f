#include "packages/s3d_scanner.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "common/machine_refusal.h"
#include "common/session_log.h"
#include "common/text.h"
#include "packages/package_archive.h"
#include "packages/s3d_variations.h"
#include "client/race_table.h"
#include "packages/world_file.h"

namespace zira {

namespace {

constexpr std::uint32_t kModelType = 0x14;
constexpr std::uint32_t kSkeletonLinkType = 0x11;
constexpr std::uint32_t kSkeletonType = 0x10;
constexpr std::uint32_t kMeshLinkType = 0x2D;
constexpr std::size_t kModelNameLimit = 63;
constexpr std::size_t kModelCodeLimit = 13;

// A world file is reset before it goes, so nothing it holds outlives the scan.
struct WldFileDeleter {
  void operator()(WldFile* wld) const {
    wld->Reset();
    delete wld;
  }
};
using WldFilePtr = std::unique_ptr<WldFile, WldFileDeleter>;

// The code of a model fragment: the text before its first underscore,
// trimmed and upper case. False when the name gives no usable code.
bool ModelCode(const WldFragment& fragment, char (&code)[kModelNameLimit + 1]) {
  if (fragment.name == nullptr || fragment.nameLength == 0 || fragment.nameLength > kModelNameLimit) return false;
  const void* underscore = std::memchr(fragment.name, '_', fragment.nameLength);
  if (underscore == nullptr) return false;
  std::size_t length = static_cast<std::size_t>(static_cast<const char*>(underscore) - fragment.name);
  std::memcpy(code, fragment.name, length);
  code[length] = '\0';
  TrimCounted(code, &length);
  if (length > kModelCodeLimit) return false;
  UpperInPlace(code);
  return true;
}

// The meshes a model's target stands for: a skeleton's meshes through its
// link, or the one mesh of a mesh link.
std::uint8_t TargetMeshes(WldFile& wld, const WldFragment& target, WldFragment** meshes) {
  const auto first = static_cast<std::int32_t>(wld.BodyU32At(target, 0));
  if (target.type == kSkeletonLinkType) {
    WldFragment* skeleton = wld.FragmentByNumber(first);
    if (skeleton == nullptr || skeleton->type != kSkeletonType) return 0;
    std::uint8_t count = 0;
    wld.SkeletonMeshes(skeleton, meshes, &count);
    return count <= kMaxModelMeshes ? count : kMaxModelMeshes;
  }
  if (target.type == kMeshLinkType) {
    meshes[0] = wld.FragmentByNumber(first);
    return meshes[0] != nullptr ? 1 : 0;
  }
  return 0;
}

void ScanModel(const ClientImage& client, bool perRaceRules, WldFile& wld, WldFragment& fragment,
               ScannedPackage& found) {
  char code[kModelNameLimit + 1] = {};
  if (!ModelCode(fragment, code)) return;
  FoundModel& model = found.models.emplace_back();
  model.codeLength = static_cast<std::uint8_t>(std::strlen(code));
  std::memcpy(model.code, code, model.codeLength + 1u);
  // An unknown code is still a model; it simply has no race.
  static_cast<void>(DecodeModelCode(client, model.Code(), &model.raceId, &model.gender));

  S3dModel scan{};
  scan.wld = &wld;
  scan.model = &model;
  scan.playable = IsPlayableRaceRow(client, model.raceId);
  scan.perRaceRules = perRaceRules;
  std::snprintf(scan.headPrefix, sizeof(scan.headPrefix), "%sHE", code);
  scan.headPrefixLength = std::strlen(scan.headPrefix);

  WldFragment* target = wld.ModelTarget(&fragment);
  if (target == nullptr) return;
  WldFragment* meshes[kMaxModelMeshes] = {};
  const std::uint8_t count = TargetMeshes(wld, *target, meshes);
  WldFragment* primary = PickPrimaryMesh(scan, meshes, count);
  for (std::uint8_t i = 0; i < count; ++i) {
    WldFragment* mesh = meshes[i];
    if (mesh == nullptr) continue;
    ScanHeadMeshes(scan, *mesh, meshes, count);
    if (mesh != primary) continue;
    AddBaseVariations(scan);
    ScanMeshMaterials(scan, *mesh);
  }
}

}  // namespace

Result ScanS3dPackage(const PackageInput& input, const ClientImage& client, bool perRaceRules,
                      ScannedPackage* found) {
  const char* name = input.name;
  if (name == nullptr || found == nullptr) return InvalidArgument("no package name or result");

  std::unique_ptr<PackageArchive> archive = PackageArchive::Create(input.pool, input.decompressors, input.buffers);
  if (!archive) return OutOfMemory("package archive");
  if (Failed(archive->OpenResolved(input.realPath, name, input.refusals))) return Fail("package cannot be opened");

  // The world file shares the package's base name: abc_chr.s3d holds abc_chr.wld.
  char wldName[kSourceNameCapacity] = {};
  const std::size_t nameLength = CopyText(wldName, sizeof(wldName), name);
  if (nameLength < 3) return Fail("package name too short");
  std::memcpy(wldName + nameLength - 3, "wld", 3);
  const std::uint16_t index = archive->FindEntry(wldName);
  if (index == kNoEntry) return Fail("no world file in the package");
  const PackageEntry* entry = archive->Entry(index);
  if (entry == nullptr) return Fail("world file entry missing");

  if (input.reserve) input.reserve(entry->inflatedSize);
  WldFilePtr wld(new (std::nothrow) WldFile(input.buffers));
  if (!wld) {
    input.refusals.Note(ENOMEM, name);
    return OutOfMemory("world file");
  }
  EntryBuffer contents = archive->ReadEntry(index);
  if (!contents) return OutOfMemory("world file contents");
  // Only the world file is scanned: the package's own bytes go back before
  // its parse, so the scans beside this one may use them.
  const std::uint32_t worldBytes = entry->inflatedSize;
  char worldName[kPackageNameCapacity];
  std::memcpy(worldName, entry->name, sizeof(worldName));
  archive.reset();
  if (input.release) input.release();
  const Result loaded = wld->Load({contents.get(), worldBytes}, worldName);
  if (Failed(loaded)) return loaded;

  ForEachOfType(*wld, kModelType, [&](WldFragment& model) { ScanModel(client, perRaceRules, *wld, model, *found); });
  found->worldBytes = worldBytes;
  return kSuccess;
}

}  // namespace zira
