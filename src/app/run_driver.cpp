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
#include "app/settings.h"
#include "client/race_table.h"
#include "client/table_views.h"
#include "client/zone_table.h"
#include "common/file_names.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "discovery/global_models.h"
#include "discovery/orphan_models.h"
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

// The seconds figure is wall time since the run began.
std::chrono::steady_clock::time_point& StartTime() {
  static std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  return start;
}

// What the steps of one run share.
struct RunState {
  const RunHooks& hooks;
  const Settings& settings;
  const std::string& databasePath;  // empty when no database is asked for
  const std::string& explorerPath;  // empty when no explorer page is asked for
  std::time_t runTime;
  Inventory& inventory;
  PhaseTimes phases;
  bool foundAnything = false;
  bool racePageWritten = false;
};

// A step lets the run go on (no value) or ends it with an exit code.
using StepEnd = std::optional<ExitCode>;

ExitCode GateFailure(const char* format, const char* name, ExitCode code) {
  LogBoth(format, name);
  ConsoleWrite(kMissingClientHint);
  return FinishRun(code);
}

// Console "\n", then the step's headline on both channels.
void Headline(const char* text) {
  ConsolePrint("\n");
  LogBoth("%s", text);
}

// Tells a missing client from one of unknown size; every other load failure
// gets the general message.
void ReportClientFailure() {
  // Neither "not found" nor "not compatible" can be told when the machine
  // refused the look; the reason line says what happened instead.
  char reason[kReasonCapacity];
  if (TakeRefusalLine(reason, sizeof(reason))) {
    ConsolePrint("FAILURE: Unknown problem loading OB client file: %s\n%s\n", kClientFileName, reason);
  } else if (!FileExists(kClientFileName)) {
    ConsolePrint("FAILURE: %s not found.\n\nThis program must presently be run from your Ombrith directory.\n",
                 kClientFileName);
  } else if (IdentifyEdition(kClientFileName) == 0) {
    ConsolePrint("FAILURE: %s is not a compatible version. Only Cobalt and Lirael are supported.\n",
                 kClientFileName);
  } else {
    ConsolePrint("FAILURE: Unknown problem loading OB client file: %s", kClientFileName);
  }
}

// A report or the log that could not be written whole, or no output folder:
// a finished run then ends with 6 instead of 0.
bool& OutputIncomplete() {
  static bool incomplete = false;
  return incomplete;
}

void LogRunStatistics() {
  const RunStats& stats = TheRunStats();
  char megabytes[kFigureCapacity];
  char seconds[kFigureCapacity];
  std::snprintf(megabytes, sizeof(megabytes), "%1.2f", static_cast<double>(stats.bytes) / 1048576.0);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - StartTime()).count();
  std::snprintf(seconds, sizeof(seconds), "%1.2f", elapsed);
  LogBoth("Processed %s MB in %d files in %s seconds.", megabytes, stats.files, seconds);
}

// --- The steps, in the order of kRunSteps ------------------------------------

// --db replaces only what it may; refused before anything is read or written.
StepEnd CheckDatabaseTarget(RunState& run) {
  if (run.databasePath.empty()) return std::nullopt;
  const std::string problem = DatabaseTargetProblem(run.databasePath, run.settings);
  if (problem.empty()) return std::nullopt;
  ConsolePrint("FAILURE: Will not write the inventory database to %s: %s\n", run.databasePath.c_str(),
               problem.c_str());
  return ExitCode::kOutputIncomplete;
}

// Ends at once, without a log or a key press, when the client directory is out of reach.
StepEnd EnterWorkingPath(RunState& run) {
  const Settings& settings = run.settings;
  if (!ChangeDirectory(settings.workingPath)) {
    ConsolePrint("Error: Could not change to working path:\n\n%s", settings.workingPath);
    return ExitCode::kNoClient;
  }
  if (!FileExists(settings.outputPath) && !MakeDirectory(settings.outputPath)) {
    ConsolePrint("FAILURE: Could not find or create output path %s", settings.outputPath);
    OutputIncomplete() = true;
  } else if (int error = 0; LockOutputFolder(settings.outputPath, &error) == FolderLock::kHeldElsewhere) {
    ConsolePrint("FAILURE: Another run is writing to %s\n", settings.outputPath);
    return ExitCode::kOutputLocked;
  } else if (error != 0) {
    // Unlocked, another run could write the same reports at the same time.
    ConsolePrint("FAILURE: Could not lock the output folder %s\n  %s: %s\n", settings.outputPath, kOutputLockName,
                 std::strerror(error));
    return ExitCode::kOutputIncomplete;
  }
  ConsolePrint("%s\n", kRunTitle);
  ConsolePrint("-----------------------------------------\n");
  return std::nullopt;
}

