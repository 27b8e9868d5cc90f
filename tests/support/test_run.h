#pragma once
#include <memory>
#include <string>

#include "common/console.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/output_file.h"
#include "common/run_io.h"
#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/worker_pool.h"
#include "store/inventory.h"

namespace zira::testing {

// The parts of one run that a test of a lower layer works through, rooted at
// a folder of the test's own: a fresh store, zeroed statistics, a log that
// is not installed and one job unless asked for more. Each test makes its
// own, so no test leaves anything behind for the next.
struct TestRun {
  explicit TestRun(const std::string& folder, unsigned jobs = 1)
      : files(folder, refusals, &faults),
        log(console, refusals),
        pool(jobs),
        inventory(std::make_unique<Inventory>()) {}

  RunIo Io() { return {files, log, stats, pool}; }

  MachineRefusals refusals;
  Console console;
  FileFaults faults;
  ClientFolder files;
  SessionLog log;
  RunStats stats;
  WorkerPool pool;
  std::unique_ptr<Inventory> inventory;
};

}  // namespace zira::testing
