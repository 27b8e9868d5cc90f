#pragma once
#include <ctime>
#include <string>

#include "common/result.h"
#include "common/run_io.h"
#include "store/inventory.h"

struct sqlite3;

namespace zira {
struct FileFaults;
}

namespace zira {

// The schema every inventory database is created from (docs/schema.sql,
// built into the program) and the version its user_version pragma sets.
std::string InventorySchemaText();
int InventorySchemaVersion();
// The mark the application_id pragma of every inventory database carries.
int InventoryApplicationId();

// Whether a schema of an open connection ("main" or an attached name) is an
// inventory database this program wrote: it carries the mark, or it is one
// of the first release, which set none (user_version 1, exactly its tables,
// no views or triggers). False with the reason otherwise.
bool HasInventoryMark(sqlite3* db, const char* schema, std::string* reason);
// The same for a file, opened read-only without touching anything beside it.
// The caller has made sure that it is a regular file.
bool FileHasInventoryMark(const std::string& path, std::string* reason);
// Ends every query of the connection once *stepsLeft virtual machine steps
// are spent (counted down in it), so that a hostile database cannot hold a
// run; the count must outlive the connection's queries.
void BoundQueries(sqlite3* db, long long* stepsLeft);
// file: URI that opens path read-only: its bytes as they are, with everything
// a URI gives a meaning to escaped.
std::string ReadOnlyFileUri(const std::string& path);

// Writes the whole inventory into a SQLite database at path: into a
// temporary file beside it, in one transaction, renamed over path only when
// complete, so that on any failure path is left as it was. Runs after the
// race and zone reports: the models carry the marks the race page left and
// the availability is walked as the race page walks it. Logs what it writes
// and, on failure, why.
// Test hook, after the fashion of fault-injection tests: the export fails at
// its checkpoint number failurePoint (0 the first; every database step, the
// commit and the rename are checkpoints; -1 never); checkpoints counts those
// the last export passed.
// files, when given, is the file layer's plan for the database file's own
// steps (its close, rename and folder sync).
struct DatabaseFaults {
  int failurePoint = -1;
  int checkpoints = 0;
  FileFaults* files = nullptr;
};

Result ExportInventoryDatabase(SessionLog& log, Inventory& inventory, const std::string& path, std::time_t runTime,
                               DatabaseFaults* faults = nullptr);

// Writes the explorer page (reports/explorer_page.h) of the inventory to
// path: the database ExportInventoryDatabase would write, built in memory,
// then the page made from it. Logs what it writes and, on failure, why.
Result ExportExplorerPage(const RunIo& io, Inventory& inventory, const std::string& path, std::time_t runTime);

}  // namespace zira
