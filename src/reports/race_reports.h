#pragma once
#include <cstdint>

#include "store/inventory.h"

namespace zira {

// Writes the race code list and the race page into outputPath. Records race
// and gender on the models its lookups find, which the zone page prints.
Result ExportRaceReports(Inventory& inventory, const char* outputPath);

// True when the race page lists the race: its row is filled and it has a
// code, a name or a plural.
bool IsListedRace(const Inventory& inventory, std::uint32_t raceId);
// The race's code for gender 1 to 3 as the race page shows it, or nullptr
// when the race has none (rows 0 and above the highest race id have none).
const char* PageRaceCode(const ClientImage& client, std::uint32_t raceId, std::uint32_t gender);

// True when one of the source's models carries the race or one of its codes.
bool SourceHoldsRace(const Inventory& inventory, const ModelSource& source, std::uint32_t raceId);
// The model a zone shows for race and gender: its own sources first (the
// match is recorded on the model), then its imports in order; or nullptr.
ModelDef* ZoneFindRaceModel(const Inventory& inventory, const ZoneRecord& zone, std::uint32_t raceId,
                            std::uint32_t gender);
// True when a source of the global source list holds one of the race's models.
bool IsRaceGloballyAvailable(Inventory& inventory, std::uint32_t raceId);

}  // namespace zira
