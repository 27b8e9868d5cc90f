#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "reports/race_report_index.h"
#include "store/inventory.h"

namespace zira {

// Where one race's models can be shown, walked once for the race page and
// once for the inventory database, so that the two cannot disagree. The
// arrays follow kGenders (male, female, neutral).

// A source that holds the race, with its models of the race.
struct SourceReach {
  std::size_t row;  // row in the model source table
  const ModelSource* source;
  std::array<const ModelDef*, kGenderCount> models;
  int found;  // how many genders have a model
};

// A zone that shows at least one of those models.
struct ZoneReach {
  std::uint16_t zoneId;
  const ZoneRecord* zone;
  bool local;  // the source is one of the zone's own packages, else the zone imports from it
  std::array<const ModelDef*, kGenderCount> models;  // what the zone shows per gender, when from the source
  int counted;  // how many genders the zone shows from the source
};

// What the walk reports, in the order the race page lists it.
class AvailabilityVisitor {
 public:
  virtual ~AvailabilityVisitor() = default;
  // A source that holds the race, before its zones.
  virtual void Source(const SourceReach& source) = 0;
  // A global source: every zone shows what it holds.
  virtual void AllZones(const SourceReach& source) = 0;
  virtual void Zone(const SourceReach& source, const ZoneReach& zone) = 0;
  // After the source's zones; usedByZone when a zone or all zones showed it.
  virtual void SourceDone(const SourceReach& source, bool usedByZone) = 0;
};

// Walks the sources that hold the race in table order and, for each, the
// zones that show its models. Looks only: the race marks are a step of their own.
void WalkRaceAvailability(const Inventory& inventory, const RaceReportIndex& index, std::uint32_t raceId,
                          AvailabilityVisitor& visitor);

}  // namespace zira
