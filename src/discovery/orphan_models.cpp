#include "discovery/orphan_models.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "common/run_stats.h"
#include "common/session_log.h"
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

using CodeSet = std::unordered_set<std::string_view>;

// The model codes of the first sourceLimit sources. Those sources gain no
// models during this step, so one set answers every code's question.
CodeSet HeldCodes(const Inventory& inventory, std::size_t sourceLimit) {
  CodeSet codes;
  for (std::size_t row = 0; row < sourceLimit; ++row) {
    const ModelSource& source = inventory.sources[row];
    const std::size_t count = std::min<std::size_t>(source.modelCount, kModelsPerSource);
    for (std::size_t i = 0; i < count; ++i) {
      const ModelDef* model = source.models[i];
      // Only a code of up to 13 characters can equal a race code a lookup accepts.
      if (model != nullptr && model->codeLength < kModelCodeCapacity) codes.emplace(model->code, model->codeLength);
    }
  }
  return codes;
}

// Whether one of the first sourceLimit sources holds the race's model: the
// set holds exactly the codes such a lookup would find there.
bool IsCovered(const CodeSet& held, const char* code) {
  const std::size_t length = strnlen(code, kModelCodeCapacity);
  return length < kModelCodeCapacity && held.count(std::string_view(code, length)) != 0;
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
  const CodeSet held = HeldCodes(inventory, sourceLimit);
  const char* lastReported = nullptr;
  for (std::size_t raceRow = 1; raceRow <= lastRace; ++raceRow) {
    const auto race = static_cast<std::uint32_t>(raceRow);
    for (std::uint32_t gender = 1; gender <= 3; ++gender) {
      const char* code = RaceCode(inventory.client, race, gender);
      if (code == nullptr || code[0] == '\0') continue;
      if (IsCovered(held, code)) continue;
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
