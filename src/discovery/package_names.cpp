#include "discovery/package_names.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/file_system.h"
#include "common/text.h"
#include "packages/obg_scanner.h"
#include "packages/s3d_scanner.h"

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

const char* ResolvePackageName(const char* name, char* buffer, std::size_t capacity) {
  if (HasDot(name)) return name;
  if (FormatName(buffer, capacity, "%s.obg", name) && FileExists(buffer)) return buffer;
  if (FormatName(buffer, capacity, "%s.s3d", name) && FileExists(buffer)) return buffer;
  return nullptr;
}

PackageType PackageTypeOf(const char* name) {
  if (EndsWithNoCase(name, ".obg")) return PackageType::kObg;
  if (EndsWithNoCase(name, ".s3d")) return PackageType::kS3d;
  return PackageType::kOther;
}

Result ScanPackage(Inventory& inventory, ModelSource* source, PackageType type) {
  switch (type) {
    case PackageType::kObg: return ScanObgSource(inventory, source);
    case PackageType::kS3d: return ScanS3dSource(inventory, source);
    case PackageType::kOther: break;
  }
  return E_INVALIDARG;
}

}  // namespace zira
