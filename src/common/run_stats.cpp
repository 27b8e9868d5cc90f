#include "common/run_stats.h"

#include "common/file_system.h"

namespace zira {

void RunStats::AccountFile(ClientFolder& folder, const char* name) {
  std::uint32_t size = 0;
  if (name == nullptr || !folder.FileSize(name, &size)) return;
  AccountBytes(size);
}

}  // namespace zira
