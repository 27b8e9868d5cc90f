#include "discovery/global_models.h"

namespace zira {

Result LoadGlobalModels(Inventory&) { return S_OK; }

}  // namespace zira
