#pragma once
#include <chrono>
#include <memory>

#include "app/settings.h"
#include "common/console.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/output_file.h"
#include "common/run_io.h"
#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/worker_pool.h"
#include "packages/scan_ahead.h"
#include "reports/inventory_database.h"
#include "store/inventory.h"

namespace zira {

// Stand-ins and fault plans, so that failures can be shown; a run uses the
// real readers and no plans.
struct RunHooks {
  Result (*readRaceTable)(ClientImage&) = nullptr;
  Result (*readZoneTable)(ClientImage&) = nullptr;
  FileFaults* fileFaults = nullptr;
  DatabaseFaults* databaseFaults = nullptr;
};

// Everything one run holds, made from the command line and ZIRA.ini and
// passed down: nothing of a run lives outside it, so two runs can follow each
// other, or a test, in one process. The layers below see it through RunIo.
struct RunContext {
  RunContext(const RunHooks& runHooks, const SettingOverrides& runOverrides, std::string processFolder)
      : hooks(runHooks),
        overrides(runOverrides),
        files(std::move(processFolder), refusals, runHooks.fileFaults),
        log(console, refusals),
        pool(WorkerJobsFor(runOverrides.jobs)),
        inventory(std::make_unique<Inventory>()),
        scans(pool, inventory->client) {}

  RunIo Io() { return {files, log, stats, pool, &scans}; }

  const RunHooks& hooks;
  const SettingOverrides& overrides;
  Settings settings;
  MachineRefusals refusals;
  Console console;
  // The process's folder until the run enters the client folder; every name
  // is taken from here, the output folder's too.
  ClientFolder files;
  SessionLog log;
  RunStats stats;
  WorkerPool pool;
  std::unique_ptr<Inventory> inventory;  // value-initialized: every table empty
  // Packages read, inflated and scanned on the pool while discovery registers.
  ScanAhead scans;
  OutputFolderLock lock;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  // A report or the log that could not be written whole, or no output
  // folder: a finished run then ends with 6 instead of 0.
  bool outputIncomplete = false;
};

}  // namespace zira
