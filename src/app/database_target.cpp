#include "app/database_target.h"

#include <cctype>
#include <vector>

#include "client/edition.h"
#include "common/file_names.h"
#include "common/file_system.h"
#include "common/output_file.h"
#include "reports/inventory_database.h"

namespace zira {

namespace {

constexpr const char* kReportNames[] = {kLogFileName, kRacePageName, kZonePageName, kRaceListName, kZoneListName};
constexpr const char* kInputNames[] = {kClientFileName, kStringListName, kStringDatabaseName, kGlobalLoadListName};
// Endings of the names a run may read in the client folder: packages, lists, the client, settings.
constexpr const char* kClientEndings[] = {".s3d", ".obg", ".txt", ".exe", ".ini"};

struct RunFile {
  std::string path;
  bool output;
};

bool EndsWithFolded(const std::string& name, const std::string& ending) {
  if (name.size() < ending.size()) return false;
  for (std::size_t i = 0; i < ending.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[name.size() - ending.size() + i])) != ending[i]) return false;
  }
  return true;
}

// The files a run reads and writes, as the run will name them: the names
// are matched without regard to case against what is there.
std::vector<RunFile> RunFiles(ClientFolder& folder, const Settings& settings) {
  const std::string client = settings.workingPath;
  const std::string output = RootLengthOf(settings.outputPath) != 0 ? std::string(settings.outputPath)
                                                           : client + "/" + settings.outputPath;
  std::vector<RunFile> files;
  const auto add = [&files, &folder](const std::string& name, bool written) {
    files.push_back({folder.ResolveForWriting(name.c_str()), written});
  };
  for (const char* name : kInputNames) add(client + "\\" + name, false);
  add(kConfigFileName, false);
  add(std::string(kDefaultOutputPath) + "\\" + kConfigFileName, false);
  add(output + "\\" + kOutputLockName, true);
  for (const ClientEdition& edition : kEditionTable) {
    for (const char* name : kReportNames) add(output + "\\" + edition.editionShort + "_" + name, true);
  }
  return files;
}

std::string TargetProblem(ClientFolder& folder, const std::string& path, const Settings& settings) {
  const FilePlace target = PlaceOf(path);
  switch (target.kind) {
    case FilePlace::Kind::kFolder:
      return "it is a folder";
    case FilePlace::Kind::kLink:
      return "it is a symbolic link";
    case FilePlace::Kind::kOther:
      return std::string("it is ") + target.what;
    case FilePlace::Kind::kMissing:
    case FilePlace::Kind::kRegular:
      break;
  }
  for (const RunFile& file : RunFiles(folder, settings)) {
    if (PlaceOf(file.path).SameAs(target)) return file.output ? "it is one of the run's outputs" : "the run reads it";
  }
  const std::string leaf = LeafOf(path);
  if (PlaceOf(FolderOf(path)).SameAs(PlaceOf(settings.workingPath))) {
    for (const char* ending : kClientEndings) {
      if (EndsWithFolded(leaf, ending)) return std::string("the run may read it: a client file ending in ") + ending;
    }
  }
  std::string why;
  if (target.kind == FilePlace::Kind::kRegular && target.size > 0 && !FileHasInventoryMark(path, &why)) {
    return "it is not a zira inventory database (" + why + ")";
  }
  return std::string();
}

}  // namespace

std::string DatabaseTargetProblem(ClientFolder& folder, const std::string& path, const Settings& settings) {
  const std::string problem = TargetProblem(folder, path, settings);
  // The run then lists its folders afresh, as a run without --db does.
  folder.ForgetListings();
  return problem;
}

}  // namespace zira