// A log that cannot be created does not end the run: the console still gets every message.
StepEnd LoadClient(RunState& run) {
  ClientImage& client = run.inventory.client;
  ConsolePrint("Loading OB Client from: %s\n", kClientFileName);
  if (Failed(LoadClientImage(client))) {
    ReportClientFailure();
    return FinishRun(ExitCode::kNoClient);
  }
  ConsolePrint("  OBGame.exe recognized as the %s version.\n\n", client.editionShort);
  AccountBytes(client.imageSize);
  if (Failed(CreateSessionLog(client.editionShort, run.settings.outputPath))) OutputIncomplete() = true;
  return std::nullopt;
}

StepEnd LoadStrings(RunState& run) {
  StringList& strings = run.inventory.strings;
  ConsolePrint("\n");
  LogBoth("Loading String List from %s...", kStringListName);
  if (Failed(LoadStringList(strings))) {
    return GateFailure("FAILURE: Could not read String List from %s", kStringListName, ExitCode::kNoStringList);
  }
  LogBoth("  Found %d Strings. Highest StringID is %d", strings.count, strings.highestId);
  AccountFile(kStringListName);
  return std::nullopt;
}

StepEnd LoadDatabase(RunState& run) {
  StringDatabase& database = run.inventory.database;
  ConsolePrint("\n");
  LogBoth("Loading String Database from %s...", kStringDatabaseName);
  if (Failed(LoadStringDatabase(database))) {
    return GateFailure("FAILURE: Could not read String Database from %s", kStringDatabaseName,
                       ExitCode::kNoStringDatabase);
  }
  LogBoth("  Found %d DB Strings, %d Types. Highest DBStringID is %d", database.count, database.highestType,
          static_cast<int>(database.highestId));
  AccountFile(kStringDatabaseName);
  return std::nullopt;
}

StepEnd LoadRaces(RunState& run) {
  ClientImage& client = run.inventory.client;
  Headline("Loading Race Information...");
  if (Failed((run.hooks.readRaceTable ? run.hooks.readRaceTable : ReadRaceTable)(client))) {
    return GateFailure("FAILURE: Could not read race code information from client %s", kClientFileName,
                       ExitCode::kNoRaceTable);
  }
  LogBoth("  Found %d races, max RaceID is %d", client.raceCount, client.maxRaceId);
  return std::nullopt;
}

StepEnd LoadZones(RunState& run) {
  ClientImage& client = run.inventory.client;
  Headline("Loading Zone Information...");
  if (Failed((run.hooks.readZoneTable ? run.hooks.readZoneTable : ReadZoneTable)(client))) {
    return GateFailure("FAILURE: Could not read zone information from client %s", kClientFileName,
                       ExitCode::kNoZoneTable);
  }
  LogBoth("  Found %d zones, max ZoneID is %d", client.zoneCount, client.maxZoneId);
  return std::nullopt;
}

// From here on every step runs whatever the previous ones gave.

StepEnd DiscoverGlobalModels(RunState& run) {
  Headline("Loading Global Model Information...");
  if (Failed(LoadGlobalModels(run.inventory))) {
    LogBoth("  FAILURE: Could not load global model information.");
  } else {
    run.foundAnything = true;
  }
  return std::nullopt;
}

// Every zone row with a nick (an empty one counts), in ascending id order.
StepEnd DiscoverZoneModels(RunState& run) {
  const ClientImage& client = run.inventory.client;
  Headline("Loading Model Information For Each Zone...");
  const std::size_t zoneRows = ZoneRows(client).size();
  for (std::size_t id = 0; id < zoneRows; ++id) {
    const ZoneRecord& zone = client.zones[id];
    if (zone.zoneNick == nullptr) continue;
    if (Failed(LoadZoneModels(run.inventory, id))) {
      LogBoth("SKIPPED: Failed model loading for Zone %d (%s), '%s'", static_cast<int>(id), zone.zoneNick,
              zone.zoneName ? zone.zoneName : "");
    } else {
      run.foundAnything = true;
    }
  }
  return std::nullopt;
}

StepEnd DiscoverOrphanModels(RunState& run) {
  Headline("Loading Orphan Model Information...");
  if (Failed(LoadOrphanModels(run.inventory))) {
    LogBoth("  FAILURE: Could not load orphan model information.");
  } else {
    run.foundAnything = true;
  }
  return std::nullopt;
}

