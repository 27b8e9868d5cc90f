#include "app/run_driver.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "common/console.h"
#include "app/key_press.h"
#include "app/phase_times.h"
#include "common/run_stats.h"
#include "common/session_log.h"
#include "app/settings.h"
#include "client/race_table.h"
#include "client/zone_table.h"
#include "common/file_names.h"
#include "common/file_system.h"
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

// The seconds figure is wall time since the run began.
std::chrono::steady_clock::time_point& StartTime() {
  static std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  return start;
}

int GateFailure(const char* format, const char* name, int code) {
  LogBoth(format, name);
  ConsoleWrite(kMissingClientHint);
  return FinishRun(code);
}

// Tells a missing client from one of unknown size; every other load failure
// gets the general message.
void ReportClientFailure() {
  if (!FileExists(kClientFileName)) {
    ConsolePrint("FAILURE: %s not found.\n\nThis program must presently be run from your Ombrith directory.\n",
                 kClientFileName);
  } else if (IdentifyEdition(kClientFileName) == 0) {
    ConsolePrint("FAILURE: %s is not a compatible version. Only Cobalt and Lirael are supported.\n",
                 kClientFileName);
  } else {
    ConsolePrint("FAILURE: Unknown problem loading OB client file: %s", kClientFileName);
  }
}

void LogRunStatistics() {
  const RunStats& stats = TheRunStats();
  char megabytes[32];
  char seconds[32];
  std::snprintf(megabytes, sizeof(megabytes), "%1.2f", static_cast<double>(stats.bytes) / 1048576.0);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - StartTime()).count();
  std::snprintf(seconds, sizeof(seconds), "%1.2f", elapsed);
  LogBoth("Processed %s MB in %d files in %s seconds.", megabytes, stats.files, seconds);
}

}  // namespace

int FinishRun(int code) {
  ReleaseSessionLog();
  WaitForKeyPress();
  return code;
}

