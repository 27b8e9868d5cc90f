// Writes one client of full size (edition MK2, whose code windows are the
// largest) for the benchmark: as many race codes and zones as the client's
// code windows hold, close to 1200 model sources and 5000 models, world files
// of some hundred megabytes in all, import lists for most zones, and file
// names in mixed letter case.
//
//   make_full_client <folder> [scale]
//
// scale multiplies the bulk of the world files and of the .obg entries
// (1 gives at least 400 MB of inflated world files); the tables stay full at
// every scale, so a small scale still exercises every lookup.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "client/client_image.h"
#include "common/file_system.h"
#include "support/client_image_writer.h"
#include "support/package_writer.h"
#include "support/registration_writer.h"
#include "support/text_files.h"
#include "support/world_builder.h"

namespace zira::testing {
namespace {

constexpr std::uint32_t kEdition = 3;
constexpr std::uint32_t kPlayable[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 128, 130, 330, 522};
constexpr const char* kSyllables[] = {"ar", "el", "on", "ur", "ith", "os", "an", "ek",
                                      "il", "um", "ra", "ve", "do", "ka", "mi", "zo"};
constexpr std::size_t kOrphanCodes = 110;   // codes no global or zone package holds
constexpr std::size_t kOrphanPackages = 60;  // of those, the ones with a package of their own
constexpr std::size_t kListPackages = 36;    // per ending, named by the global load list
constexpr std::size_t kImportPackages = 120;

// xorshift64*: deterministic, so every generated client is the same.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint32_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<std::uint32_t>((state_ * 0x2545F4914F6CDD1DULL) >> 32);
  }
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : Next() % n; }

 private:
  std::uint64_t state_;
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return text;
}

// The name written to disk: the inventory asks for lower-case names (and race
// codes in upper case), so the disk spells them in four other ways.
std::string DiskName(const std::string& lower, std::size_t k) {
  std::string name = lower;
  switch (k % 4) {
    case 1:
      return Upper(name);
    case 2:
      for (std::size_t i = 0; i < name.size(); ++i) {
        if (i == 0 || name[i - 1] == '_') name[i] = Upper(std::string(1, name[i]))[0];
      }
      return name;
    case 3: {
      const std::size_t dot = name.rfind('.');
      if (dot != std::string::npos) name = name.substr(0, dot) + Upper(name.substr(dot));
      return name;
    }
    default:
      return name;
  }
}

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1048576.0; }

std::string TwoDigits(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u", value % 100);
  return text;
}

// ---------------------------------------------------------------- races, zones

struct Code {
  std::string code;
  std::uint32_t raceId;
  std::uint32_t gender;  // 1 male, 2 female, 3 neutral
};

// Three-letter codes whose first letters run through the alphabet, so the
// code index fills its letter buckets evenly.
std::string CodeText(std::uint32_t i) {
  std::string code(3, 'A');
  code[0] = static_cast<char>('A' + i % 26);
  code[1] = static_cast<char>('A' + (i / 26) % 26);
  code[2] = static_cast<char>('A' + (i / 676) % 26);
  return code;
}

class CodePool {
 public:
  std::string Next() {
    for (;;) {
      std::string code = CodeText(next_++);
      if (code != "CLK") return code;
    }
  }

 private:
  std::uint32_t next_ = 26 * 3;
};

