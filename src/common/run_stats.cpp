#include "common/run_stats.h"

#include "common/file_system.h"

namespace zira {

RunStats& TheRunStats() {
  static RunStats stats;
  return stats;
}

void ResetRunStats() { TheRunStats() = RunStats{}; }

void AccountFile(const char* path) {
  std::uint32_t size = 0;
  if (path == nullptr || !FileSize(path, &size)) return;
  AccountBytes(size);
}

void AccountBytes(std::uint64_t bytes) {
  RunStats& stats = TheRunStats();
  stats.files += 1;
  stats.bytes += bytes;
}

}  // namespace zira