int RunInventory(const RunHooks& hooks, const RunOptions& options) {
  StartTime() = std::chrono::steady_clock::now();
  const std::time_t runTime = std::time(nullptr);
  PhaseTimes phases;
  ResetRunStats();
  ReleaseSessionLog();
  LoadSettings();
  const Settings& settings = TheSettings();

  if (!ChangeDirectory(settings.workingPath)) {
    ConsolePrint("Error: Could not change to working path:\n\n%s", settings.workingPath);
    return 1;
  }
  if (!FileExists(settings.outputPath) && !MakeDirectory(settings.outputPath)) {
    ConsolePrint("FAILURE: Could not find or create output path %s", settings.outputPath);
  }

  ConsolePrint("Ombrith Race Information Inventory v1.0\n");
  ConsolePrint("-----------------------------------------\n");
  ConsolePrint("Loading OB Client from: %s\n", kClientFileName);

  Inventory& inventory = TheInventory();
  ClientImage& client = inventory.client;
  if (Failed(LoadClientImage(client))) {
    ReportClientFailure();
    return FinishRun(1);
  }
  ConsolePrint("  OBGame.exe recognized as the %s version.\n\n", client.editionShort);
  AccountBytes(client.imageSize);

  static_cast<void>(CreateSessionLog(client.editionShort, settings.outputPath));
  phases.End("client_image");

  ConsolePrint("\n");
  LogBoth("Loading String List from %s...", kStringListName);
  if (Failed(LoadStringList(inventory.strings))) {
    return GateFailure("FAILURE: Could not read String List from %s", kStringListName, 2);
  }
  LogBoth("  Found %d Strings. Highest StringID is %d", inventory.strings.count, inventory.strings.highestId);
  AccountFile(kStringListName);
  phases.End("string_list");

  ConsolePrint("\n");
  LogBoth("Loading String Database from %s...", kStringDatabaseName);
  if (Failed(LoadStringDatabase(inventory.database))) {
    return GateFailure("FAILURE: Could not read String Database from %s", kStringDatabaseName, 3);
  }
  LogBoth("  Found %d DB Strings, %d Types. Highest DBStringID is %d", inventory.database.count,
          inventory.database.highestType, static_cast<int>(inventory.database.highestId));
  AccountFile(kStringDatabaseName);
  phases.End("string_database");

  ConsolePrint("\n");
  LogBoth("Loading Race Information...");
  if (Failed((hooks.readRaceTable ? hooks.readRaceTable : ReadRaceTable)(client))) {
    return GateFailure("FAILURE: Could not read race code information from client %s", kClientFileName, 4);
  }
  LogBoth("  Found %d races, max RaceID is %d", client.raceCount, client.maxRaceId);
  phases.End("race_table");

  ConsolePrint("\n");
  LogBoth("Loading Zone Information...");
  if (Failed((hooks.readZoneTable ? hooks.readZoneTable : ReadZoneTable)(client))) {
    return GateFailure("FAILURE: Could not read zone information from client %s", kClientFileName, 5);
  }
  LogBoth("  Found %d zones, max ZoneID is %d", client.zoneCount, client.maxZoneId);
  phases.End("zone_table");

  // From here on every step runs whatever the previous ones gave.
  bool foundAnything = false;

  ConsolePrint("\n");
  LogBoth("Loading Global Model Information...");
  if (Failed(LoadGlobalModels(inventory))) {
    LogBoth("  FAILURE: Could not load global model information.");
  } else {
    foundAnything = true;
  }
  phases.End("global_models");

  ConsolePrint("\n");
  LogBoth("Loading Model Information For Each Zone...");
  for (std::size_t id = 0; id <= client.maxZoneId; ++id) {
    ZoneRecord& zone = client.zones[id];
    if (zone.zoneNick == nullptr) continue;
    if (Failed(LoadZoneModels(inventory, &zone))) {
      LogBoth("SKIPPED: Failed model loading for Zone %d (%s), '%s'", static_cast<int>(id), zone.zoneNick,
              zone.zoneName ? zone.zoneName : "");
    } else {
      foundAnything = true;
    }
  }
  phases.End("zone_models");

  ConsolePrint("\n");
  LogBoth("Loading Orphan Model Information...");
  if (Failed(LoadOrphanModels(inventory))) {
    LogBoth("  FAILURE: Could not load orphan model information.");
  } else {
    foundAnything = true;
  }
  phases.End("orphan_models");

  ConsolePrint("\n");
  LogBoth("Exporting Race Information...");
  if (Failed(ExportRaceReports(inventory, settings.outputPath))) {
    LogBoth("FAILURE: Problem exporting Race information to %s", kRacePageName);
  }
  phases.End("race_reports");

  ConsolePrint("\n");
  LogBoth("Exporting Zone Information...");
  if (Failed(ExportZoneReports(inventory, settings.outputPath))) {
    LogBoth("FAILURE: Problem exporting Zone information to %s", kZonePageName);
  }
  phases.End("zone_reports");

  ConsolePrint("\n");
  LogBoth("Exporting Zone/Race Availability Information...");
  bool databaseFailed = false;
  if (!options.databasePath.empty()) {
    databaseFailed = Failed(ExportInventoryDatabase(inventory, options.databasePath, runTime));
    phases.End("database");
  }

  ConsolePrint("\n");
  LogBoth("Logging Various Maximums Found...");
  static_cast<void>(LogMaximums(inventory));
  phases.End("maximums");

  if (!foundAnything) {
    LogBoth("FAILURE: No Ombrith race-related files were found in the current directory.");
    ConsoleWrite(kMissingClientHint);
    return FinishRun(9);
  }

  LogRunStatistics();
  ConsolePrint("\n");
  LogBoth("Finished!");
  phases.Total();
  return FinishRun(databaseFailed ? kDatabaseFailedExit : 0);
}

}  // namespace zira