// Race registrations in the order they go into the race window: the highest
// race id first, then the playable races, the ids below 128 (whose pushes are
// shortest) with all three codes, and then two codes for races spread up to
// 2500 for as long as the window has room.
std::vector<Code> WriteRaces(RegistrationWriter& reg, std::size_t* offered) {
  CodePool pool;
  std::vector<Code> planned = {{pool.Next(), 2500, 1}};
  for (std::uint32_t race : kPlayable) {
    planned.push_back({pool.Next(), race, 1});
    planned.push_back({pool.Next(), race, 2});
  }
  for (std::uint32_t race = 13; race < 128; ++race) {
    for (std::uint32_t gender = 1; gender <= 3; ++gender) planned.push_back({pool.Next(), race, gender});
  }
  std::vector<Code> written;
  std::size_t at = 0;
  auto add = [&](const Code& code) {
    ++at;
    if (!reg.AddRace({code.code, code.raceId, code.gender - 1})) return false;
    written.push_back(code);
    return true;
  };
  for (const Code& code : planned) {
    if (!add(code)) break;
  }
  // Two registrations of a race above 127 take 42 bytes.
  const std::uint32_t room = reg.End(ScanWindow::kRace) - reg.Position(ScanWindow::kRace);
  const std::uint32_t races = room / 42;
  std::vector<Code> spread;
  for (std::uint32_t k = 0; k < races; ++k) {
    std::uint32_t race = 131 + static_cast<std::uint32_t>(static_cast<std::uint64_t>(k) * (2499 - 131) / races);
    if (race == 330 || race == 522) ++race;
    spread.push_back({pool.Next(), race, 1});
    spread.push_back({pool.Next(), race, k % 3 == 0 ? 3u : 2u});
  }
  bool full = false;
  for (const Code& code : spread) {
    if (!add(code)) {
      full = true;
      break;
    }
  }
  // Neutral codes for the highest races fill what is left, until one no
  // longer fits.
  for (std::uint32_t race = 2499; !full && race > 131; --race) full = !add({pool.Next(), race, 3});
  *offered = at;
  return written;
}

struct Zone {
  std::uint32_t zoneId;
  std::string nick;
  std::string name;
};

std::vector<Zone> PlanZones(std::size_t count) {
  std::vector<Zone> zones;
  for (std::size_t k = 0; k < count; ++k) {
    Zone zone;
    zone.zoneId = static_cast<std::uint32_t>(count > 1 ? k * 1500 / (count - 1) : 1500);
    zone.nick = std::string(1, static_cast<char>('a' + k % 26)) + kSyllables[(k / 26) % 16] + kSyllables[(k / 416) % 16];
    if (k >= 26 * 256) zone.nick += std::to_string(k);
    std::string title = zone.nick;
    title[0] = static_cast<char>(title[0] - 32);
    zone.name = (k % 3 == 0 ? "The " : "") + title + (k % 2 == 0 ? " Reaches" : " Hollow");
    zones.push_back(zone);
  }
  return zones;
}

bool AddZones(RegistrationWriter& reg, const std::vector<Zone>& zones) {
  for (std::size_t k = 0; k < zones.size(); ++k) {
    ZoneRegistration z;
    z.zoneId = zones[k].zoneId;
    z.nick = zones[k].nick;
    z.name = zones[k].name;
    z.expansion = static_cast<std::uint32_t>(k % 12);
    z.stringId = 1000 + zones[k].zoneId;
    z.flags = static_cast<std::uint32_t>(k % 5);
    z.minLevel = static_cast<std::uint32_t>(k % 4 == 0 ? 10 : 0);
    z.useAltTarget = k % 9 == 4;
    if (!reg.AddZone(z)) return false;
  }
  return true;
}

// The most zones, spread over ids 0 to 1500, that the zone window holds.
std::vector<Zone> FitZones(RegistrationWriter& reg) {
  const std::uint32_t room = reg.End(ScanWindow::kZone) - reg.Position(ScanWindow::kZone);
  for (std::size_t count = room / 32; count > 1; --count) {
    ClientImageWriter trial(kEdition);
    RegistrationWriter trialReg(trial, CodeStyle::kPlain);
    const std::vector<Zone> zones = PlanZones(count);
    if (!AddZones(trialReg, zones)) continue;
    AddZones(reg, zones);
    return zones;
  }
  return {};
}

// ---------------------------------------------------------------- worlds

