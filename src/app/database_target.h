#pragma once
#include <string>

#include "app/settings.h"

namespace zira {

// Why --db must not replace what stands at path, or the empty text when it
// may: only nothing, an empty file or an inventory database this program
// wrote is replaced, and never a file the run reads or writes itself, told by
// identity, not by spelling. Asked before the run reads or writes anything.
// Names are resolved through folder, the process's folder.
std::string DatabaseTargetProblem(ClientFolder& folder, const std::string& path, const Settings& settings);

}  // namespace zira
