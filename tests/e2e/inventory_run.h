#pragma once
#include <sqlite3.h>

#include <string>
#include <vector>

namespace zira::testing {

// Runs the zira binary under test in directory with the given arguments (each passed as
// one word), standard input from the null device; returns its exit code (-1 when it
// could not run) and collects standard output and error into output.
int RunZira(const std::string& directory, const std::vector<std::string>& args, std::string* output);

// Writes the sample client of an edition (1 Cobalt, 2 Lirael, 3 MK2) into
// folder and runs zira there with --db database; the exit code of the run.
int WriteSampleDatabase(const std::string& folder, unsigned editionId, const std::string& database);

// The rows of a query, each as its columns joined by '|' (NULL as empty).
std::vector<std::string> QueryRows(sqlite3* db, const std::string& sql);

}  // namespace zira::testing
