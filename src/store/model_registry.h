#pragma once
#include <cstdint>

#include "store/inventory.h"

namespace zira {

// The race and gender a model code stands for: the highest race whose code
// matches, male before female before neutral.
Result DecodeModelCode(const Inventory& inventory, const char* code, std::uint16_t* raceId, std::uint8_t* gender);

// Registers a package as a model source (or finds it in its bucket); nullptr
// for bad input or a full bucket or table.
ModelSource* FindOrAddSource(Inventory& inventory, const char* name, std::uint8_t kind, bool orphan);
// Finds a source by name in its letter bucket, then the global bucket.
ModelSource* FindSource(Inventory& inventory, const char* name);

ModelDef* AddModel(Inventory& inventory, ModelSource* source, const char* code);
// Finds race's model of gender in source; with model given, records race and
// gender on the model found and hands it back.
bool FindRaceModel(const Inventory& inventory, ModelSource* source, std::uint32_t raceId, std::uint32_t gender,
                   ModelDef** model);

Result AddVariation(ModelDef* model, std::uint32_t kind, std::uint8_t value);
Result AddVariationRange(ModelDef* model, std::uint32_t kind, std::uint8_t count);
Result AddZoneImport(ZoneRecord* zone, ModelDef* model);

// Whether the race table row of raceId holds a playable race id.
bool IsPlayableRaceRow(const ClientImage& client, std::uint32_t raceId);

}  // namespace zira
