#include "packages/obg_scanner.h"

namespace zira {

Result ScanObgSource(Inventory&, ModelSource* source) { return source ? E_FAIL : E_INVALIDARG; }

}  // namespace zira
