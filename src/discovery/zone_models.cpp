#include "discovery/zone_models.h"

namespace zira {

Result LoadZoneModels(Inventory& inventory, ZoneRecord* zone) {
  if (zone == nullptr) return E_INVALIDARG;
  if (zone->zoneNick == nullptr || zone->zoneNick[0] == '\0') return E_FAIL;
  LoadZoneImports(inventory, zone);
  return S_OK;
}

Result LoadZoneImports(Inventory&, ZoneRecord*) { return S_OK; }

}  // namespace zira
