#pragma once
#include <cstddef>
#include <cstdint>

#include "reports/race_report_index.h"
#include "store/inventory.h"

namespace zira {

// Where one race's models can be shown, walked once for the race page and
// once for the inventory database, so that the two cannot disagree. Genders
// index the arrays (1 male, 2 female, 3 neutral; 0 unused).

// A source that holds the race, with its models of the race.
struct SourceReach {
  std::size_t row;  // row in the model source table
  ModelSource* source;
  ModelDef* models[4];  // found by FindRaceModel, which recorded race and gender on each
  int found;            // how many genders have a model
};

// A zone that shows at least one of those models.
struct ZoneReach {
  const ZoneRecord* zone;
  bool local;           // the source is one of the zone's own packages, else the zone imports from it
  ModelDef* models[4];  // the model the zone shows for each gender, when it comes from the source
  int counted;          // how many genders the zone shows from the source
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
// zones that show its models. Records race and gender on the models it finds,
// as the race page's lookups do.
void WalkRaceAvailability(Inventory& inventory, const RaceReportIndex& index, std::uint32_t raceId,
                          AvailabilityVisitor& visitor);

}  // namespace zira
