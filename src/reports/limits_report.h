#pragma once

#include "common/result.h"
#include "common/run_io.h"
#include "store/inventory.h"

namespace zira {

// Writes the twenty MAXIMUM lines to the log only; nothing without a log.
Result LogMaximums(SessionLog& log, const Inventory& inventory);

}  // namespace zira