StepEnd ExportRaces(RunState& run) {
  Headline("Exporting Race Information...");
  run.racePageWritten = Succeeded(ExportRaceReports(run.inventory, run.settings.outputPath));
  if (!run.racePageWritten) {
    LogBoth("FAILURE: Problem exporting Race information to %s", kRacePageName);
    OutputIncomplete() = true;
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
  Headline("Exporting Zone Information...");
  if (Failed(ExportZoneReports(run.inventory, run.settings.outputPath))) {
    LogBoth("FAILURE: Problem exporting Zone information to %s", kZonePageName);
    OutputIncomplete() = true;
  }
  return std::nullopt;
}

// The inventory database, when the command line asks for one.
StepEnd ExportAvailability(RunState& run) {
  Headline("Exporting Zone/Race Availability Information...");
  if (run.databasePath.empty()) return std::nullopt;
  if (Failed(ExportInventoryDatabase(run.inventory, run.databasePath, run.runTime))) OutputIncomplete() = true;
  run.phases.End("database");
  return std::nullopt;
}

// The explorer page, when the command line asks for one: made from the
// database's content, so it shows what --db would write.
StepEnd ExportExplorer(RunState& run) {
  if (run.explorerPath.empty()) return std::nullopt;
  if (Failed(ExportExplorerPage(run.inventory, run.explorerPath, run.runTime))) OutputIncomplete() = true;
  run.phases.End("explorer");
  return std::nullopt;
}

StepEnd LogLimits(RunState& run) {
  Headline("Logging Various Maximums Found...");
  static_cast<void>(LogMaximums(run.inventory));
  return std::nullopt;
}

// The reports are written either way; the exit code tells whether any discovery step succeeded.
StepEnd Finish(RunState& run) {
  if (!run.foundAnything) {
    LogBoth("FAILURE: No Ombrith race-related files were found in the current directory.");
    ConsoleWrite(kMissingClientHint);
    return FinishRun(ExitCode::kNothingFound);
  }
  LogRunStatistics();
  Headline("Finished!");
  run.phases.Total();
  return FinishRun(ExitCode::kDone);
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
    NoteMachineRefusal(ENOMEM, "zira");
    char reason[kReasonCapacity];
    if (!TakeRefusalLine(reason, sizeof(reason))) reason[0] = '\0';
    if (TheSessionLog() != nullptr) LogBothLine(reason);
    else ConsolePrint("%s\n", reason);
    if (&step < &kRunSteps[kFirstDiscoveryStep]) return FinishRun(ExitCode::kMachineRefused);
    return std::nullopt;
  }
}

}  // namespace

ExitCode FinishRun(ExitCode code) {
  if (!ReleaseSessionLog()) OutputIncomplete() = true;
  UnlockOutputFolder();
  if (code == ExitCode::kDone && OutputIncomplete()) code = ExitCode::kOutputIncomplete;
  // A stop at a gate is no fault of the client's files either when the machine
  // refused memory or files; only 6, 7 and 9 tell more than 8.
  const bool gate = code >= ExitCode::kNoClient && code <= ExitCode::kNoZoneTable;
  if ((code == ExitCode::kDone || gate) && MachineRefusedAnything()) code = ExitCode::kMachineRefused;
  if (TheSettings().waitForKey) WaitForKeyPress();
  return code;
}

ExitCode RunInventory(const RunHooks& hooks, const SettingOverrides& overrides) {
  StartTime() = std::chrono::steady_clock::now();
  RunState run{hooks,          TheSettings(),   overrides.databasePath, overrides.explorerPath,
               std::time(nullptr), TheInventory(), PhaseTimes()};
  ResetRunStats();
  static_cast<void>(ReleaseSessionLog());
  OutputIncomplete() = false;
  // Every relative name, ZIRA.ini's first, is taken from the current folder.
  if (const int error = ReadCurrentDirectory(); error != 0) {
    ConsolePrint("FAILURE: Could not read the path of the current folder: %s\n", std::strerror(error));
    return ExitCode::kNoClient;
  }
  LoadSettings();
  ApplySettingOverrides(overrides);
  ResetMachineRefusals();
  ResetConsole();
  for (const RunStep& step : kRunSteps) {
    if (const StepEnd end = RunGuarded(step, run)) return *end;
    if (step.phase != nullptr) run.phases.End(step.phase);
  }
  return FinishRun(ExitCode::kDone);  // not reached: Finish ends every run
}

}  // namespace zira
