#include "discovery/orphan_models.h"

#include <cstring>
#include <string>
#include <vector>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/file_system.h"
#include "common/text.h"
#include "client/table_views.h"
#include "discovery/package_names.h"
#include "discovery/scan_plan.h"
#include "store/model_registry.h"

namespace zira {
namespace {

using CodeSet = std::unordered_set<std::string_view>;

// The model codes of the given sources. Those sources gain no
// models during this step, so one set answers every code's question.
CodeSet HeldCodes(std::span<const ModelSource> sources) {
  CodeSet codes;
  for (const ModelSource& source : sources) {
    for (const ModelDef* model : source.Models()) {
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
bool FindOrphanPackage(ClientFolder& folder, const char* code, char* name, std::size_t capacity) {
  if (FormatName(name, capacity, "%s.obg", code) && folder.FileExists(name)) return true;
  if (FormatName(name, capacity, "%s_chr.s3d", code) && folder.FileExists(name)) return true;
  return false;
}

void LoadOrphanPackage(const RunIo& io, Inventory& inventory, const char* name) {
  ModelSource* source = FindOrAddSource(inventory, name, SourceKind::kLocalToZone, true);
  if (source == nullptr) {
    io.log.Both("  FAILURE: Problem adding orphan model source %s", name);
    return;
  }
  // Orphan package names end in .obg or _chr.s3d.
  if (Failed(ScanPackage(io, inventory, source, PackageTypeOf(name)))) {
    io.log.Both("  SKIPPED: Problem loading model information from %s", name);
    return;
  }
  io.log.Only("  Loaded orphan model source %s", name);
  io.stats.AccountFile(io.files, name);
}

}  // namespace

Result LoadOrphanModels(const RunIo& io, Inventory& inventory) {
  // Sources registered below are not searched, so a code met again finds its
  // package by file name.
  const CodeSet held = HeldCodes(std::as_const(inventory).Sources());
  // The orphan codes and their packages (empty when none) first, so the
  // packages can be scanned ahead while they are registered.
  std::vector<std::pair<const char*, std::string>> orphans;
  const std::size_t raceRows = RaceRows(inventory.client).size();
  for (std::size_t raceRow = 1; raceRow < raceRows; ++raceRow) {
    const auto race = static_cast<std::uint32_t>(raceRow);
    for (const Gender gender : kGenders) {
      const char* code = RaceCodeOf(inventory.client, race, gender);
      if (code == nullptr || IsCovered(held, code)) continue;
      char name[kSourceNameCapacity];  // a longer name could not be registered
      orphans.emplace_back(code, FindOrphanPackage(io.files, code, name, sizeof name) ? name : "");
    }
  }
  if (io.scans != nullptr && io.scans->Running()) {
    ScanPlan plan;
    for (const auto& orphan : orphans) {
      if (!orphan.second.empty()) plan.Add(io.files, orphan.second.c_str(), SourceKind::kLocalToZone);
    }
    io.scans->Plan(plan.Take());
  }
  const char* lastReported = nullptr;
  for (const auto& [code, name] : orphans) {
    if (name.empty()) {
      // Two genders sharing one stored code are reported once; equal text
      // stored twice is two codes.
      if (code != lastReported) io.log.Only("  ODDITY: Model code '%s' is truly orphaned (no sources)", code);
      lastReported = code;
      continue;
    }
    LoadOrphanPackage(io, inventory, name.c_str());
  }
  return kSuccess;
}

}  // namespace zira