// Bytes that deflate about as well as mesh data: small steps of 16-bit values.
void FillMeshData(std::vector<std::uint8_t>& bytes, std::size_t from, Rng& rng) {
  std::int32_t value[3] = {0, 0, 0};
  for (std::size_t i = from; i + 2 <= bytes.size(); i += 2) {
    std::int32_t& v = value[(i / 2) % 3];
    v += static_cast<std::int32_t>(rng.Below(33)) - 16;
    bytes[i] = static_cast<std::uint8_t>(v);
    bytes[i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
}

class World {
 public:
  explicit World(Rng& rng) : rng_(rng) {}

  // A character as the client ships it: a body and a listed head with their
  // material lists, loose heads, texture and head materials, a skeleton with
  // tracks and the model fragment.
  void Character(const std::string& code, std::uint32_t meshBytes, unsigned textures, unsigned heads) {
    std::vector<std::int32_t> bodyMaterials = {Material(code + "0001_MDF", 1)};
    if (rng_.Below(4) == 0) bodyMaterials.push_back(Material("CLK0401_MDF", 1));
    const std::int32_t bodyList = builder_.AddMaterialList(bodyMaterials);
    const std::int32_t headList = builder_.AddMaterialList({Material(code + "HE0001_MDF", 1)});
    const std::int32_t body = Mesh(code + "_DMSPRITEDEF", meshBytes, bodyList);
    const std::int32_t head = Mesh(code + "HE00_DMSPRITEDEF", meshBytes / 4 + 16, headList);
    for (unsigned h = 1; h <= heads; ++h) Mesh(code + "HE" + TwoDigits(h) + "_DMSPRITEDEF", meshBytes / 4 + 16, 0);
    for (unsigned t = 1; t <= textures; ++t) Material(code + TwoDigits(t) + "01_MDF", 1);
    Material(code + "HE0" + std::to_string(1 + rng_.Below(5)) + "12_MDF", 2);
    Material(code + "HE0" + std::to_string(1 + rng_.Below(5)) + "24_MDF", 1);
    const std::int32_t skeleton =
        builder_.AddSkeleton({body, head}, code + "_HS_DEF", 0x200, std::vector<std::uint32_t>(12, 6));
    builder_.AddModel(code + "_ACTORDEF", builder_.AddSkeletonLink(skeleton));
  }

  // Unnamed fragments (animation tracks and the like) of 40 to 200 bytes
  // until the world has grown by about bytes.
  void Filler(std::uint64_t bytes) {
    static constexpr std::uint32_t kTypes[] = {0x12, 0x13, 0x12, 0x12, 0x22, 0x13, 0x15, 0x12};
    std::uint64_t added = 0;
    while (added < bytes) {
      std::vector<std::uint8_t> body(40 + rng_.Below(161));
      FillMeshData(body, 0, rng_);
      builder_.AddFragment(kTypes[rng_.Below(8)], "", body);
      added += body.size() + 12;
    }
  }

  std::vector<std::uint8_t> Bytes() const { return builder_.Bytes(); }

 private:
  std::int32_t Material(const std::string& name, int bitmaps) {
    std::vector<std::string> names;
    for (int i = 0; i < bitmaps; ++i) names.push_back(name.substr(0, name.size() - 4) + std::to_string(i) + ".DDS");
    const std::int32_t texture = builder_.AddTexture({builder_.AddBitmapNames(names)});
    return builder_.AddMaterial(name, builder_.AddTextureLink(texture));
  }

  std::int32_t Mesh(const std::string& name, std::uint32_t size, std::int32_t materialList) {
    std::vector<std::uint8_t> body(std::max<std::uint32_t>(size, 16));
    FillMeshData(body, 8, rng_);
    body[0] = 0x01;
    for (int i = 0; i < 4; ++i) body[4 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(materialList) >> (8 * i));
    return builder_.AddFragment(0x36, name, body);
  }

  Rng& rng_;
  WorldBuilder builder_;
};

// ---------------------------------------------------------------- packages

struct Package {
  std::string name;  // as the inventory registers it: lower case, with extension
  std::vector<std::string> models;
  std::uint64_t worldBytes = 0;  // .s3d: bulk of the world file at scale 1
  bool obg() const { return name.size() > 4 && name.compare(name.size() - 4, 4, ".obg") == 0; }
};

struct Totals {
  std::uint64_t worldBytes = 0;
  std::uint64_t packageBytes = 0;
  std::size_t largestWorld = 0;
  std::size_t largestPackage = 0;
  std::size_t fragments = 0;
  std::size_t files = 0;
};

bool WriteS3d(const std::string& folder, const Package& p, double scale, Rng& rng, Totals& totals) {
  World world(rng);
  const std::uint32_t meshBytes = static_cast<std::uint32_t>(std::max(256.0, 12000 * scale));
  for (const std::string& code : p.models) world.Character(code, meshBytes, 3 + rng.Below(8), 1 + rng.Below(4));
  world.Filler(static_cast<std::uint64_t>(static_cast<double>(p.worldBytes) * scale));
  const std::vector<std::uint8_t> wld = world.Bytes();
  PackageWriter package;
  package.AddTextEntry("readme.txt", "character models of " + p.name);
  package.AddEntry(p.name.substr(0, p.name.size() - 3) + "wld", wld, 8192);
  std::vector<std::uint8_t> bitmap(static_cast<std::size_t>(std::max(64.0, 40000 * scale)));
  FillMeshData(bitmap, 0, rng);
  package.AddEntry("palette.bmp", bitmap);
  package.footer = true;
  package.dateStamp = 0x5A0B1C2D;
  const std::vector<std::uint8_t> bytes = package.Bytes();
  totals.worldBytes += wld.size();
  totals.largestWorld = std::max(totals.largestWorld, wld.size());
  totals.packageBytes += bytes.size();
  totals.largestPackage = std::max(totals.largestPackage, bytes.size());
  ++totals.files;
  return zira::WriteWholeFile((folder + "/" + DiskName(p.name, totals.files)).c_str(), bytes);
}

// Model files with their hair, beard and detail files, texture files of the
// kinds the name rules read, and other files the rules pass over.
bool WriteObg(const std::string& folder, const Package& p, double scale, Rng& rng, Totals& totals) {
  PackageWriter package;
  const std::size_t fileBytes = static_cast<std::size_t>(std::max(16.0, 3000 * scale));
  auto add = [&](const std::string& name) {
    std::vector<std::uint8_t> contents(fileBytes);
    FillMeshData(contents, 0, rng);
    package.AddEntry(name, contents);
  };
  for (const std::string& upper : p.models) {
    std::string code = upper;
    for (char& c : code) c = static_cast<char>(c + 32);
    add(code + (rng.Below(3) == 0 ? ".mds" : ".mod"));
    for (unsigned h = 1; h <= 3; ++h) add(code + "_hair_" + std::to_string(h) + ".mod");
    add(code + "_facialhair_" + std::to_string(1 + rng.Below(5)) + ".mod");
    add(code + "_facialatt_" + std::to_string(1 + rng.Below(5)) + ".mod");
    for (unsigned t = 1; t <= 9; ++t) add((t % 2 ? "c_" : "a_") + code + "_" + TwoDigits(t) + "_c.dds");
    add("c_" + code + "_bd_s" + std::to_string(1 + rng.Below(6)) + "_c.dds");
    add("c_" + code + "_head_s" + std::to_string(1 + rng.Below(4)) + "_c.dds");
    add("c_" + code + "_hd_s" + std::to_string(1 + rng.Below(4)) + "_c.dds");
    add("c_" + code + "_hr_s" + std::to_string(1 + rng.Below(4)) + "_c.dds");
    add("a_" + code + "_10_x_s" + std::to_string(1 + rng.Below(4)) + "_c.dds");
    add("b_" + code + "_05_n.dds");
    add(code + "_idle.ani");
  }
  const std::vector<std::uint8_t> bytes = package.Bytes();
  totals.packageBytes += bytes.size();
  totals.largestPackage = std::max(totals.largestPackage, bytes.size());
  ++totals.files;
  return zira::WriteWholeFile((folder + "/" + DiskName(p.name, totals.files)).c_str(), bytes);
}

// ---------------------------------------------------------------- the client

class FullClient {
 public:
  FullClient(std::string folder, double scale) : folder_(std::move(folder)), scale_(scale), rng_(0x5EED2500) {}

  bool Write() {
    ::mkdir(folder_.c_str(), 0777);
    ::mkdir((folder_ + "/RESOURCES").c_str(), 0777);
    if (!WriteImage()) return false;
    PlanPackages();
    PlanImports();
    for (const Package& p : packages_) {
      if (!(p.obg() ? WriteObg(folder_, p, scale_, rng_, totals_) : WriteS3d(folder_, p, scale_, rng_, totals_))) {
        return false;
      }
    }
    return WriteTexts();
  }

  void Report() const {
    std::size_t models = 0;
    for (const Package& p : packages_) models += p.models.size();
    std::printf("races: %zu codes registered of %zu offered (race ids up to 2500)\n", codes_.size(), offeredCodes_);
    std::printf("zones: %zu registered, ids 0 to %u\n", zones_.size(), zones_.empty() ? 0 : zones_.back().zoneId);
    std::printf("packages: %zu (%zu models), %zu import lists\n", packages_.size(), models, importLists_);
    std::printf("world files: %.1f MB inflated, largest %.1f MB\n", Megabytes(totals_.worldBytes),
                Megabytes(totals_.largestWorld));
    std::printf("package files: %.1f MB, largest %.1f MB\n", Megabytes(totals_.packageBytes),
                Megabytes(totals_.largestPackage));
  }

 private:
  bool WriteImage() {
    ClientImageWriter image(kEdition);
    RegistrationWriter reg(image, CodeStyle::kPlain);
    codes_ = WriteRaces(reg, &offeredCodes_);
    zones_ = FitZones(reg);
    for (const Code& code : codes_) byRace_[code.raceId].push_back(code);
    return !zones_.empty() && image.WriteTo((folder_ + "/ObGame.EXE").c_str());
  }

  std::string Pick() { return shared_[rng_.Below(static_cast<std::uint32_t>(shared_.size()))]; }

  void Add(const std::string& name, std::vector<std::string> models, std::uint64_t worldBytes) {
    packages_.push_back({name, std::move(models), worldBytes});
  }

  std::vector<std::string> PickModels(std::size_t count) {
    std::vector<std::string> models;
    while (models.size() < count) {
      const std::string code = Pick();
      if (std::find(models.begin(), models.end(), code) == models.end()) models.push_back(code);
    }
    return models;
  }

  void PlanPackages() {
    // The last codes are held by no global or zone package: orphans.
    const std::size_t sharedCount = codes_.size() > kOrphanCodes ? codes_.size() - kOrphanCodes : codes_.size();
    for (std::size_t i = 0; i < codes_.size(); ++i) (i < sharedCount ? shared_ : orphans_).push_back(codes_[i].code);
    constexpr std::uint64_t kMB = 1 << 20;

    // Global packages: hard-coded, per playable race, and the global load list.
    for (const char* base : {"global7_chr", "global5_chr2", "global5_chr", "frog_mount_chr"}) {
      const std::string b = base;
      const bool big = b == "global5_chr";
      Add(b + ".obg", PickModels(12), 0);
      Add(b + ".s3d", PickModels(big ? 150 : b == "frog_mount_chr" ? 10 : 40), (big ? 40 : 16) * kMB);
    }
    for (std::uint32_t race : kPlayable) {
      for (const Code& code : byRace_[race]) {
        if (code.gender == 3) continue;
        std::vector<std::string> models;
        for (const Code& other : byRace_[race]) models.push_back(other.code);
        Add("global" + Lower(code.code) + "_chr.s3d", models, 3 * kMB / 2);
        Add("global" + Lower(code.code) + "_chr2.s3d", {code.code}, kMB / 2);
      }
    }
    for (std::size_t i = 0; i < kListPackages; ++i) {
      Add("gl" + TwoDigits(static_cast<unsigned>(i)) + "_chr.obg", PickModels(12), 0);
      Add("gla" + TwoDigits(static_cast<unsigned>(i)) + "_chr.s3d", PickModels(14), 2 * kMB);
    }
    globalCount_ = packages_.size();

    // Zone packages: most zones have one, some a second.
    for (std::size_t k = 0; k < zones_.size(); ++k) {
      if (k % 10 != 9) Add(zones_[k].nick + "_chr.s3d", PickModels(3 + k % 2), 180 * 1024);
      if (k % 7 == 3) Add(zones_[k].nick + "_chr2.s3d", PickModels(2), 120 * 1024);
    }
    zoneCount_ = packages_.size() - globalCount_;
    // Packages that only import lists name.
    importBegin_ = packages_.size();
    for (std::size_t i = 0; i < kImportPackages; ++i) {
      const std::string name = std::string(1, static_cast<char>('a' + i % 26)) + "imp" + std::to_string(i) + "_chr";
      Add(name + (i % 2 ? ".obg" : ".s3d"), PickModels(5), 300 * 1024);
    }
    importEnd_ = packages_.size();
    // Orphan packages: named after their code, both kinds.
    for (std::size_t i = 0; i < orphans_.size() && i < kOrphanPackages; ++i) {
      const std::string code = orphans_[i];
      Add(Lower(code) + (i % 2 ? ".obg" : "_chr.s3d"), {code}, 100 * 1024);
    }
  }

  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
  }

  // An import entry naming a package and one of its models; the package is
  // named without its ending where only one package has the base name.
  std::string Entry(const Package& p, bool withEnding) {
    const std::string code = p.models[rng_.Below(static_cast<std::uint32_t>(p.models.size()))];
    std::string name = p.name;
    if (!withEnding) name = name.substr(0, name.size() - 4);
    return (rng_.Below(3) == 0 ? Lower(code) : code) + ", " + name;
  }

  void PlanImports() {
    std::size_t nextImport = importBegin_;  // every import-only package is named at least once
    for (std::size_t k = 0; k < zones_.size(); ++k) {
      if (k % 8 == 5) continue;
      std::vector<std::string> lines;
      const std::size_t entries = k == 17 ? 90 : 3 + rng_.Below(6);
      for (std::size_t e = 0; e < entries; ++e) {
        const std::uint32_t kind = rng_.Below(10);
        if (kind < 3) {
          // The hard-coded packages come in both kinds under one base name.
          const std::size_t g = rng_.Below(static_cast<std::uint32_t>(globalCount_));
          lines.push_back(Entry(packages_[g], g < 8 || rng_.Below(2) == 0));
        } else if (kind < 6) {
          lines.push_back(Entry(packages_[globalCount_ + rng_.Below(static_cast<std::uint32_t>(zoneCount_))], true));
        } else {
          const std::size_t i = nextImport < importEnd_
                                    ? nextImport++
                                    : importBegin_ + rng_.Below(static_cast<std::uint32_t>(importEnd_ - importBegin_));
          lines.push_back(Entry(packages_[i], rng_.Below(2) == 0));
        }
      }
      if (k % 50 == 7) lines.push_back(Pick() + ", nosuchpackage");
      std::string text = "  " + std::to_string(lines.size()) + "\r\n";
      for (const std::string& line : lines) text += line + "\r\n";
      if (!WriteTextFile(folder_ + "/" + DiskName(zones_[k].nick + "_chr.txt", k), text)) return;
      ++importLists_;
    }
  }

  bool WriteTexts() {
    std::string strings = "ObStr list of the full client\r\n";
    for (const Zone& zone : zones_) {
      strings += std::to_string(1000 + zone.zoneId) + " " + (zone.zoneId % 4 == 0 ? "Greater " : "") + zone.name + "\r\n";
    }
    std::string database;
    for (const auto& [race, codes] : byRace_) {
      const std::string id = std::to_string(race);
      database += id + "^11^Race " + id + "^0\r\n" + id + "^12^Races " + id + "^0\r\n";
      if (race % 5 == 0) database += id + "^8^The folk of race " + id + " keep to themselves.^0\r\n";
    }
    for (unsigned e = 0; e < 12; ++e) database += std::to_string(e) + "^20^Expansion " + std::to_string(e) + "^0\r\n";
    std::string load = "# edition, flags, loader, package\r\n";
    for (std::size_t i = 0; i < kListPackages; ++i) {
      load += "1,0,C,gl" + TwoDigits(static_cast<unsigned>(i)) + "_chr,rest\r\n";
      load += "1,0,C,GLA" + TwoDigits(static_cast<unsigned>(i)) + "_chr.S3D,rest\r\n";
    }
    load += "1,0,C,global7_chr.s3d,rest\r\n";
    return WriteTextFile(folder_ + "/OBSTR_us.txt", strings) && WriteTextFile(folder_ + "/dbstr_US.TXT", database) &&
           WriteTextFile(folder_ + "/RESOURCES/globalload.TXT", load);
  }

  std::string folder_;
  double scale_;
  Rng rng_;
  std::vector<Code> codes_;
  std::size_t offeredCodes_ = 0;
  std::map<std::uint32_t, std::vector<Code>> byRace_;
  std::vector<Zone> zones_;
  std::vector<std::string> shared_, orphans_;
  std::vector<Package> packages_;
  std::size_t globalCount_ = 0, zoneCount_ = 0, importBegin_ = 0, importEnd_ = 0, importLists_ = 0;
  Totals totals_;
};

}  // namespace
}  // namespace zira::testing

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_full_client <folder> [scale]\n");
    return 2;
  }
  const double scale = argc > 2 ? std::atof(argv[2]) : 1.0;
  if (!(scale > 0)) {
    std::fprintf(stderr, "make_full_client: the scale must be above 0\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  zira::testing::FullClient client(argv[1], scale);
  if (!client.Write()) {
    std::fprintf(stderr, "make_full_client: could not write the client into %s\n", argv[1]);
    return 1;
  }
  client.Report();
  std::printf("written in %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return 0;
}
