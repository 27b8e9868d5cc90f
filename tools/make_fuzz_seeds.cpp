// Writes seed inputs for the fuzz targets, one folder per target, made by the
// same writers the tests use.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "support/package_writer.h"
#include "support/world_builder.h"

namespace {

using zira::testing::PackageWriter;
using zira::testing::WorldBuilder;

WorldBuilder SmallWorld() {
  WorldBuilder world;
  const std::int32_t names = world.AddBitmapNames({"abcxy0001.bmp", "abcxy0002.bmp"});
  const std::int32_t texture = world.AddTexture({names, names}, 0x8);
  const std::int32_t link = world.AddTextureLink(texture);
  const std::int32_t material = world.AddMaterial("ABCXY0001_MDF", link);
  world.AddMaterial("ABCHE0011_MDF", link);
  const std::int32_t list = world.AddMaterialList({material, material});
  const std::int32_t mesh = world.AddMesh(0x36, "ABC_DMSPRITEDEF", 32, list);
  const std::int32_t head = world.AddMesh(0x2C, "ABCHE00_DMSPRITEDEF", 16, list);
  const std::int32_t reference = world.AddMeshReference(mesh);
  const std::int32_t skeleton = world.AddSkeleton({reference, head, mesh}, "ABC_HS_DEF", 0x203, {1, 0});
  const std::int32_t skeletonLink = world.AddSkeletonLink(skeleton);
  world.AddModel("ABC_ACTORDEF", skeletonLink, 0x3, {1, 2});
  world.AddModel("DEF_ACTORDEF", world.RefByName("ABC_DMSPRITEDEF"));
  world.AddRawWord(0xFFFFFFFF);
  world.AddFragment(0x40, "HIGH", {1, 2, 3, 4});
  world.AddFragment(0x16, "", {});
  return world;
}

bool Write(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(folder);
  return zira::WriteWholeFile((folder + "/" + name).c_str(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : "fuzz-seeds";
  bool ok = true;

  const std::string worlds = root + "/fuzz_world_file";
  const std::vector<std::uint8_t> world = SmallWorld().Bytes();
  ok &= Write(worlds, "small.wld", world);
  WorldBuilder empty;
  ok &= Write(worlds, "empty.wld", empty.Bytes());
  WorldBuilder overcounted = SmallWorld();
  overcounted.fragmentCount = 0x7FFFFFFF;
  ok &= Write(worlds, "overcounted.wld", overcounted.Bytes());

  const std::string packages = root + "/fuzz_package_archive";
  PackageWriter plain;
  plain.AddEntry("abc_chr.wld", world, 256);
  plain.AddTextEntry("readme.txt", "a package seed\r\n");
  plain.AddTextEntry("hum.mod", std::string(600, 'x'));
  plain.footer = true;
  plain.dateStamp = 0x5F3759DF;
  ok &= Write(packages, "plain.s3d", plain.Bytes());
  PackageWriter odd;
  odd.AddTextEntry("c_elm_05_c.dds", "texture");
  odd.AddTextEntry("elm.mds", "model");
  odd.AddTextEntry("empty.txt", "");
  odd.EntrySpec(0).wrongChecksum = true;
  odd.EntrySpec(1).firstBlockClaimExtra = 3;
  odd.reverseRows = true;
  odd.nameCountDelta = 1;
  ok &= Write(packages, "odd.obg", odd.Bytes());
  PackageWriter first;
  first.AddEntry("blocks.bin", std::vector<std::uint8_t>(300, 7), 64);
  first.directoryFirst = true;
  first.nameCountDelta = -1;
  ok &= Write(packages, "directory_first.obg", first.Bytes());

  if (!ok) {
    std::fprintf(stderr, "make_fuzz_seeds: could not write the seeds into %s\n", root.c_str());
    return 1;
  }
  return 0;
}
