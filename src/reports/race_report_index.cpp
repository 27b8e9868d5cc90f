#include "reports/race_report_index.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

#include "client/table_views.h"
#include "store/model_registry.h"

namespace zira {

namespace {

void AddRow(std::vector<std::uint16_t>& rows, std::size_t row) {
  if (rows.empty() || rows.back() != row) rows.push_back(static_cast<std::uint16_t>(row));
}

// The source row a zone field points to, or the capacity when it points elsewhere.
std::size_t RowOf(const Inventory& inventory, const ModelSource* source, std::size_t sourceCount) {
  if (source == nullptr || source < inventory.sources || source >= inventory.sources + sourceCount) return sourceCount;
  return static_cast<std::size_t>(source - inventory.sources);
}

}  // namespace

void BuildRaceReportIndex(const Inventory& inventory, RaceReportIndex* index) {
  const ClientImage& client = inventory.client;
  const std::size_t lastRace = RaceRows(client).size() - 1;
  const std::span<const ModelSource> sources = inventory.Sources();
  const std::size_t sourceCount = sources.size();
  index->sourcesOfRace.assign(lastRace + 1, {});
  index->zonesOfSource.assign(sourceCount, {});

  // Races by code text; one code may stand for several races.
  std::unordered_map<std::string_view, std::vector<std::uint16_t>> racesOfCode;
  for (std::size_t race = 1; race <= lastRace; ++race) {
    for (const Gender gender : kGenders) {
      const char* code = RaceCodeOf(client, static_cast<std::uint32_t>(race), gender);
      if (code != nullptr) AddRow(racesOfCode[std::string_view(code)], race);
    }
  }
  for (std::size_t row = 0; row < sourceCount; ++row) {
    for (const ModelDef* model : sources[row].Models()) {
      if (model == nullptr) continue;
      const auto found = racesOfCode.find(std::string_view(model->code, strnlen(model->code, kModelCodeCapacity)));
      if (found != racesOfCode.end()) {
        for (std::uint16_t race : found->second) AddRow(index->sourcesOfRace[race], row);
      }
      if (model->raceId >= 1 && model->raceId <= lastRace) AddRow(index->sourcesOfRace[model->raceId], row);
    }
  }

  const std::size_t zoneRows = ZoneRows(client).size();
  for (std::size_t z = 0; z < zoneRows; ++z) {
    const ZoneLinks& zone = inventory.zoneLinks[z];
    std::size_t rows[2 + kZoneImportCapacity];
    std::size_t count = 0;
    rows[count++] = RowOf(inventory, zone.chrSource, sourceCount);
    rows[count++] = RowOf(inventory, zone.chr2Source, sourceCount);
    for (const ModelDef* model : zone.Imports()) {
      rows[count++] = model ? RowOf(inventory, model->source, sourceCount) : sourceCount;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (rows[i] < sourceCount) AddRow(index->zonesOfSource[rows[i]], z);
    }
  }
}

}  // namespace zira
