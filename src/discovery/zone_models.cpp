#include "discovery/zone_models.h"

#include <cstring>

#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/file_system.h"
#include "common/text.h"
#include "common/capacities.h"
#include "discovery/package_names.h"
#include "discovery/scan_plan.h"
#include "store/model_registry.h"

namespace zira {
namespace {

constexpr std::size_t kLongestListName = 63;

// The nick of a zone row that discovery can load, or nullptr.
const char* NickOf(const Inventory& inventory, std::size_t zoneId) {
  if (zoneId > kMaxZoneId) return nullptr;
  const char* nick = inventory.client.zones[zoneId].zoneNick;
  return nick != nullptr && nick[0] != '\0' ? nick : nullptr;
}

// One of the zone's own packages; a missing file leaves the field untouched.
void LoadZonePackage(const RunIo& io, Inventory& inventory, const char* nick, const char* format, ModelSource** field) {
  char name[kPathCapacity];
  if (!FormatName(name, sizeof name, format, nick) || !io.files.FileExists(name)) return;
  // A refused name (too long, bucket or table full) is passed over silently.
  *field = FindOrAddSource(inventory, name, SourceKind::kLocalToZone, false);
  if (*field == nullptr) return;
  io.log.Only("  Found Zone Model File: %s", name);
  // The scanner reports its own problems.
  static_cast<void>(ScanPackage(io, inventory, *field, PackageType::kS3d));
  io.stats.AccountFile(io.files, name);
}

// Registers and scans a package no earlier step has seen; nullptr when the
// registry refuses it. A failed scan still lets the model lookup run.
ModelSource* AddImportSource(const RunIo& io, Inventory& inventory, const char* name, const char* listName) {
  ModelSource* source = FindOrAddSource(inventory, name, SourceKind::kLocalToZone, false);
  if (source == nullptr) {
    io.log.Both("      SKIPPED: Could not add model source %s from %s", name, listName);
    return nullptr;
  }
  const PackageType type = PackageTypeOf(name);
  if (type == PackageType::kOther) {
    io.log.Both("   SKIPPED: Unknown model source type %s in %s", name, listName);
  } else if (Failed(ScanPackage(io, inventory, source, type))) {
    // The two endings' messages are indented differently.
    if (type == PackageType::kObg) io.log.Both("      SKIPPED: Problem loading models from %s in %s", name, listName);
    else io.log.Both("   SKIPPED: Problem loading models from %s in %s", name, listName);
  } else {
    io.log.Only("      Loaded models from %s in %s", name, listName);
    io.stats.AccountFile(io.files, name);
  }
  return source;
}

// Splits a "code, package" entry at its comma: the code trimmed and upper
// case, the package trimmed and lower case.
void SplitImportEntry(char* line, char* comma, char** code, char** package) {
  *comma = '\0';
  *code = line;
  *package = comma + 1;
  TrimText(*code);
  TrimText(*package);
  UpperInPlace(*code);
  LowerInPlace(*package);
}

// One "code, package" entry of an import list.
void ImportEntry(const RunIo& io, Inventory& inventory, std::size_t zoneId, char* line, char* comma,
                 const char* listName) {
  char* code = nullptr;
  char* package = nullptr;
  SplitImportEntry(line, comma, &code, &package);

  std::uint16_t raceId = 0;
  Gender gender = Gender::kNone;
  if (Failed(DecodeModelCode(inventory, code, &raceId, &gender))) {
    io.log.Both("   SKIPPED: No race found to match model code %s in %s", code, listName);
    return;
  }
  char buffer[kPathCapacity];
  const char* resolved = ResolvePackageName(io.files, package, buffer, sizeof buffer);
  if (resolved == nullptr) {
    io.log.Both("   SKIPPED: Model %s in %s, nonexistent %s.*", code, listName, package);
    return;
  }
  ModelSource* source = FindSource(inventory, resolved);
  if (source == nullptr) {
    source = AddImportSource(io, inventory, resolved, listName);
    if (source == nullptr) return;
  }
  ModelDef* model = nullptr;
  if (!FindRaceModel(inventory, source, raceId, gender, &model) || model == nullptr) {
    io.log.Both("   SKIPPED: Model %s in %s, not in %s", code, listName, resolved);
    return;
  }
  // A full import list still logs the line below.
  static_cast<void>(AddZoneImport(inventory.zoneLinks[zoneId], model));
  io.log.Only("      Imported Model %s (Race %d, Gender %d) to Zone %s", code, static_cast<int>(model->raceId),
              static_cast<int>(GenderNumber(model->gender)), NickOf(inventory, zoneId));
}

}  // namespace

Result LoadZoneModels(const RunIo& io, Inventory& inventory, std::size_t zoneId) {
  if (zoneId > kMaxZoneId) return InvalidArgument("zone id beyond the zone table");
  const char* nick = NickOf(inventory, zoneId);
  if (nick == nullptr) return Fail("zone without a nick");
  ZoneLinks& links = inventory.zoneLinks[zoneId];
  LoadZonePackage(io, inventory, nick, "%s_chr.s3d", &links.chrSource);
  LoadZonePackage(io, inventory, nick, "%s_chr2.s3d", &links.chr2Source);
  static_cast<void>(LoadZoneImports(io, inventory, zoneId));
  return kSuccess;
}

Result LoadZoneImports(const RunIo& io, Inventory& inventory, std::size_t zoneId) {
  if (zoneId > kMaxZoneId) return InvalidArgument("zone id beyond the zone table");
  const char* nick = NickOf(inventory, zoneId);
  if (nick == nullptr) return Fail("zone without a nick");
  char listName[kPathCapacity];
  if (!FormatName(listName, sizeof listName, "%s_chr.txt", nick) || !io.files.FileExists(listName)) return kSuccess;
  if (std::strlen(listName) > kLongestListName) {
    io.log.Both("  SKIPPED: _sTXTFile '%s' is too long. Max allowed is %d characters!", listName,
                static_cast<int>(kLongestListName));
    return Fail("import list name too long");
  }
  InputFile list;
  if (!list.Open(io.files, listName)) {
    io.log.Both("  FAILURE: Problem opening TXT file %s for model import parsing.", listName);
    return Fail("import list cannot be opened");
  }
  io.log.Only("  Found Zone Model Import File: %s", listName);

  char line[kListLineCapacity];
  bool haveHeader = false;
  int expected = 0;
  int processed = 0;
  while (list.ReadLine(line, sizeof line)) {
    std::size_t length = std::strlen(line);
    TrimCounted(line, &length);
    if (length == 0) continue;
    if (!haveHeader) {
      haveHeader = true;
      expected = AtoI(line);
      if (expected == 0) {
        io.log.Both("  SKIPPED: Unable to parse %s for model imports", listName);
        list.Close();
        return Fail("import list header unreadable");
      }
      io.log.Only("   Looking for %d model code/source entries in %s", expected, listName);
      continue;
    }
    char* comma = std::strchr(line, ',');
    if (comma == nullptr) continue;
    ImportEntry(io, inventory, zoneId, line, comma, listName);
    ++processed;
  }
  // A read error is not the end of the list: it is a list that could not be read.
  if (list.Failed()) {
    io.log.Both("  FAILURE: Problem opening TXT file %s for model import parsing.", listName);
    return Fail("import list cannot be read");
  }
  // A list without a single non-blank line has nothing to compare.
  if (haveHeader && processed != expected) {
    io.log.Both("   ODDITY: Expected %d model references in %s, found %d", expected, listName, processed);
  }
  list.Close();
  return kSuccess;
}

void PlanZoneScans(const RunIo& io, const Inventory& inventory, std::size_t zoneId, ScanPlan& plan) {
  const char* nick = NickOf(inventory, zoneId);
  if (nick == nullptr) return;
  char name[kPathCapacity];
  for (const char* format : {"%s_chr.s3d", "%s_chr2.s3d"}) {
    if (FormatName(name, sizeof name, format, nick)) plan.Add(io.files, name, SourceKind::kLocalToZone);
  }
  char listName[kPathCapacity];
  if (!FormatName(listName, sizeof listName, "%s_chr.txt", nick) || std::strlen(listName) > kLongestListName) return;
  InputFile list;
  // The zone step reads the same list: it gets the bytes read here.
  if (!list.Open(io.files, listName, InputFile::Keeping::kForNextOpen)) return;
  char line[kListLineCapacity];
  bool haveHeader = false;
  while (list.ReadLine(line, sizeof line)) {
    std::size_t length = std::strlen(line);
    TrimCounted(line, &length);
    if (length == 0) continue;
    if (!haveHeader) {
      if (AtoI(line) == 0) return;
      haveHeader = true;
      continue;
    }
    char* comma = std::strchr(line, ',');
    if (comma == nullptr) continue;
    char* code = nullptr;
    char* package = nullptr;
    SplitImportEntry(line, comma, &code, &package);
    std::uint16_t raceId = 0;
    Gender gender = Gender::kNone;
    if (Failed(DecodeModelCode(inventory, code, &raceId, &gender))) continue;
    char buffer[kPathCapacity];
    const char* resolved = ResolvePackageName(io.files, package, buffer, sizeof buffer);
    if (resolved != nullptr) plan.Add(io.files, resolved, SourceKind::kLocalToZone);
  }
}

}  // namespace zira
