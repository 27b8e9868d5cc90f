#pragma once
#include <cstdint>
#include <string_view>

#include "client/race_table.h"
#include "client/table_views.h"
#include "store/inventory.h"

namespace zira {

inline Result DecodeModelCode(const Inventory& inventory, std::string_view code, std::uint16_t* raceId, Gender* gender) {
  return DecodeModelCode(inventory.client, code, raceId, gender);
}

// Registers a package as a model source (or finds it in its bucket); nullptr
// for bad input or a full bucket or table.
ModelSource* FindOrAddSource(Inventory& inventory, std::string_view name, SourceKind kind, bool orphan);
// Finds a source by name in its letter bucket, then the global bucket.
ModelSource* FindSource(Inventory& inventory, std::string_view name);

ModelDef* AddModel(Inventory& inventory, ModelSource* source, std::string_view code);
// The race's model of gender in source, or nullptr; records nothing.
ModelDef* LookUpRaceModel(const Inventory& inventory, const ModelSource* source, std::uint32_t raceId, Gender gender);
// Finds race's model of gender in source; with model given, records race and
// gender on the model found and hands it back.
bool FindRaceModel(const Inventory& inventory, ModelSource* source, std::uint32_t raceId, Gender gender,
                   ModelDef** model);

Result AddVariation(ModelDef* model, VariationKind kind, std::uint8_t value);
Result AddVariationRange(ModelDef* model, VariationKind kind, std::uint8_t count);
// Appends model to the zone's imports unless it is there already.
Result AddZoneImport(ZoneLinks& zone, ModelDef* model);

}  // namespace zira
