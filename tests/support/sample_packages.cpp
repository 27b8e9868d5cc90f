#include "support/sample_packages.h"

#include <cstdint>
#include <string>
#include <vector>

#include "support/package_writer.h"
#include "support/world_builder.h"

namespace zira::testing {

namespace {

// A mesh of a character: its materials are listed in a material list.
struct Mesh {
  std::string name;
  std::uint32_t bodySize = 64;
  std::vector<std::string> materials;
  std::uint32_t type = 0x36;
  bool throughReference = false;  // listed through a 0x2D mesh reference
};

// How a model reaches its meshes.
enum class Target { kSkeleton, kMeshReference, kOther };

class World {
 public:
  // A material whose texture lists bitmapNames names in one frame.
  std::int32_t Material(const std::string& name, int bitmapNames = 1) {
    std::vector<std::string> names;
    for (int i = 0; i < bitmapNames; ++i) names.push_back(name.substr(0, name.size() - 4) + std::to_string(i) + ".DDS");
    const std::int32_t bitmaps = builder_.AddBitmapNames(names);
    const std::int32_t texture = builder_.AddTexture({bitmaps});
    return builder_.AddMaterial(name, builder_.AddTextureLink(texture));
  }

  std::int32_t AddMesh(const Mesh& mesh) {
    std::vector<std::int32_t> materials;
    for (const std::string& name : mesh.materials) materials.push_back(Material(name));
    const std::int32_t list = materials.empty() ? 0 : builder_.AddMaterialList(materials);
    const std::int32_t number = builder_.AddMesh(mesh.type, mesh.name, mesh.bodySize, list);
    return mesh.throughReference ? builder_.AddMeshReference(number) : number;
  }

  // A model named code + "_ACTORDEF" (or the name as given) with its meshes.
  void Model(const std::string& name, const std::vector<Mesh>& meshes, Target target = Target::kSkeleton) {
    std::vector<std::int32_t> numbers;
    for (const Mesh& mesh : meshes) numbers.push_back(AddMesh(mesh));
    std::int32_t reference = 0;
    if (target == Target::kSkeleton) {
      reference = builder_.AddSkeletonLink(builder_.AddSkeleton(numbers, name + "_HS_DEF"));
    } else if (target == Target::kMeshReference) {
      reference = builder_.AddMeshReference(numbers.empty() ? 0 : numbers.front());
    } else {
      reference = builder_.AddTextureLink(0, name + "_LINK");
    }
    builder_.AddModel(name.find('_') == std::string::npos && target != Target::kOther ? name + "_ACTORDEF" : name,
                      reference);
  }

  // Head meshes that are not part of any model's mesh list.
  void LooseHeads(const std::string& code, std::initializer_list<const char*> numbers) {
    for (const char* n : numbers) builder_.AddMesh(0x36, code + "HE" + n + "_DMSPRITEDEF", 32, 0);
  }

  // Materials that are not listed by a mesh but share a listed one's prefix.
  void Materials(std::initializer_list<std::pair<const char*, int>> materials) {
    for (const auto& [name, bitmaps] : materials) Material(name, bitmaps);
  }

  WorldBuilder& Builder() { return builder_; }
  std::vector<std::uint8_t> Bytes() const { return builder_.Bytes(); }

