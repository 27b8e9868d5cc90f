#include "app/run_driver.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>

#include "common/console.h"
#include "app/database_target.h"
#include "app/key_press.h"
#include "app/phase_times.h"
#include "common/run_stats.h"
#include "common/session_log.h"
#include "app/run_context.h"
#include "app/settings.h"
#include "client/race_table.h"
#include "client/table_views.h"
#include "client/zone_table.h"
#include "common/file_names.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "discovery/global_models.h"
#include "discovery/orphan_models.h"
#include "discovery/scan_plan.h"
#include "discovery/zone_models.h"
#include "reports/inventory_database.h"
#include "reports/limits_report.h"
#include "reports/race_reports.h"
#include "reports/zone_reports.h"
#include "store/inventory.h"

namespace zira {

namespace {

constexpr const char* kMissingClientHint = "\nThis program must presently be run from your Ombrith directory.\n";
constexpr std::size_t kFigureCapacity = 32;  // one "%1.2f" figure of the statistics line
constexpr std::size_t kReasonCapacity = 512;  // one "  NAME: reason" line

// What the steps of one run share besides the run's context.
struct RunState {
  RunContext& context;
  const RunHooks& hooks;
  const Settings& settings;
  const std::string& databasePath;  // empty when no database is asked for
  const std::string& explorerPath;  // empty when no explorer page is asked for
  std::time_t runTime;
  Inventory& inventory;
  SessionLog& log;
  Console& console;
  PhaseTimes phases;
  bool foundAnything = false;
  bool racePageWritten = false;
};

// A step lets the run go on (no value) or ends it with an exit code.
using StepEnd = std::optional<ExitCode>;

ExitCode FinishRun(RunContext& context, ExitCode code);

ExitCode GateFailure(RunState& run, const char* format, const char* name, ExitCode code) {
  run.log.Both(format, name);
  run.console.Write(kMissingClientHint);
  return FinishRun(run.context, code);
}

// Console "\n", then the step's headline on both channels.
void Headline(RunState& run, const char* text) {
  run.console.Print("\n");
  run.log.Both("%s", text);
}

// Tells a missing client from one of unknown size; every other load failure
// gets the general message.
void ReportClientFailure(RunContext& context) {
  Console& console = context.console;
  // Neither "not found" nor "not compatible" can be told when the machine
  // refused the look; the reason line says what happened instead.
  char reason[kReasonCapacity];
  if (context.refusals.TakeLine(reason, sizeof(reason))) {
    console.Print("FAILURE: Unknown problem loading OB client file: %s\n%s\n", kClientFileName, reason);
  } else if (!context.files.FileExists(kClientFileName)) {
    console.Print("FAILURE: %s not found.\n\nThis program must presently be run from your Ombrith directory.\n",
                  kClientFileName);
  } else if (IdentifyEdition(context.files, kClientFileName) == 0) {
    console.Print("FAILURE: %s is not a compatible version. Only Cobalt and Lirael are supported.\n",
                  kClientFileName);
  } else {
    console.Print("FAILURE: Unknown problem loading OB client file: %s", kClientFileName);
  }
}

// The seconds figure is wall time since the run began.
void LogRunStatistics(RunContext& context) {
  const RunStats& stats = context.stats;
  char megabytes[kFigureCapacity];
  char seconds[kFigureCapacity];
  std::snprintf(megabytes, sizeof(megabytes), "%1.2f", static_cast<double>(stats.bytes) / 1048576.0);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - context.start).count();
  std::snprintf(seconds, sizeof(seconds), "%1.2f", elapsed);
  context.log.Both("Processed %s MB in %d files in %s seconds.", megabytes, stats.files, seconds);
}

// --- The steps, in the order of kRunSteps ------------------------------------

// --db replaces only what it may; refused before anything is read or written.
StepEnd CheckDatabaseTarget(RunState& run) {
  if (run.databasePath.empty()) return std::nullopt;
  const std::string problem = DatabaseTargetProblem(run.context.files, run.databasePath, run.settings);
  if (problem.empty()) return std::nullopt;
  run.console.Print("FAILURE: Will not write the inventory database to %s: %s\n", run.databasePath.c_str(),
                    problem.c_str());
  return ExitCode::kOutputIncomplete;
}

// Ends at once, without a log or a key press, when the client directory is out of reach.
StepEnd EnterWorkingPath(RunState& run) {
  const Settings& settings = run.settings;
  ClientFolder& files = run.context.files;
  std::string client;
  if (!files.IsEnterableFolder(settings.workingPath) || !files.ResolveExisting(settings.workingPath, &client) ||
      (client = RealFolderPath(client)).empty()) {
    run.console.Print("Error: Could not change to working path:\n\n%s", settings.workingPath);
    return ExitCode::kNoClient;
  }
  // From here on every name, the output folder's too, is taken from the client folder.
  files.SetRoot(client);
  if (!files.FileExists(settings.outputPath) && !files.MakeDirectory(settings.outputPath)) {
    run.console.Print("FAILURE: Could not find or create output path %s", settings.outputPath);
    run.context.outputIncomplete = true;
  } else if (int error = 0; run.context.lock.Take(files, settings.outputPath, &error) == FolderLock::kHeldElsewhere) {
    run.console.Print("FAILURE: Another run is writing to %s\n", settings.outputPath);
    return ExitCode::kOutputLocked;
  } else if (error != 0) {
    // Unlocked, another run could write the same reports at the same time.
    run.console.Print("FAILURE: Could not lock the output folder %s\n  %s: %s\n", settings.outputPath, kOutputLockName,
                      std::strerror(error));
    return ExitCode::kOutputIncomplete;
  }
  run.console.Print("%s\n", kRunTitle);
  run.console.Print("-----------------------------------------\n");
  return std::nullopt;
}

// A log that cannot be created does not end the run: the console still gets every message.
StepEnd LoadClient(RunState& run) {
  ClientImage& client = run.inventory.client;
  run.console.Print("Loading OB Client from: %s\n", kClientFileName);
  if (Failed(LoadClientImage(run.context.files, client))) {
    ReportClientFailure(run.context);
    return FinishRun(run.context, ExitCode::kNoClient);
  }
  run.console.Print("  OBGame.exe recognized as the %s version.\n\n", client.editionShort);
  run.context.stats.AccountBytes(client.imageSize);
  if (Failed(run.log.Create(run.context.files, client.editionShort, run.settings.outputPath))) {
    run.context.outputIncomplete = true;
  }
  return std::nullopt;
}

StepEnd LoadStrings(RunState& run) {
  StringList& strings = run.inventory.strings;
  run.console.Print("\n");
  run.log.Both("Loading String List from %s...", kStringListName);
  if (Failed(LoadStringList(run.context.files, strings))) {
    return GateFailure(run, "FAILURE: Could not read String List from %s", kStringListName, ExitCode::kNoStringList);
  }
  run.log.Both("  Found %d Strings. Highest StringID is %d", strings.count, strings.highestId);
  run.context.stats.AccountFile(run.context.files, kStringListName);
  return std::nullopt;
}

StepEnd LoadDatabase(RunState& run) {
  StringDatabase& database = run.inventory.database;
  run.console.Print("\n");
  run.log.Both("Loading String Database from %s...", kStringDatabaseName);
  if (Failed(LoadStringDatabase(run.context.files, database))) {
    return GateFailure(run, "FAILURE: Could not read String Database from %s", kStringDatabaseName,
                       ExitCode::kNoStringDatabase);
  }
  run.log.Both("  Found %d DB Strings, %d Types. Highest DBStringID is %d", database.count, database.highestType,
               static_cast<int>(database.highestId));
  run.context.stats.AccountFile(run.context.files, kStringDatabaseName);
  return std::nullopt;
}

StepEnd LoadRaces(RunState& run) {
  ClientImage& client = run.inventory.client;
  Headline(run, "Loading Race Information...");
  if (Failed((run.hooks.readRaceTable ? run.hooks.readRaceTable : ReadRaceTable)(client))) {
    return GateFailure(run, "FAILURE: Could not read race code information from client %s", kClientFileName,
                       ExitCode::kNoRaceTable);
  }
  run.log.Both("  Found %d races, max RaceID is %d", client.raceCount, client.maxRaceId);
  return std::nullopt;
}

StepEnd LoadZones(RunState& run) {
  ClientImage& client = run.inventory.client;
  Headline(run, "Loading Zone Information...");
  if (Failed((run.hooks.readZoneTable ? run.hooks.readZoneTable : ReadZoneTable)(client))) {
    return GateFailure(run, "FAILURE: Could not read zone information from client %s", kClientFileName,
                       ExitCode::kNoZoneTable);
  }
  run.log.Both("  Found %d zones, max ZoneID is %d", client.zoneCount, client.maxZoneId);
  return std::nullopt;
}

// From here on every step runs whatever the previous ones gave.

StepEnd DiscoverGlobalModels(RunState& run) {
  Headline(run, "Loading Global Model Information...");
  // With threads to spare, the packages of the global and zone steps are
  // read and scanned ahead while those steps register what was found.
  if (run.context.pool.Jobs() > 1) PlanGlobalAndZoneScans(run.context.Io(), run.inventory, run.context.scans);
  if (Failed(LoadGlobalModels(run.context.Io(), run.inventory))) {
    run.log.Both("  FAILURE: Could not load global model information.");
  } else {
    run.foundAnything = true;
  }
  return std::nullopt;
}

// Every zone row with a nick (an empty one counts), in ascending id order.
StepEnd DiscoverZoneModels(RunState& run) {
  const ClientImage& client = run.inventory.client;
  Headline(run, "Loading Model Information For Each Zone...");
  const std::size_t zoneRows = ZoneRows(client).size();
  for (std::size_t id = 0; id < zoneRows; ++id) {
    const ZoneRecord& zone = client.zones[id];
    if (zone.zoneNick == nullptr) continue;
    if (Failed(LoadZoneModels(run.context.Io(), run.inventory, id))) {
      run.log.Both("SKIPPED: Failed model loading for Zone %d (%s), '%s'", static_cast<int>(id), zone.zoneNick,
                   zone.zoneName ? zone.zoneName : "");
    } else {
      run.foundAnything = true;
    }
  }
  return std::nullopt;
}

StepEnd DiscoverOrphanModels(RunState& run) {
  Headline(run, "Loading Orphan Model Information...");
  if (Failed(LoadOrphanModels(run.context.Io(), run.inventory))) {
    run.log.Both("  FAILURE: Could not load orphan model information.");
  } else {
    run.foundAnything = true;
  }
  run.context.scans.Stop();
  return std::nullopt;
}

StepEnd ExportRaces(RunState& run) {
  run.context.scans.Stop();  // also after a discovery step cut short
  Headline(run, "Exporting Race Information...");
  run.racePageWritten = Succeeded(ExportRaceReports(run.context.Io(), run.inventory, run.settings.outputPath));
  if (!run.racePageWritten) {
    run.log.Both("FAILURE: Problem exporting Race information to %s", kRacePageName);
    run.context.outputIncomplete = true;
  }
  return std::nullopt;
}

// The zone page prints each model under the race and gender that the race
// page shows it with; without a race page the models keep their decoded ones.
StepEnd MarkRaceModels(RunState& run) {
  if (run.racePageWritten) RecordRaceMarks(run.inventory);
  return std::nullopt;
}

StepEnd ExportZones(RunState& run) {
  Headline(run, "Exporting Zone Information...");
  if (Failed(ExportZoneReports(run.context.Io(), run.inventory, run.settings.outputPath))) {
    run.log.Both("FAILURE: Problem exporting Zone information to %s", kZonePageName);
    run.context.outputIncomplete = true;
  }
  return std::nullopt;
}

// The inventory database, when the command line asks for one.
StepEnd ExportAvailability(RunState& run) {
  Headline(run, "Exporting Zone/Race Availability Information...");
  if (run.databasePath.empty()) return std::nullopt;
  if (Failed(ExportInventoryDatabase(run.log, run.inventory, run.databasePath, run.runTime,
                                     run.hooks.databaseFaults))) run.context.outputIncomplete = true;
  run.phases.End("database");
  return std::nullopt;
}

// The explorer page, when the command line asks for one: made from the
// database's content, so it shows what --db would write.
StepEnd ExportExplorer(RunState& run) {
  if (run.explorerPath.empty()) return std::nullopt;
  if (Failed(ExportExplorerPage(run.context.Io(), run.inventory, run.explorerPath, run.runTime))) {
    run.context.outputIncomplete = true;
  }
  run.phases.End("explorer");
  return std::nullopt;
}

StepEnd LogLimits(RunState& run) {
  Headline(run, "Logging Various Maximums Found...");
  static_cast<void>(LogMaximums(run.log, run.inventory));
  return std::nullopt;
}

// The reports are written either way; the exit code tells whether any discovery step succeeded.
StepEnd Finish(RunState& run) {
  if (!run.foundAnything) {
    run.log.Both("FAILURE: No Ombrith race-related files were found in the current directory.");
    run.console.Write(kMissingClientHint);
    return FinishRun(run.context, ExitCode::kNothingFound);
  }
  LogRunStatistics(run.context);
  Headline(run, "Finished!");
  run.phases.Total();
  return FinishRun(run.context, ExitCode::kDone);
}

struct RunStep {
  StepEnd (*run)(RunState&);
  const char* phase;  // the benchmark's name for the time up to its end; none for no mark
};

// The run sequence. Steps up to LoadZones are gates; Finish always ends the run.
constexpr std::size_t kFirstDiscoveryStep = 7;
constexpr RunStep kRunSteps[] = {
    {CheckDatabaseTarget, nullptr},
    {EnterWorkingPath, nullptr},
    {LoadClient, "client_image"},
    {LoadStrings, "string_list"},
    {LoadDatabase, "string_database"},
    {LoadRaces, "race_table"},
    {LoadZones, "zone_table"},
    {DiscoverGlobalModels, "global_models"},
    {DiscoverZoneModels, "zone_models"},
    {DiscoverOrphanModels, "orphan_models"},
    {ExportRaces, nullptr},
    {MarkRaceModels, "race_reports"},
    {ExportZones, "zone_reports"},
    {ExportAvailability, nullptr},
    {ExportExplorer, nullptr},
    {LogLimits, "maximums"},
    {Finish, nullptr},
};
static_assert(kRunSteps[kFirstDiscoveryStep].run == DiscoverGlobalModels);

// A container that could not grow cuts its step short. Before the
// discovery steps nothing can go on without it; after them, the reports are
// still written from what was found.
StepEnd RunGuarded(const RunStep& step, RunState& run) {
  try {
    return step.run(run);
  } catch (const std::bad_alloc&) {
    run.context.refusals.Note(ENOMEM, "zira");
    char reason[kReasonCapacity];
    if (!run.context.refusals.TakeLine(reason, sizeof(reason))) reason[0] = '\0';
    if (run.log.Installed()) run.log.BothLine(reason);
    else run.console.Print("%s\n", reason);
    if (&step < &kRunSteps[kFirstDiscoveryStep]) return FinishRun(run.context, ExitCode::kMachineRefused);
    return std::nullopt;
  }
}

ExitCode FinishRun(RunContext& context, ExitCode code) {
  if (!context.log.Release()) context.outputIncomplete = true;
  context.lock.Release();
  if (code == ExitCode::kDone && context.outputIncomplete) code = ExitCode::kOutputIncomplete;
  // A stop at a gate is no fault of the client's files either when the machine
  // refused memory or files; only 6, 7 and 9 tell more than 8.
  const bool gate = code >= ExitCode::kNoClient && code <= ExitCode::kNoZoneTable;
  if ((code == ExitCode::kDone || gate) && context.refusals.Any()) code = ExitCode::kMachineRefused;
  if (context.settings.waitForKey) WaitForKeyPress();
  return code;
}

ExitCode RunSteps(RunContext& context) {
  RunState run{context,
               context.hooks,
               context.settings,
               context.overrides.databasePath,
               context.overrides.explorerPath,
               std::time(nullptr),
               *context.inventory,
               context.log,
               context.console,
               PhaseTimes()};
  LoadSettings(context.files, context.settings);
  ApplySettingOverrides(context.settings, context.overrides);
  for (const RunStep& step : kRunSteps) {
    if (const StepEnd end = RunGuarded(step, run)) return *end;
    if (step.phase != nullptr) run.phases.End(step.phase);
  }
  return FinishRun(context, ExitCode::kDone);  // not reached: Finish ends every run
}

}  // namespace

ExitCode RunInventory(const RunHooks& hooks, const SettingOverrides& overrides) {
  // Every relative name, ZIRA.ini's first, is taken from the process's folder
  // until the run enters the client folder.
  int error = 0;
  std::string processFolder = ProcessFolder(&error);
  if (error != 0) {
    Console().Print("FAILURE: Could not read the path of the current folder: %s\n", std::strerror(error));
    return ExitCode::kNoClient;
  }
  RunContext context(hooks, overrides, std::move(processFolder));
  return RunSteps(context);
}

}  // namespace zira
