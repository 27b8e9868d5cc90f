#include "packages/s3d_scanner.h"

namespace zira {

Result ScanS3dSource(Inventory&, ModelSource* source) { return source ? E_FAIL : E_INVALIDARG; }

}  // namespace zira
