// Writes seed inputs for the fuzz targets, one folder per target, made by the
// same writers the tests use.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/file_system.h"
#include "client/client_image.h"
#include "support/client_image_writer.h"
#include "support/deflate_writer.h"
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
  zone.nick = "QUARRY";
  zone.name = "Quarry";
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

// A seed of the inflate target: the room offered (u16), then the stream.
std::vector<std::uint8_t> InflateSeed(std::size_t room, const std::vector<std::uint8_t>& stream) {
  std::vector<std::uint8_t> seed = {static_cast<std::uint8_t>(room & 0xFF), static_cast<std::uint8_t>(room >> 8)};
  seed.insert(seed.end(), stream.begin(), stream.end());
  return seed;
}

// One zlib stream of input; empty when zlib refuses the settings.
std::vector<std::uint8_t> ZlibStream(const std::vector<std::uint8_t>& input, int level, int strategy, int windowBits = 15,
                                     const std::string& dictionary = "") {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, strategy) != Z_OK) return {};
  if (!dictionary.empty()) {
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()), static_cast<uInt>(dictionary.size()));
  }
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(input.size())) + 16);
  z.next_in = const_cast<Bytef*>(input.data());
  z.avail_in = static_cast<uInt>(input.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return status == Z_STREAM_END ? out : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> LibdeflateStream(const std::vector<std::uint8_t>& input, int level) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
  if (compressor == nullptr) return {};
  std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(compressor, input.size()));
  out.resize(libdeflate_zlib_compress(compressor, input.data(), input.size(), out.data(), out.size()));
  libdeflate_free_compressor(compressor);
  return out;
}

// Blocks as packages hold them and as they go wrong: every zlib level and
// strategy, every libdeflate level, small windows, a preset dictionary, a bad
// checksum, trailing bytes, too little and more room, every cut of a small
// stream, and the crafted streams where libdeflate is laxer than zlib.
bool WriteInflateSeeds(const std::string& folder, const std::vector<std::uint8_t>& world) {
  std::vector<std::uint8_t> input(world);
  while (input.size() < 6000) input.insert(input.end(), world.begin(), world.end());
  for (std::size_t i = 0; i < 1500; ++i) input.push_back(static_cast<std::uint8_t>((i * 2654435761u) >> 13));
  bool ok = true;
  const std::pair<int, const char*> strategies[] = {
      {Z_DEFAULT_STRATEGY, "default"}, {Z_FILTERED, "filtered"}, {Z_HUFFMAN_ONLY, "huffman"}, {Z_RLE, "rle"},
      {Z_FIXED, "fixed"}};
  for (int level = 0; level <= 9; ++level) {
    for (const auto& [strategy, name] : strategies) {
      ok &= Write(folder, "zlib" + std::to_string(level) + "_" + name, InflateSeed(input.size(), ZlibStream(input, level, strategy)));
    }
  }
  for (int level = 1; level <= 12; ++level) {
    ok &= Write(folder, "libdeflate" + std::to_string(level), InflateSeed(input.size(), LibdeflateStream(input, level)));
  }
  for (const int windowBits : {9, 12}) {
    ok &= Write(folder, "window" + std::to_string(windowBits),
                InflateSeed(input.size(), ZlibStream(input, 6, Z_DEFAULT_STRATEGY, windowBits)));
  }
  const std::vector<std::uint8_t> stored = ZlibStream(input, 0, Z_DEFAULT_STRATEGY);
  ok &= Write(folder, "stored_short_room", InflateSeed(input.size() - 1, stored));
  ok &= Write(folder, "stored_more_room", InflateSeed(input.size() + 100, stored));
  ok &= Write(folder, "empty", InflateSeed(0, ZlibStream({}, 6, Z_DEFAULT_STRATEGY)));
  ok &= Write(folder, "dictionary",
              InflateSeed(input.size(), ZlibStream(input, 6, Z_DEFAULT_STRATEGY, 15, "ABC_DMSPRITEDEF ABC_ACTORDEF")));
  std::vector<std::uint8_t> badChecksum = ZlibStream(input, 6, Z_DEFAULT_STRATEGY);
  badChecksum.back() ^= 0x01;
  ok &= Write(folder, "bad_checksum", InflateSeed(input.size(), badChecksum));
  std::vector<std::uint8_t> trailing = ZlibStream(input, 6, Z_DEFAULT_STRATEGY);
  trailing.insert(trailing.end(), {0x78, 0x9C, 0xFF, 0x00, 0x13});
  ok &= Write(folder, "trailing_bytes", InflateSeed(input.size(), trailing));

  for (const zira::testing::CraftedStream& crafted : zira::testing::CraftedDeflateStreams()) {
    ok &= Write(folder, "crafted_" + crafted.name, InflateSeed(crafted.room, crafted.stream));
  }

  const std::string text = "abc_chr.wld ABC_ACTORDEF ABC_ACTORDEF ABC_DMSPRITEDEF";
  const std::vector<std::uint8_t> small = ZlibStream(std::vector<std::uint8_t>(text.begin(), text.end()), 9, Z_DEFAULT_STRATEGY);
  for (std::size_t cut = 0; cut <= small.size(); ++cut) {
    ok &= Write(folder, "cut" + std::to_string(cut),
                InflateSeed(text.size(), std::vector<std::uint8_t>(small.begin(), small.begin() + static_cast<std::ptrdiff_t>(cut))));
  }
  return ok;
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
  odd.EntryPlan(0).wrongChecksum = true;
  odd.EntryPlan(1).firstBlockClaimExtra = 3;
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

  ok &= WriteInflateSeeds(root + "/fuzz_inflate_differential", world);

  if (!ok) {
    std::fprintf(stderr, "make_fuzz_seeds: could not write the seeds into %s\n", root.c_str());
    return 1;
  }
  return 0;
}
