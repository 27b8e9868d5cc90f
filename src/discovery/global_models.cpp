#include "discovery/global_models.h"

#include <algorithm>
#include <cstring>

#include "common/run_stats.h"
#include "common/session_log.h"
#include "client/race_table.h"
#include "common/file_names.h"
#include "common/file_system.h"
#include "common/races.h"
#include "common/text.h"
#include "discovery/package_names.h"
#include "packages/obg_scanner.h"
#include "packages/s3d_scanner.h"
#include "store/model_registry.h"

namespace zira {
namespace {

constexpr std::size_t kLineCapacity = 1024;  // lines of up to 1023 characters
constexpr std::size_t kNameCapacity = 260;
constexpr std::size_t kRaceNameCapacity = 1024;
constexpr int kListFields = 5;  // four fields and the rest of the line

// One hard-coded or per-race package: missing files are passed over silently.
void LoadHardCodedPackage(Inventory& inventory, const char* name, std::uint8_t kind, bool obg) {
  if (!FileExists(name)) return;
  LogOnly("   Loading global models from %s", name);
  ModelSource* source = FindOrAddSource(inventory, name, kind, false);
  const bool loaded =
      source != nullptr && Succeeded(obg ? ScanObgSource(inventory, source) : ScanS3dSource(inventory, source));
  if (!loaded) {
    LogBoth("    SKIPPED: Problem loading global models from %s", name);
    return;
  }
  AccountFile(name);
}

// Both endings of a hard-coded name, the .obg one first.
void LoadHardCodedName(Inventory& inventory, const char* base, std::uint8_t kind) {
  char name[kNameCapacity];
  if (FormatName(name, sizeof name, "%s.obg", base)) LoadHardCodedPackage(inventory, name, kind, true);
  if (FormatName(name, sizeof name, "%s.s3d", base)) LoadHardCodedPackage(inventory, name, kind, false);
}

void LoadRacePackages(Inventory& inventory) {
  const ClientImage& client = inventory.client;
  const std::size_t lastRace = std::min<std::size_t>(client.maxRaceId, kMaxRaceId);
  for (std::size_t race = 0; race <= lastRace; ++race) {
    if (!IsPlayableRace(client.races[race].raceId)) continue;
    for (std::uint32_t gender = 1; gender <= 3; ++gender) {
      const char* code = RaceCode(client, static_cast<std::uint32_t>(race), gender);
      // An empty code is no code: it would only name the plain "global_chr" package.
      if (code == nullptr || code[0] == '\0') continue;
      for (const char* suffix : {"", "2"}) {
        char name[kRaceNameCapacity];
        if (FormatName(name, sizeof name, "global%s_chr%s.s3d", code, suffix)) {
          LoadHardCodedPackage(inventory, name, kWithOstraModels, false);
        }
      }
    }
  }
}

// Whether a line of the global load list applies to the recognized edition.
bool LineCounts(std::uint8_t editionId, char* const* fields) {
  switch (editionId) {
    case 1: {
      const char* package = fields[3];
      return fields[0][0] != '2' && (EndsWithNoCase(package, ".obg") || EndsWithNoCase(package, "_chr") ||
                                     EndsWithNoCase(package, "_chr2"));
    }
    case 2: {
      const std::size_t length = std::strlen(fields[2]);
      return length > 0 && (fields[2][length - 1] | 0x20) == 'c';
    }
    default:
      return true;
  }
}

void LoadListedPackage(Inventory& inventory, char* package) {
  if (TrimText(package) == 0) return;
  LowerInPlace(package);

  char resolved[kNameCapacity];
  const char* name = package;
  if (HasDot(package)) {
    if (!FileExists(package)) {
      LogBoth("   SKIPPED: GlobalLoad - Could not find model source %s", package);
      return;
    }
  } else if (FormatName(resolved, sizeof resolved, "%s.obg", package) && FileExists(resolved)) {
    name = resolved;
  } else if (FormatName(resolved, sizeof resolved, "%s.s3d", package) && FileExists(resolved)) {
    name = resolved;
  } else {
    LogBoth("   SKIPPED: GlobalLoad - Could not find model source %s.*", package);
    return;
  }

  bool obg = false;
  if (EndsWithNoCase(name, ".s3d")) {
    obg = false;
  } else if (EndsWithNoCase(name, ".obg")) {
    obg = true;
  } else {
    LogBoth("   ODDITY: Did not recognize model source file extension for %s", name);
    return;
  }
  ModelSource* source = FindOrAddSource(inventory, name, kGlobalLoadList, false);
  if (source == nullptr) {
    LogBoth("   SKIPPED: Could not add model source for %s", name);
    return;
  }
  LogOnly("   Loading global model source %s", name);
  if (Failed(obg ? ScanObgSource(inventory, source) : ScanS3dSource(inventory, source))) {
    LogBoth("   SKIPPED: Could not load model source %s", name);
    return;
  }
  AccountFile(name);
}

void LoadGlobalLoadList(Inventory& inventory) {
  LogBoth("  Loading and parsing %s...", kGlobalLoadListName);
  InputFile list;
  if (!list.Open(kGlobalLoadListName)) {
    LogBoth("  SKIPPING: %s not found", kGlobalLoadListName);
  } else {
    char line[kLineCapacity];
    char fieldBuffer[kLineCapacity];
    while (list.ReadLine(line, sizeof line)) {
      std::size_t length = std::strlen(line);
      TrimCounted(line, &length);
      if (length == 0) continue;
      char* fields[kListFields] = {};
      if (SplitFields(line, ',', fieldBuffer, sizeof fieldBuffer, fields, kListFields) < kListFields) continue;
      if (!LineCounts(inventory.client.editionId, fields)) continue;
      LoadListedPackage(inventory, fields[3]);
    }
    // A list that cannot be read to its end is reported as one that cannot be read.
    if (list.Failed()) LogBoth("  SKIPPING: %s not found", kGlobalLoadListName);
    list.Close();
  }
  AccountFile(kGlobalLoadListName);
}

}  // namespace

Result LoadGlobalModels(Inventory& inventory) {
  LogBoth("  Loading Hard-Coded Non-Ostra Global Models...");
  LoadHardCodedName(inventory, "global7_chr", kWithoutOstraModels);

  LogBoth("  Loading Ostra playable race model sources...");
  LoadRacePackages(inventory);

  LogBoth("  Loading Hard-Coded Ostra Global Models...");
  for (const char* base : {"global5_chr2", "global5_chr", "frog_mount_chr"}) {
    LoadHardCodedName(inventory, base, kWithOstraModels);
  }

  LoadGlobalLoadList(inventory);
  return S_OK;
}

}  // namespace zira
