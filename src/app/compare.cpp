#include "app/compare.h"

#include <getopt.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/command_line.h"
#include "common/file_system.h"
#include "reports/inventory_database.h"
#include "reports/inventory_sql.h"
#include "reports/sqlite_handles.h"

namespace zira {

namespace {

constexpr long kOldestComparedVersion = 1;

// A query of a pair, for one side: {A} the side it is compared against, {B} the side whose rows it lists.
std::string ForSide(const sql::CompareQuery& query, bool added) {
  return sql::FillInSql(query.query, {{"{WORD}", added ? query.addedWord : query.removedWord},
                                      {"{A}", added ? "o" : "n"},
                                      {"{B}", added ? "n" : "o"}});
}

// Puts a stored text into the output with each control byte as \xHH, so that
// a name can neither forge a line or a field nor reach the terminal.
void AppendEscaped(std::string* out, const unsigned char* text) {
  for (const unsigned char* c = text; c != nullptr && *c != '\0'; ++c) {
    if (*c < 0x20 || *c == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", *c);
      *out += escaped;
    } else {
      *out += static_cast<char>(*c);
    }
  }
}

class Comparison {
 public:
  Comparison(CompareFormat format, long long stepBudget) : format_(format), stepsLeft_(stepBudget) {}
  Comparison(const Comparison&) = delete;
  Comparison& operator=(const Comparison&) = delete;

  bool Open(const std::string& oldPath, const std::string& newPath, std::string* error) {
    int code = SQLITE_OK;
    db_ = OpenSqlConnection(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, &code);
    if (code != SQLITE_OK) {
      *error = "cannot open a database connection";
      return false;
    }
    // A stored schema runs no function with side effects, and nothing runs for ever.
    sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    BoundQueries(db_.get(), &stepsLeft_);
    return Attach(oldPath, "o", error) && Attach(newPath, "n", error) && Exec(sql::kCompareViews, error);
  }

  // Appends the facts of a query; false on a failure.
  bool Lines(const std::string& query, std::string* report, std::string* error) {
    const SqlStatement statement = PrepareSqlStatement(db_.get(), query.c_str());
    if (!statement) {
      *error = Reason();
      return false;
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
      if (format_ == CompareFormat::kPlain) {
        AppendEscaped(report, sqlite3_column_text(statement.get(), 0));
      } else {
        for (int column = 1; column < sqlite3_column_count(statement.get()); ++column) {
          if (column > 1) *report += '\t';
          AppendEscaped(report, sqlite3_column_text(statement.get(), column));
        }
      }
      *report += '\n';
    }
    if (step != SQLITE_DONE) *error = Reason();
    return step == SQLITE_DONE;
  }

  // The one number a query yields, or -1.
  long long Number(const std::string& query) {
    std::string line;
    std::string error;
    const CompareFormat format = format_;
    format_ = CompareFormat::kPlain;
    const bool ok = Lines(query, &line, &error);
    format_ = format;
    return ok && !line.empty() ? std::strtoll(line.c_str(), nullptr, 10) : -1;
  }

 private:
  std::string Reason() const {
    return stepsLeft_ < 0 ? "the comparison took too long and was stopped" : sqlite3_errmsg(db_.get());
  }

  bool Exec(const char* query, std::string* error) {
    char* message = nullptr;
    const bool ok = sqlite3_exec(db_.get(), query, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) *error = stepsLeft_ < 0 ? Reason() : message ? message : "query failed";
    sqlite3_free(message);
    return ok;
  }

  // Attaches a database and checks that it is an inventory of this schema version.
  bool Attach(const std::string& path, const char* as, std::string* error) {
    std::string reason;
    if (!IsReadableRegularFile(path, &reason)) {
      *error = path + ": cannot be opened: " + reason;
      return false;
    }
    // Immutable: nothing is locked, made or read beside the file.
    const std::string uri = ReadOnlyFileUri(path) + "&immutable=1";
    char* quoted = sqlite3_mprintf(sql::kAttach, uri.c_str(), as);
    const bool attached = Exec(quoted, &reason);
    sqlite3_free(quoted);
    if (!attached) {
      *error = path + ": cannot be opened: " + reason;
      return false;
    }
    if (!HasInventoryMark(db_.get(), as, &reason)) {
      *error = path + ": is not a zira inventory database";
      if (reason != "not a zira inventory database") *error += " (" + reason + ")";
      return false;
    }
    // Version 2 only added to version 1, and the comparison reads what both hold.
    const long long version = Number(sql::FillInSql(sql::kComparedUserVersion, {{"{S}", as}}));
    if (version < kOldestComparedVersion || version > InventorySchemaVersion()) {
      *error = path + ": not an inventory database of schema version " + std::to_string(kOldestComparedVersion) +
               " to " + std::to_string(InventorySchemaVersion()) + " (its version is " + std::to_string(version) + ")";
      return false;
    }
    if (Number(sql::FillInSql(sql::kComparedTables, {{"{S}", as}})) != sql::kComparedTableCount) {
      *error = path + ": is not a zira inventory database (a table it should hold is missing or not a table)";
      return false;
    }
    if (Number(sql::FillInSql(sql::kComparedRuns, {{"{S}", as}})) != 1) {
      *error = path + ": is not a zira inventory database (its run table does not hold one row)";
      return false;
    }
    return true;
  }

