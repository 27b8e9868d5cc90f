#include "discovery/global_models.h"

#include <cstring>

#include "common/run_stats.h"
#include "common/session_log.h"
#include "client/race_table.h"
#include "common/file_names.h"
#include "common/file_system.h"
#include "client/edition.h"
#include "common/text.h"
#include "client/table_views.h"
#include "common/capacities.h"
#include "discovery/package_names.h"
#include "discovery/scan_plan.h"
#include "store/model_registry.h"

namespace zira {
namespace {

constexpr std::size_t kRaceNameCapacity = 1024;
constexpr int kListFields = 5;  // four fields and the rest of the line

// One hard-coded or per-race package: missing files are passed over silently.
void LoadHardCodedPackage(const RunIo& io, Inventory& inventory, const char* name, SourceKind kind) {
  if (!io.files.FileExists(name)) return;
  io.log.Only("   Loading global models from %s", name);
  ModelSource* source = FindOrAddSource(inventory, name, kind, false);
  if (source == nullptr || Failed(ScanPackage(io, inventory, source, PackageTypeOf(name)))) {
    io.log.Both("    SKIPPED: Problem loading global models from %s", name);
    return;
  }
  io.stats.AccountFile(io.files, name);
}

// Both endings of a hard-coded name, the .obg one first.
void LoadHardCodedName(const RunIo& io, Inventory& inventory, const char* base, SourceKind kind) {
  char name[kPathCapacity];
  if (FormatName(name, sizeof name, "%s.obg", base)) LoadHardCodedPackage(io, inventory, name, kind);
  if (FormatName(name, sizeof name, "%s.s3d", base)) LoadHardCodedPackage(io, inventory, name, kind);
}

constexpr const char* kOstraHardCodedNames[] = {"global5_chr2", "global5_chr", "frog_mount_chr"};

// Calls fn with the name of every per-race package a playable race's codes give.
template <typename Fn>
void ForEachRacePackage(const ClientImage& client, Fn fn) {
  const std::size_t raceRows = RaceRows(client).size();
  for (std::size_t race = 0; race < raceRows; ++race) {
    if (!IsPlayableRace(client.races[race].raceId)) continue;
    for (const Gender gender : kGenders) {
      // An empty code is no code: it would only name the plain "global_chr" package.
      const char* code = RaceCodeOf(client, static_cast<std::uint32_t>(race), gender);
      if (code == nullptr) continue;
      for (const char* suffix : {"", "2"}) {
        char name[kRaceNameCapacity];
        if (FormatName(name, sizeof name, "global%s_chr%s.s3d", code, suffix)) fn(name);
      }
    }
  }
}

void LoadRacePackages(const RunIo& io, Inventory& inventory) {
  ForEachRacePackage(inventory.client, [&](const char* name) {
    LoadHardCodedPackage(io, inventory, name, SourceKind::kWithOstraModels);
  });
}

// Calls fn with the package field of every line of the load list the
// edition counts; false when the list cannot be opened or read to its end.
// keeping: whether the list is read again later in the run.
template <typename Fn>
bool ForEachListedPackage(const RunIo& io, const Inventory& inventory, InputFile::Keeping keeping, Fn fn) {
  InputFile list;
  if (!list.Open(io.files, kGlobalLoadListName, keeping)) return false;
  char line[kListLineCapacity];
  char fieldBuffer[kListLineCapacity];
  const LoadListFilter& filter = RulesOfEdition(inventory.client.editionId).loadList;
  while (list.ReadLine(line, sizeof line)) {
    std::size_t length = std::strlen(line);
    TrimCounted(line, &length);
    if (length == 0) continue;
    char* fields[kListFields] = {};
    if (SplitFields(line, ',', fieldBuffer, sizeof fieldBuffer, fields, kListFields) < kListFields) continue;
    if (!filter.Counts(fields[0], fields[2], fields[3])) continue;
    fn(fields[3]);
  }
  return !list.Failed();
}

void LoadListedPackage(const RunIo& io, Inventory& inventory, char* package) {
  if (TrimText(package) == 0) return;
  LowerInPlace(package);

  char buffer[kPathCapacity];
  const char* name = ResolvePackageName(io.files, package, buffer, sizeof buffer);
  if (name == nullptr) {
    io.log.Both("   SKIPPED: GlobalLoad - Could not find model source %s.*", package);
    return;
  }
  if (name == package && !io.files.FileExists(name)) {
    io.log.Both("   SKIPPED: GlobalLoad - Could not find model source %s", package);
    return;
  }
  const PackageType type = PackageTypeOf(name);
  if (type == PackageType::kOther) {
    io.log.Both("   ODDITY: Did not recognize model source file extension for %s", name);
    return;
  }
  ModelSource* source = FindOrAddSource(inventory, name, SourceKind::kGlobalLoadList, false);
  if (source == nullptr) {
    io.log.Both("   SKIPPED: Could not add model source for %s", name);
    return;
  }
  io.log.Only("   Loading global model source %s", name);
  if (Failed(ScanPackage(io, inventory, source, type))) {
    io.log.Both("   SKIPPED: Could not load model source %s", name);
    return;
  }
  io.stats.AccountFile(io.files, name);
}

void LoadGlobalLoadList(const RunIo& io, Inventory& inventory) {
  io.log.Both("  Loading and parsing %s...", kGlobalLoadListName);
  // A list that cannot be read to its end is reported as one that cannot be read.
  const auto load = [&](char* package) { LoadListedPackage(io, inventory, package); };
  if (!ForEachListedPackage(io, inventory, InputFile::Keeping::kNone, load)) {
    io.log.Both("  SKIPPING: %s not found", kGlobalLoadListName);
  }
  io.stats.AccountFile(io.files, kGlobalLoadListName);
}

}  // namespace

Result LoadGlobalModels(const RunIo& io, Inventory& inventory) {
  io.log.Both("  Loading Hard-Coded Non-Ostra Global Models...");
  LoadHardCodedName(io, inventory, "global7_chr", SourceKind::kWithoutOstraModels);

  io.log.Both("  Loading Ostra playable race model sources...");
  LoadRacePackages(io, inventory);

  io.log.Both("  Loading Hard-Coded Ostra Global Models...");
  for (const char* base : kOstraHardCodedNames) LoadHardCodedName(io, inventory, base, SourceKind::kWithOstraModels);

  LoadGlobalLoadList(io, inventory);
  return kSuccess;
}

void PlanGlobalScans(const RunIo& io, const Inventory& inventory, ScanPlan& plan) {
  const auto hardCoded = [&](const char* base, SourceKind kind) {
    char name[kPathCapacity];
    if (FormatName(name, sizeof name, "%s.obg", base)) plan.Add(io.files, name, kind);
    if (FormatName(name, sizeof name, "%s.s3d", base)) plan.Add(io.files, name, kind);
  };
  hardCoded("global7_chr", SourceKind::kWithoutOstraModels);
  ForEachRacePackage(inventory.client,
                     [&](const char* name) { plan.Add(io.files, name, SourceKind::kWithOstraModels); });
  for (const char* base : kOstraHardCodedNames) hardCoded(base, SourceKind::kWithOstraModels);
  static_cast<void>(ForEachListedPackage(io, inventory, InputFile::Keeping::kForNextOpen, [&](char* package) {
    if (TrimText(package) == 0) return;
    LowerInPlace(package);
    char buffer[kPathCapacity];
    const char* name = ResolvePackageName(io.files, package, buffer, sizeof buffer);
    if (name != nullptr) plan.Add(io.files, name, SourceKind::kGlobalLoadList);
  }));
}

}  // namespace zira
