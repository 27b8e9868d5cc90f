#include "store/model_registry.h"

namespace zira {

Result DecodeModelCode(const Inventory&, const char*, std::uint16_t* raceId, std::uint8_t* gender) {
  if (raceId) *raceId = 0;
  if (gender) *gender = 0;
  return E_FAIL;
}
ModelSource* FindOrAddSource(Inventory&, const char*, std::uint8_t, bool) { return nullptr; }
ModelSource* FindSource(Inventory&, const char*) { return nullptr; }
ModelDef* AddModel(Inventory&, ModelSource*, const char*) { return nullptr; }
bool FindRaceModel(const Inventory&, ModelSource*, std::uint32_t, std::uint32_t, ModelDef** model) {
  if (model) *model = nullptr;
  return false;
}
Result AddVariation(ModelDef*, std::uint32_t, std::uint8_t) { return S_OK; }
Result AddVariationRange(ModelDef*, std::uint32_t, std::uint8_t) { return S_OK; }
Result AddZoneImport(ZoneRecord*, ModelDef* model) { return model ? S_OK : E_INVALIDARG; }
bool IsPlayableRaceRow(const ClientImage&, std::uint32_t) { return false; }

}  // namespace zira