 private:
  WorldBuilder builder_;
};

Mesh Body(const std::string& code, std::uint32_t size, std::vector<std::string> materials) {
  return Mesh{code + "_DMSPRITEDEF", size, std::move(materials)};
}

Mesh Head(const std::string& code, const char* number, std::uint32_t size = 48) {
  return Mesh{code + "HE" + number + "_DMSPRITEDEF", size, {code + "HE0001_MDF"}};
}

// A playable character with the usual set: a body with textures, a listed
// head that starts the head scan, loose heads and head materials.
void Character(World& world, const std::string& code) {
  world.Model(code, {Body(code, 400, {code + "0001_MDF", "CLK0401_MDF"}), Head(code, "00", 900)});
  world.LooseHeads(code, {"01", "02", "x3"});
  world.Materials({{(code + "0101_MDF").c_str(), 1},
                   {(code + "0201_MDF").c_str(), 1},
                   {(code + "1201_MDF").c_str(), 1},
                   {(code + "0102_MDF").c_str(), 1},
                   {(code + "HE0312_MDF").c_str(), 2},
                   {(code + "HE0524_MDF").c_str(), 1},
                   {(code + "HEx931_MDF").c_str(), 1},  // a head material without a head number
                   {"CLK0501_MDF", 1}});
}

bool WriteS3d(const std::string& folder, const std::string& diskName, World& world) {
  std::string lower = diskName;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const std::string wld = lower.substr(0, lower.size() - 3) + "wld";
  PackageWriter package;
  package.AddTextEntry("readme.txt", "model package");
  package.AddEntry(wld, world.Bytes(), 4096);
  package.AddTextEntry("texture.bmp", std::string(300, 'b'));
  package.footer = true;
  package.dateStamp = 0x5A0B1C2D;
  return package.WriteTo(folder + "/" + diskName);
}

// A package of playable characters with the usual set each.
bool WriteCharacters(const std::string& folder, const std::string& diskName,
                     std::initializer_list<const char*> codes) {
  World world;
  for (const char* code : codes) Character(world, code);
  return WriteS3d(folder, diskName, world);
}

bool WriteObg(const std::string& folder, const std::string& diskName, const std::vector<std::string>& names) {
  PackageWriter package;
  for (const std::string& name : names) package.AddTextEntry(name, name);
  return package.WriteTo(folder + "/" + diskName);
}

// A package whose header is not a package's: it does not open.
bool WriteBroken(const std::string& folder, const std::string& diskName) {
  PackageWriter package;
  package.AddTextEntry("brk.mod", "brk.mod");
  package.magic = 0x12345678;
  return package.WriteTo(folder + "/" + diskName);
}

bool WriteGlobalPackages(const std::string& folder, unsigned editionId) {
  bool ok = true;
  {
    // Ostra disabled: a goblin and a skeleton, and model names to pass over.
    World w;
    w.Model("GOB", {Body("GOB", 100, {"GOB0001_MDF"})}, Target::kMeshReference);
    w.Materials({{"GOB0101_MDF", 1}, {"GOB0201_MDF", 1}, {"GOBHE0101_MDF", 2}});
    Mesh bone = Body("SKE", 90, {"SKE0001_MDF"});
    bone.throughReference = true;
    w.Model("SKE", {bone, Body("SKEB", 120, {"SKEB0001_MDF"})});
    w.Materials({{"SKE0301_MDF", 1}, {"SKEB0401_MDF", 1}});
    w.Model("NOUNDERSCORE", {}, Target::kOther);
    w.Model("_LEADING_ACTORDEF", {}, Target::kOther);
    w.Model("ABCDEFGHIJKLMN_ACTORDEF", {}, Target::kOther);
    w.Model("abcde_x", {}, Target::kOther);
    ok &= WriteS3d(folder, "Global7_Chr.s3d", w);
  }
  ok &= WriteCharacters(folder, "globalHUM_chr.s3d", {"HUM"});
  {
    World w;
    Character(w, "HUM");
    w.Model("HUMX", {Body("HUMX", 10, {})});
    ok &= WriteS3d(folder, "GLOBALHUM_CHR2.S3D", w);
  }
  {
    // A single head mesh is the primary mesh all the same.
    World w;
    w.Model("HUF", {Head("HUF", "00")}, Target::kMeshReference);
    w.LooseHeads("HUF", {"01"});
    w.Materials({{"HUFHE0101_MDF", 1}, {"HUFHE0301_MDF", 1}});
    ok &= WriteS3d(folder, "globalhuf_chr.s3d", w);
  }
  ok &= WriteCharacters(folder, "globalBOM_chr.s3d", {"BOM", "BOF"});
  ok &= WriteCharacters(folder, "GlobalEsm_Chr.s3d", {"ESM", "ESF"});
  ok &= WriteCharacters(folder, "global5_chr.s3d", {"ELM", "ELF"});
  ok &= WriteObg(folder, "Global5_CHR.obg",
                 {"dsm.mod", "DSF.MDS", "dsm.mds", "dsf_hair_2.mod", "DSF_FACIALATT_3.MOD", "dsm_facialhair_4.mod",
                  "dsm_facialhair_0.mod", "c_dsm_05_c.dds", "a_dkm_07_c.dds", "a_dsm_10_x_s2_c.dds",
                  "a_dsm_10_c.dds", "c_dsm_head_s2_c.dds", "c_dsm_hr_s1_c.dds", "c_dsm_hd_s3_c.dds",
                  "c_dsm_tattoo_s4_c.dds", "b_dsm_05_c.dds", "c_dsm_05_d.dds", "dsm_05.dds",
                  "verylongmodelname.mod", "zzz.mod", "c_dsf_flag1_s2_c.dds", "c_dsf_bd_s6_c.dds"});
  ok &= WriteCharacters(folder, "global5_chr2.s3d", {"HSM"});
  ok &= WriteBroken(folder, "frog_mount_chr.obg");
  {
    World w;
    w.Model("FNM", {Body("FNM", 50, {"FNM0001_MDF"}), Body("FNMB", 70, {"FNMB0001_MDF"})});
    w.Materials({{"FNMB0101_MDF", 1}, {"FNM0101_MDF", 1}});
    ok &= WriteS3d(folder, "Frog_Mount_Chr.s3d", w);
  }
  // Packages of the global load list.
  ok &= WriteObg(folder, "global4_chr.obg",
                 {"kob.mod", "c_kor_bd_s1_c.dds", "c_kor_bd_s2_c.dds", "vaf.mod", "c_vam_ab_s3_c.dds",
                  "chm.mds", "a_chm_hd_s2_c.dds", "flg.mod", "c_flg_flag1_s0_c.dds", "sna.mod", "c_sna_bd_s3_c.dds",
                  "fis.mod", "c_fis_bd_s2_c.dds", "rat.mod", "c_rat_bd_s7_c.dds", "spi.mod", "c_spi_bd_s3_c.dds",
                  "wol.mod", "c_wol_bd_s2_c.dds", "bea.mod", "c_bea_bd_s2_c.dds", "orc.mod", "c_orc_bd_s0_c.dds",
                  "liz.mod", "c_liz_bd_s4_c.dds", "c_liz_bd_s2_c.dds",
                  "kni.mod", "c_kni_bd_s4_c.dds", "tre.mod", "c_tre_bd_s5_c.dds", "gol.mod", "c_gol_bd_s4_c.dds",
                  "grf.mod", "c_gus_06_c.dds"});
  ok &= WriteCharacters(folder, "global4_chr.s3d", {"KOB"});
  ok &= WriteCharacters(folder, "Global6_chr.s3d", {"DUM", "DUF"});
  {
    World w;
    Character(w, "GEM");
    w.Model("GEF", {Body("GEF", 30, {"GEF0001_MDF"})}, Target::kMeshReference);
    ok &= WriteS3d(folder, "global3_chr2.s3d", w);
  }
  {
    // Thirty-one texture files: the last one no longer fits.
    std::vector<std::string> names = {"irm.mod"};
    for (int i = 1; i <= 31; ++i) names.push_back("c_irm_" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "_c.dds");
    ok &= WriteObg(folder, "gear_chr2.obg", names);
  }
  ok &= WriteObg(folder, std::string(60, 'g') + "_chr.obg", {"hum.mod"});
  {
    World w;
    Character(w, "HUM");
    PackageWriter broken;
    broken.AddEntry("broken_chr.wld", w.Bytes());
    broken.magic = 0x12345678;
    ok &= broken.WriteTo(folder + "/broken_chr.s3d");
  }
  (void)editionId;
  return ok;
}

bool WriteZonePackages(const std::string& folder) {
  bool ok = true;
  {
    World w;
    w.Model("DUF", {Body("DUF", 60, {"DUF0001_MDF"})}, Target::kMeshReference);
    w.Materials({{"DUF0101_MDF", 1}});
    w.Model("ZZZ", {Body("ZZZ", 60, {"ZZZ0001_MDF"})}, Target::kMeshReference);
    ok &= WriteS3d(folder, "ABC_chr.s3d", w);
  }
  {
    World w;
    Character(w, "HSF");
    w.Model("HSM", {Body("HSM", 20, {})}, Target::kMeshReference);
    ok &= WriteS3d(folder, "abc_CHR2.s3d", w);
  }
  {
    World w;
    Character(w, "KAM");
    Character(w, "KAF");
    w.Model("HUM", {Body("HUM", 20, {})}, Target::kMeshReference);
    w.Model("DSM_ACTORDEF", {}, Target::kOther);  // no variations: the heritage entry alone
    ok &= WriteS3d(folder, "Fairhold_chr.s3d", w);
  }
  {
    World w;  // a world file without models
    w.Materials({{"NONE0101_MDF", 1}});
    ok &= WriteS3d(folder, "emptyzone_chr.s3d", w);
  }
  {
    World w;
    w.Model("SKE", {Body("SKE", 40, {"SKE0001_MDF"})}, Target::kMeshReference);
    w.Materials({{"SKE0201_MDF", 1}});
    ok &= WriteS3d(folder, "skelzone_chr.s3d", w);
  }
  {
    // A zone package cut short: its scan fails.
    World w;
    Character(w, "KAM");
    PackageWriter cut;
    cut.AddEntry("deep_chr.wld", w.Bytes());
    cut.truncateTo = 200;
    ok &= cut.WriteTo(folder + "/deep_chr.s3d");
  }
  ok &= WriteObg(folder, "GobPack.obg", {"gob.mds", "a_gob_10_x_s2_c.dds", "c_gob_03_c.dds", "a_gob_10_x_s95_c.dds"});
  ok &= WriteCharacters(folder, "irpack.s3d", {"IRM"});
  // Orphans: one with both kinds of package (the .obg wins), one with a
  // zone-style package only.
  ok &= WriteObg(folder, "ORP.obg", {"orp.mod", "c_orp_02_c.dds"});
  {
    World w;
    w.Model("ORP", {Body("ORP", 10, {})}, Target::kMeshReference);
    ok &= WriteS3d(folder, "orp_chr.s3d", w);
  }
  {
    World w;
    w.Model("ORS", {Body("ORS", 10, {"ORS0001_MDF"})}, Target::kMeshReference);
    w.Materials({{"ORS0501_MDF", 1}});
    ok &= WriteS3d(folder, "Ors_Chr.S3D", w);
  }
  // Both twins in the first package, one again in the second.
  ok &= WriteObg(folder, "TWM.obg", {"twm.mod", "twf.mod", "c_twm_02_c.dds"});
  {
    World w;
    w.Model("TWF", {Body("TWF", 10, {})}, Target::kMeshReference);
    ok &= WriteS3d(folder, "twf_chr.s3d", w);
  }
  ok &= WriteBroken(folder, "BRK.obg");
  return ok;
}

}  // namespace

bool WriteSamplePackages(const std::string& folder, unsigned editionId) {
  return WriteGlobalPackages(folder, editionId) && WriteZonePackages(folder);
}

}  // namespace zira::testing
