#include "reports/race_availability.h"

#include "reports/race_reports.h"
#include "store/model_registry.h"

namespace zira {

namespace {

bool ZoneConsidersSource(const ZoneLinks& zone, const ModelSource* source) {
  if (zone.IsOwnSource(source)) return true;
  for (const ModelDef* model : zone.Imports()) {
    if (model && model->source == source) return true;
  }
  return false;
}

// The zones that show the source's models of the race; true when there was one.
bool WalkZones(const Inventory& inventory, const RaceReportIndex& index, const SourceReach& reach,
               std::uint32_t raceId, AvailabilityVisitor& visitor) {
  bool used = false;
  for (const std::uint16_t z : index.zonesOfSource[reach.row]) {
    const ZoneLinks& links = inventory.zoneLinks[z];
    if (!ZoneConsidersSource(links, reach.source)) continue;
    ZoneReach zoneReach{z, &inventory.client.zones[z], links.IsOwnSource(reach.source), {}, 0};
    for (std::size_t g = 0; g < kGenderCount; ++g) {
      const ModelDef* model = ZoneFindRaceModel(inventory, links, raceId, kGenders[g]);
      if (model && model->source == reach.source) {
        zoneReach.models[g] = model;
        ++zoneReach.counted;
      }
    }
    if (zoneReach.counted == 0) continue;
    visitor.Zone(reach, zoneReach);
    used = true;
  }
  return used;
}

}  // namespace

void WalkRaceAvailability(const Inventory& inventory, const RaceReportIndex& index, std::uint32_t raceId,
                          AvailabilityVisitor& visitor) {
  if (raceId >= index.sourcesOfRace.size()) return;
  for (const std::uint16_t s : index.sourcesOfRace[raceId]) {
    const ModelSource& source = inventory.sources[s];
    if (!SourceHoldsRace(inventory, source, raceId)) continue;
    SourceReach reach{s, &source, {}, 0};
    for (std::size_t g = 0; g < kGenderCount; ++g) {
      reach.models[g] = LookUpRaceModel(inventory, &source, raceId, kGenders[g]);
      if (reach.models[g]) ++reach.found;
    }
    visitor.Source(reach);
    bool used = true;
    if (source.kind != SourceKind::kLocalToZone) {
      visitor.AllZones(reach);
    } else {
      used = WalkZones(inventory, index, reach, raceId, visitor);
    }
    visitor.SourceDone(reach, used);
  }
}

}  // namespace zira
