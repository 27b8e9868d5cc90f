// Writes seed inputs for the fuzz targets, one folder per target, made by the
// same writers the tests use.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "client/client_image.h"
#include "support/client_image_writer.h"
#include "support/package_writer.h"
#include "support/registration_writer.h"
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

// Registration code of one edition laid out as the client image target reads
// its input: edition, mode, then equal thirds for the race window, the zone
// window and the start of .rdata.
std::vector<std::uint8_t> ClientSeed(std::uint32_t edition) {
  using zira::testing::ClientImageWriter;
  ClientImageWriter image(edition);
  zira::testing::RegistrationWriter reg(image);
  reg.AddRaces({{"HUM", 1, 0}, {"HUF", 1, 1}, {"ELM", 70, 2}, {"", 80, 2}, {"2GB", 300, 0}});
  zira::testing::ZoneRegistration zone;
  zone.zoneId = 12;
  zone.nick = "QEYNOS";
  zone.name = "Qeynos";
  zone.expansion = 300;
  reg.AddZone(zone);
  const zira::ClientEdition* row = zira::FindEdition(edition);
  const std::uint32_t used = std::max({reg.Position(zira::testing::ScanWindow::kRace) - row->raceScanStart,
                                       reg.Position(zira::testing::ScanWindow::kZone) - row->zoneScanStart,
                                       std::uint32_t{64}});
  std::vector<std::uint8_t> seed = {static_cast<std::uint8_t>(edition - 1), 0};
  const std::vector<std::uint8_t>& bytes = image.Bytes();
  for (const std::uint32_t start : {row->raceScanStart, row->zoneScanStart, image.RdataOffset()}) {
    seed.insert(seed.end(), bytes.begin() + start, bytes.begin() + start + used);
  }
  return seed;
}

// The scanners target reads a 16-bit world file length, the world file, then
// entry names one per line.
std::vector<std::uint8_t> ScannerSeed(const std::vector<std::uint8_t>& world) {
  std::vector<std::uint8_t> seed = {static_cast<std::uint8_t>(world.size() & 0xFF),
                                    static_cast<std::uint8_t>(world.size() >> 8)};
  seed.insert(seed.end(), world.begin(), world.end());
  const std::string names = "abc.mod\nc_abc_05_c.dds\na_abc_10_x_s2_c.dds\nc_abc_bd_s4_c.dds\nabc_hair_2.mod\n"
                            "c_vam_ab_s3_c.dds\nvaf.mds\nc_ken_bd_s1_c.dds\nken.mod";
  seed.insert(seed.end(), names.begin(), names.end());
  return seed;
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

  for (std::uint32_t edition = 1; edition <= 3; ++edition) {
    ok &= Write(root + "/fuzz_client_image", "edition" + std::to_string(edition) + ".bin", ClientSeed(edition));
  }
  std::vector<std::uint8_t> headers = {0, 1};
  const zira::testing::ClientImageWriter sound(1);
  headers.insert(headers.end(), sound.Bytes().begin(), sound.Bytes().begin() + 0x200);
  ok &= Write(root + "/fuzz_client_image", "headers.bin", headers);
  ok &= Write(root + "/fuzz_scanners", "small.bin", ScannerSeed(world));

  if (!ok) {
    std::fprintf(stderr, "make_fuzz_seeds: could not write the seeds into %s\n", root.c_str());
    return 1;
  }
  return 0;
}
