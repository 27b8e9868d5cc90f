#include "discovery/package_names.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "common/file_system.h"
#include "common/run_stats.h"
#include "common/session_log.h"
#include "common/text.h"
#include "packages/obg_scanner.h"
#include "packages/s3d_scanner.h"
#include "packages/scan_ahead.h"
#include "store/model_registry.h"

namespace zira {

bool FormatName(char* buffer, std::size_t capacity, const char* format, ...) {
  if (buffer == nullptr || capacity == 0) return false;
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, capacity, format, args);
  va_end(args);
  if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool HasDot(const char* name) { return name != nullptr && std::strchr(name, '.') != nullptr; }

const char* ResolvePackageName(ClientFolder& folder, const char* name, char* buffer, std::size_t capacity) {
  if (HasDot(name)) return name;
  if (FormatName(buffer, capacity, "%s.obg", name) && folder.FileExists(buffer)) return buffer;
  if (FormatName(buffer, capacity, "%s.s3d", name) && folder.FileExists(buffer)) return buffer;
  return nullptr;
}

PackageType PackageTypeOf(const char* name) {
  if (EndsWithNoCase(name, ".obg")) return PackageType::kObg;
  if (EndsWithNoCase(name, ".s3d")) return PackageType::kS3d;
  return PackageType::kOther;
}

namespace {

// Registers what a scan found, model by model in the order found, with the
// log lines each registration gives.
void RegisterFound(const RunIo& io, Inventory& inventory, ModelSource* source, const ScannedPackage& found) {
  for (const FoundModel& each : found.models) {
    ModelDef* model = AddModel(inventory, source, each.Code());
    if (model == nullptr) {
      if (found.reportRefusedModels) {
        io.log.Both("     FAILURE: Could not add model %s from source %s", each.code, source->name);
      }
      continue;
    }
    io.log.Only("     Found model %s in source %s", each.code, source->name);
    for (const FoundVariation& variation : each.variations) {
      if (Failed(AddVariation(model, variation.kind, variation.value)) && variation.report != FoundVariation::kSilent) {
        io.log.Both("    SKIPPED: Problem adding variation from %s", found.reportNames[variation.report].c_str());
      }
    }
  }
}

// A scan on this thread; the pool's threads help with long entries unless
// they are scanning ahead.
Result ScanHere(const RunIo& io, const ClientImage& client, const char* name, PackageType type, bool perRaceRules,
                ScannedPackage* found) {
  std::string realPath;
  if (!io.files.ResolveExisting(name, &realPath)) return Fail("package cannot be opened");
  const bool poolBusy = io.scans != nullptr && io.scans->Running();
  Decompressors* kept = io.scans != nullptr ? &io.scans->SharedDecompressors() : nullptr;
  ByteBuffers* buffers = io.scans != nullptr ? &io.scans->SharedBuffers() : nullptr;
  const PackageInput input{name, realPath, io.files.Refusals(), poolBusy ? nullptr : &io.pool, nullptr, nullptr, kept,
                           buffers};
  if (type == PackageType::kObg) return ScanObgPackage(input, client, found);
  return ScanS3dPackage(input, client, perRaceRules, found);
}

}  // namespace

Result ScanPackage(const RunIo& io, Inventory& inventory, ModelSource* source, PackageType type) {
  if (source == nullptr || type == PackageType::kOther) return InvalidArgument("no source, or a kind no scanner reads");
  if (source->scanned) return kSuccess;
  ScannedPackage found;
  const bool perRaceRules = source->kind == SourceKind::kWithOstraModels;
  std::optional<Result> scanned;
  if (io.scans != nullptr) {
    scanned = io.scans->Take(source->name, type, perRaceRules, &found);
  }
  if (!scanned) scanned = ScanHere(io, inventory.client, source->name, type, perRaceRules, &found);
  if (Failed(*scanned)) return *scanned;
  RegisterFound(io, inventory, source, found);
  source->scanned = 1;
  if (type == PackageType::kS3d) io.stats.AccountBytes(found.worldBytes);
  return kSuccess;
}

}  // namespace zira
