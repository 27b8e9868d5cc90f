#include "discovery/zone_models.h"

#include <cstring>

#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/file_system.h"
#include "common/text.h"
#include "discovery/package_names.h"
#include "packages/obg_scanner.h"
#include "packages/s3d_scanner.h"
#include "store/model_registry.h"

namespace zira {
namespace {

constexpr std::size_t kNameCapacity = 260;
constexpr std::size_t kLineCapacity = 1024;  // lines of up to 1023 characters
constexpr std::size_t kLongestListName = 63;

// One of the zone's own packages; a missing file leaves the field untouched.
void LoadZonePackage(Inventory& inventory, const char* nick, const char* format, ModelSource** field) {
  char name[kNameCapacity];
  if (!FormatName(name, sizeof name, format, nick) || !FileExists(name)) return;
  // A refused name (too long, bucket or table full) is passed over silently.
  *field = FindOrAddSource(inventory, name, kLocalToZone, false);
  if (*field == nullptr) return;
  LogOnly("  Found Zone Model File: %s", name);
  static_cast<void>(ScanS3dSource(inventory, *field));  // the scanner reports its own problems
  AccountFile(name);
}

// The package of an entry: as written when it has an extension (not tested
// here), otherwise the .obg file before the .s3d one. None when neither exists.
const char* ResolvePackage(const char* package, char* buffer, std::size_t capacity) {
  if (HasDot(package)) return package;
  if (FormatName(buffer, capacity, "%s.obg", package) && FileExists(buffer)) return buffer;
  if (FormatName(buffer, capacity, "%s.s3d", package) && FileExists(buffer)) return buffer;
  return nullptr;
}

// Registers and scans a package no earlier step has seen; false when the
// registry refuses it. A failed scan still lets the model lookup run.
ModelSource* AddImportSource(Inventory& inventory, const char* name, const char* listName) {
  ModelSource* source = FindOrAddSource(inventory, name, kLocalToZone, false);
  if (source == nullptr) {
    LogBoth("      SKIPPED: Could not add model source %s from %s", name, listName);
    return nullptr;
  }
  if (EndsWithNoCase(name, ".obg")) {
    if (Failed(ScanObgSource(inventory, source))) {
      LogBoth("      SKIPPED: Problem loading models from %s in %s", name, listName);
    } else {
      LogOnly("      Loaded models from %s in %s", name, listName);
      AccountFile(name);
    }
  } else if (EndsWithNoCase(name, ".s3d")) {
    if (Failed(ScanS3dSource(inventory, source))) {
      LogBoth("   SKIPPED: Problem loading models from %s in %s", name, listName);
    } else {
      LogOnly("      Loaded models from %s in %s", name, listName);
      AccountFile(name);
    }
  } else {
    LogBoth("   SKIPPED: Unknown model source type %s in %s", name, listName);
  }
  return source;
}

// One "code, package" entry of an import list.
void ImportEntry(Inventory& inventory, ZoneRecord* zone, char* line, char* comma, const char* listName) {
  *comma = '\0';
  char* code = line;
  char* package = comma + 1;
  TrimText(code);
  TrimText(package);
  UpperInPlace(code);
  LowerInPlace(package);

  std::uint16_t raceId = 0;
  std::uint8_t gender = 0;
  if (Failed(DecodeModelCode(inventory, code, &raceId, &gender))) {
    LogBoth("   SKIPPED: No race found to match model code %s in %s", code, listName);
    return;
  }
  char buffer[kNameCapacity];
  const char* resolved = ResolvePackage(package, buffer, sizeof buffer);
  if (resolved == nullptr) {
    LogBoth("   SKIPPED: Model %s in %s, nonexistent %s.*", code, listName, package);
    return;
  }
  ModelSource* source = FindSource(inventory, resolved);
  if (source == nullptr) {
    source = AddImportSource(inventory, resolved, listName);
    if (source == nullptr) return;
  }
  ModelDef* model = nullptr;
  if (!FindRaceModel(inventory, source, raceId, gender, &model) || model == nullptr) {
    LogBoth("   SKIPPED: Model %s in %s, not in %s", code, listName, resolved);
    return;
  }
  static_cast<void>(AddZoneImport(zone, model));  // a full import list still logs the line below
  LogOnly("      Imported Model %s (Race %d, Gender %d) to Zone %s", code, static_cast<int>(model->raceId),
          static_cast<int>(model->gender), zone->zoneNick);
}

}  // namespace

Result LoadZoneModels(Inventory& inventory, ZoneRecord* zone) {
  if (zone == nullptr) return E_INVALIDARG;
  if (zone->zoneNick == nullptr || zone->zoneNick[0] == '\0') return E_FAIL;
  LoadZonePackage(inventory, zone->zoneNick, "%s_chr.s3d", &zone->chrSource);
  LoadZonePackage(inventory, zone->zoneNick, "%s_chr2.s3d", &zone->chr2Source);
  static_cast<void>(LoadZoneImports(inventory, zone));
  return S_OK;
}

Result LoadZoneImports(Inventory& inventory, ZoneRecord* zone) {
  if (zone == nullptr) return E_INVALIDARG;
  if (zone->zoneNick == nullptr || zone->zoneNick[0] == '\0') return E_FAIL;
  char listName[kNameCapacity];
  if (!FormatName(listName, sizeof listName, "%s_chr.txt", zone->zoneNick) || !FileExists(listName)) return S_OK;
  if (std::strlen(listName) > kLongestListName) {
    LogBoth("  SKIPPED: _sTXTFile '%s' is too long. Max allowed is %d characters!", listName,
            static_cast<int>(kLongestListName));
    return E_FAIL;
  }
  InputFile list;
  if (!list.Open(listName)) {
    LogBoth("  FAILURE: Problem opening TXT file %s for model import parsing.", listName);
    return E_FAIL;
  }
  LogOnly("  Found Zone Model Import File: %s", listName);

  char line[kLineCapacity];
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
        LogBoth("  SKIPPED: Unable to parse %s for model imports", listName);
        list.Close();
        return E_FAIL;
      }
      LogOnly("   Looking for %d model code/source entries in %s", expected, listName);
      continue;
    }
    char* comma = std::strchr(line, ',');
    if (comma == nullptr) continue;
    ImportEntry(inventory, zone, line, comma, listName);
    ++processed;
  }
  // A read error is not the end of the list: it is a list that could not be read.
  if (list.Failed()) {
    LogBoth("  FAILURE: Problem opening TXT file %s for model import parsing.", listName);
    return E_FAIL;
  }
  // A list without a single non-blank line has nothing to compare.
  if (haveHeader && processed != expected) {
    LogBoth("   ODDITY: Expected %d model references in %s, found %d", expected, listName, processed);
  }
  list.Close();
  return S_OK;
}

}  // namespace zira
