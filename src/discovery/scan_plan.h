#pragma once
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/run_io.h"
#include "packages/scan_ahead.h"
#include "store/inventory.h"

namespace zira {

// Collects the packages discovery is going to scan, in its order, each once
// under the name its source will have.
class ScanPlan {
 public:
  // A package discovery would register under this kind, if it exists.
  void Add(ClientFolder& files, const char* name, SourceKind kind);
  // What was added since the last take; names seen stay seen.
  std::vector<PlannedScan> Take() { return std::exchange(scans_, {}); }

 private:
  std::vector<PlannedScan> scans_;
  std::unordered_set<std::string> seen_;
};

// Hands ahead the packages the global and zone steps are going to scan, read
// from the same lists those steps read: a forecast for scanning ahead, given
// in parts so the first scans begin while the rest is still being read.
void PlanGlobalAndZoneScans(const RunIo& io, const Inventory& inventory, ScanAhead& ahead);

}  // namespace zira