  CompareFormat format_;
  SqlConnection db_;
  long long stepsLeft_ = 0;
};

enum CompareOption { kFormatOption = 1 };

constexpr const char* kCompareHelp =
    "Usage: zira compare [OPTION]... OLD.db NEW.db\n"
    "Print what differs between two inventory databases written by zira --db,\n"
    "one line per fact, grouped by kind of fact and sorted within each group.\n"
    "\n"
    "Options:\n"
    "      --format=FORMAT  plain (the default): lines for people; tsv: a header\n"
    "                       line, then one tab-separated fact per line\n"
    "  -h, --help           display this help and exit\n"
    "  -V, --version        output version information and exit\n"
    "\n"
    "Stored texts are printed with each control byte as \\xHH.\n"
    "\n"
    "Exit status:\n"
    "  0  nothing differs\n"
    "  1  something differs\n"
    "  2  trouble: a file cannot be read or is not a zira inventory database\n";

int CompareUsageError(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "zira compare: %s\n", problem.c_str());
  std::fprintf(stderr, "Try 'zira compare --help' for more information.\n");
  return kCompareTrouble;
}

}  // namespace

int CompareInventories(const std::string& oldPath, const std::string& newPath, std::string* report,
                       std::string* error, CompareFormat format, long long stepBudget) {
  report->clear();
  error->clear();
  Comparison comparison(format, stepBudget);
  if (!comparison.Open(oldPath, newPath, error)) return kCompareTrouble;
  std::string facts;
  for (const sql::CompareQuery& query : sql::kCompareQueries) {
    for (const bool added : {true, false}) {
      if (!query.addedWord && !added) continue;
      const std::string text = query.addedWord ? ForSide(query, added) : std::string(query.query);
      if (!comparison.Lines(text, &facts, error)) {
        *error = oldPath + ", " + newPath + ": " + *error;
        return kCompareTrouble;
      }
    }
  }
  if (format == CompareFormat::kTsv) *report = std::string(sql::kCompareTsvHeader) + "\n";
  *report += facts;
  return facts.empty() ? kCompareSame : kCompareDiffers;
}

int RunCompareCommand(int argc, char** argv) {
  static const option kLongOptions[] = {{"format", required_argument, nullptr, kFormatOption},
                                        {"help", no_argument, nullptr, 'h'},
                                        {"version", no_argument, nullptr, 'V'},
                                        {nullptr, 0, nullptr, 0}};
  // getopt_long names the program after argv[0] and reorders the array, so it works on a copy.
  std::string name = "zira compare";
  std::vector<char*> args{name.data()};
  args.insert(args.end(), argv, argv + argc);
  args.push_back(nullptr);
  optind = 0;  // glibc: start afresh, so a second parse in one process works
  opterr = 1;
  CompareFormat format = CompareFormat::kPlain;
  for (int got; (got = getopt_long(argc + 1, args.data(), "hV", kLongOptions, nullptr)) != -1;) {
    if (got == 'h') {
      std::fputs(kCompareHelp, stdout);
      return 0;
    }
    if (got == 'V') {
      PrintVersion(stdout);
      return 0;
    }
    if (got != kFormatOption) return CompareUsageError("");  // getopt_long has named the problem
    if (std::strcmp(optarg, "plain") == 0) {
      format = CompareFormat::kPlain;
    } else if (std::strcmp(optarg, "tsv") == 0) {
      format = CompareFormat::kTsv;
    } else {
      return CompareUsageError(std::string("unknown format '") + optarg + "' (plain or tsv)");
    }
  }
  if (argc + 1 - optind != 2) return CompareUsageError("needs two databases, OLD.db and NEW.db");
  std::string report;
  std::string error;
  const int code = CompareInventories(args[optind], args[optind + 1], &report, &error, format);
  if (code == kCompareTrouble) {
    std::string shown;
    AppendEscaped(&shown, reinterpret_cast<const unsigned char*>(error.c_str()));
    std::fprintf(stderr, "zira compare: %s\n", shown.c_str());
  } else {
    std::fwrite(report.data(), 1, report.size(), stdout);
  }
  return code;
}

}  // namespace zira
