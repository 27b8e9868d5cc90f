#include "reports/race_availability.h"

#include <algorithm>

#include "reports/race_reports.h"
#include "store/model_registry.h"

namespace zira {

namespace {

constexpr int kGenderCount = 3;

bool IsSourceOfZone(const ZoneRecord& zone, const ModelSource* source) {
  return zone.chrSource == source || zone.chr2Source == source;
}

bool ZoneConsidersSource(const ZoneRecord& zone, const ModelSource* source) {
  if (IsSourceOfZone(zone, source)) return true;
  const std::size_t imports = std::min<std::size_t>(zone.importCount, kZoneImportCapacity);
  for (std::size_t i = 0; i < imports; ++i) {
    if (zone.imports[i] && zone.imports[i]->source == source) return true;
  }
  return false;
}

// The zones that show the source's models of the race; true when there was one.
bool WalkZones(const Inventory& inventory, const RaceReportIndex& index, const SourceReach& reach,
               std::uint32_t raceId, AvailabilityVisitor& visitor) {
  bool used = false;
  for (const std::uint16_t z : index.zonesOfSource[reach.row]) {
    const ZoneRecord& zone = inventory.client.zones[z];
    if (!ZoneConsidersSource(zone, reach.source)) continue;
    ZoneReach zoneReach{&zone, IsSourceOfZone(zone, reach.source), {}, 0};
    for (int gender = 1; gender <= kGenderCount; ++gender) {
      ModelDef* model = ZoneFindRaceModel(inventory, zone, raceId, gender);
      if (model && model->source == reach.source) {
        zoneReach.models[gender] = model;
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

void WalkRaceAvailability(Inventory& inventory, const RaceReportIndex& index, std::uint32_t raceId,
                          AvailabilityVisitor& visitor) {
  if (raceId >= index.sourcesOfRace.size()) return;
  for (const std::uint16_t s : index.sourcesOfRace[raceId]) {
    ModelSource& source = inventory.sources[s];
    if (!SourceHoldsRace(inventory, source, raceId)) continue;
    SourceReach reach{s, &source, {}, 0};
    for (int gender = 1; gender <= kGenderCount; ++gender) {
      if (FindRaceModel(inventory, &source, raceId, gender, &reach.models[gender]) && reach.models[gender]) {
        ++reach.found;
      }
    }
    visitor.Source(reach);
    bool used = false;
    if (source.kind != kLocalToZone) {
      visitor.AllZones(reach);
      used = true;
    } else {
      used = WalkZones(inventory, index, reach, raceId, visitor);
    }
    visitor.SourceDone(reach, used);
  }
}

}  // namespace zira
