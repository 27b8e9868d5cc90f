#include "discovery/scan_plan.h"

#include "client/table_views.h"
#include "common/file_system.h"
#include "common/text.h"
#include "discovery/global_models.h"
#include "discovery/package_names.h"
#include "discovery/zone_models.h"

namespace zira {

void ScanPlan::Add(ClientFolder& files, const char* name, SourceKind kind) {
  PlannedScan scan;
  scan.name = name;
  TrimText(scan.name.data());
  scan.name.resize(std::char_traits<char>::length(scan.name.c_str()));
  LowerInPlace(scan.name.data());
  scan.type = PackageTypeOf(scan.name.c_str());
  if (scan.type == PackageType::kOther || scan.name.size() >= kSourceNameCapacity) return;
  if (!seen_.insert(scan.name).second) return;
  std::uint32_t bytes = 0;
  if (!files.ResolveExisting(scan.name.c_str(), &scan.realPath) || !files.FileSize(scan.name.c_str(), &bytes)) return;
  scan.fileBytes = bytes;
  scan.perRaceRules = kind == SourceKind::kWithOstraModels;
  scans_.push_back(std::move(scan));
}

void PlanGlobalAndZoneScans(const RunIo& io, const Inventory& inventory, ScanAhead& ahead) {
  constexpr std::size_t kZonesAPart = 64;
  ScanPlan plan;
  PlanGlobalScans(io, inventory, plan);
  ahead.Plan(plan.Take());
  const std::size_t zoneRows = ZoneRows(inventory.client).size();
  for (std::size_t id = 0; id < zoneRows; ++id) {
    PlanZoneScans(io, inventory, id, plan);
    if ((id + 1) % kZonesAPart == 0 || id + 1 == zoneRows) ahead.Plan(plan.Take());
  }
}

}  // namespace zira
