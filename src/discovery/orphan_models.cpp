#include "discovery/orphan_models.h"

#include <algorithm>

#include "app/run_stats.h"
#include "app/session_log.h"
#include "client/race_table.h"
#include "common/file_system.h"
#include "common/text.h"
#include "discovery/package_names.h"
#include "packages/obg_scanner.h"
#include "packages/s3d_scanner.h"
#include "store/model_registry.h"

namespace zira {
namespace {

constexpr std::size_t kNameCapacity = 64;

// Whether one of the first sourceLimit sources holds the race's model.
bool IsCovered(Inventory& inventory, std::size_t sourceLimit, std::uint32_t race, std::uint32_t gender) {
  for (std::size_t row = 0; row < sourceLimit; ++row) {
    if (FindRaceModel(inventory, &inventory.sources[row], race, gender, nullptr)) return true;
  }
  return false;
}

// The package named after an orphan code, .obg before _chr.s3d; false when
// neither exists (or the name does not fit, so no such source could exist).
bool FindOrphanPackage(const char* code, char* name, std::size_t capacity) {
  if (FormatName(name, capacity, "%s.obg", code) && FileExists(name)) return true;
  if (FormatName(name, capacity, "%s_chr.s3d", code) && FileExists(name)) return true;
  return false;
}

void LoadOrphanPackage(Inventory& inventory, const char* name) {
  ModelSource* source = FindOrAddSource(inventory, name, kLocalToZone, true);
  if (source == nullptr) {
    LogBoth("  FAILURE: Problem adding orphan model source %s", name);
    return;
  }
  const bool obg = EndsWithNoCase(name, ".obg");
  if (Failed(obg ? ScanObgSource(inventory, source) : ScanS3dSource(inventory, source))) {
    LogBoth("  SKIPPED: Problem loading model information from %s", name);
    return;
  }
  LogOnly("  Loaded orphan model source %s", name);
  AccountFile(name);
}

}  // namespace

Result LoadOrphanModels(Inventory& inventory) {
  // Sources registered below are not searched, so a code met again finds its
  // package by file name.
  const std::size_t sourceLimit = std::min<std::size_t>(inventory.sourceCount, kSourceCapacity);
  const std::size_t lastRace = std::min<std::size_t>(inventory.client.maxRaceId, kMaxRaceId);
  const char* lastReported = nullptr;
  for (std::size_t raceRow = 1; raceRow <= lastRace; ++raceRow) {
    const auto race = static_cast<std::uint32_t>(raceRow);
    for (std::uint32_t gender = 1; gender <= 3; ++gender) {
      const char* code = RaceCode(inventory.client, race, gender);
      if (code == nullptr || code[0] == '\0') continue;
      if (IsCovered(inventory, sourceLimit, race, gender)) continue;
      char name[kNameCapacity];
      if (!FindOrphanPackage(code, name, sizeof name)) {
        // Two genders sharing one stored code are reported once; equal text
        // stored twice is two codes.
        if (code != lastReported) LogOnly("  ODDITY: Model code '%s' is truly orphaned (no sources)", code);
        lastReported = code;
        continue;
      }
      LoadOrphanPackage(inventory, name);
    }
  }
  return S_OK;
}

}  // namespace zira
