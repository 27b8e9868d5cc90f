#pragma once
#include <cstdint>

#include "common/run_io.h"
#include "store/inventory.h"

namespace zira {

// Writes the race code list and the race page into outputPath.
Result ExportRaceReports(const RunIo& io, Inventory& inventory, const char* outputPath);
// Records on each model the race and gender the race page shows it under
// (the highest race whose section lists it); the zone page prints them.
void RecordRaceMarks(Inventory& inventory);

// True when the race page lists the race: its row is filled and it has a
// code, a name or a plural.
bool IsListedRace(const Inventory& inventory, std::uint32_t raceId);
// The race's code for a gender as the race page shows it, or nullptr when the
// race has none (rows 0 and above the highest race id have none).
const char* PageRaceCode(const ClientImage& client, std::uint32_t raceId, Gender gender);

// True when one of the source's models carries the race or one of its codes.
bool SourceHoldsRace(const Inventory& inventory, const ModelSource& source, std::uint32_t raceId);
// The model a zone shows for race and gender: its own sources first, then
// its imports in order; or nullptr.
ModelDef* ZoneFindRaceModel(const Inventory& inventory, const ZoneLinks& zone, std::uint32_t raceId, Gender gender);
// True when a source of the global source list holds one of the race's models.
bool IsRaceGloballyAvailable(Inventory& inventory, std::uint32_t raceId);

}  // namespace zira
