#pragma once
#include <sqlite3.h>

#include <string>
#include <string_view>

#include "common/result.h"

namespace zira {

class ClientFolder;

// The explorer page: one HTML file with its data, script and style inline,
// made from an inventory database alone, so `zira explore` and a run's
// --explorer give the same page for the same database content.

// Writes the page of the open database db to path (through a temporary file
// renamed into place; path is taken from folder). On failure *error says why and path is left as it was.
Result WriteExplorerPage(ClientFolder& folder, sqlite3* db, const std::string& path, std::string* error);

// The same from a database file, opened read-only; refuses a file that is not
// an inventory database of the current schema version.
enum class ExplorerOutcome { kWritten, kNoDatabase, kNotWritten };
ExplorerOutcome WriteExplorerPageFromFile(const std::string& databasePath, const std::string& path,
                                          std::string* error);

// A JSON string of raw bytes that is safe inside a script element: bytes
// from 0x80 up are taken as Latin-1 code points (the texts carry no known
// encoding), and every byte that could end the element or open markup is
// escaped, so the result is plain ASCII.
std::string JsonText(std::string_view bytes);

}  // namespace zira
