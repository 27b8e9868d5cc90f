#pragma once
#include <ctime>
#include <string>

#include "common/result.h"
#include "store/inventory.h"

namespace zira {

inline constexpr const char* kToolVersion = "1.0";

// The schema every inventory database is created from (docs/schema.sql,
// built into the program) and the version its user_version pragma sets.
const char* InventorySchemaText();
int InventorySchemaVersion();

// Writes the whole inventory into a SQLite database at path: into a
// temporary file beside it, in one transaction, renamed over path only when
// complete, so that on any failure path is left as it was. Runs after the
// race and zone reports: the models carry the marks the race page left and
// the availability is walked as the race page walks it. Logs what it writes
// and, on failure, why.
Result ExportInventoryDatabase(Inventory& inventory, const std::string& path, std::time_t runTime);

// Writes the explorer page (reports/explorer_page.h) of the inventory to
// path: the database ExportInventoryDatabase would write, built in memory,
// then the page made from it. Logs what it writes and, on failure, why.
Result ExportExplorerPage(Inventory& inventory, const std::string& path, std::time_t runTime);

// Test hooks, after the fashion of fault-injection tests: the export fails at
// its checkpoint number n (0 the first; every database step, the commit and
// the rename are checkpoints; -1 never), and the number of checkpoints the
// last export passed.
void SetInventoryDatabaseFailurePoint(int checkpoint);
int InventoryDatabaseCheckpoints();

}  // namespace zira
