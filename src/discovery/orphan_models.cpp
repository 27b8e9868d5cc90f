#include "discovery/orphan_models.h"

namespace zira {

Result LoadOrphanModels(Inventory&) { return S_OK; }

}  // namespace zira
