// Opens arbitrary bytes as a package, reads every entry and looks up every name.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "packages/package_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::unique_ptr<zira::PackageArchive> archive = zira::PackageArchive::Create();
  if (!archive) return 0;
  if (zira::Failed(archive->OpenBytes(std::span<const std::uint8_t>(data, size)))) return 0;
  for (std::uint32_t i = 0; i < archive->EntryCount(); ++i) {
    const zira::PackageEntry* entry = archive->Entry(i);
    if (entry == nullptr) __builtin_trap();
    zira::EntryBuffer contents = archive->ReadEntry(i);
    if (contents && entry->inflatedSize > 0) {
      // Every byte the reader hands back must be readable.
      volatile std::uint8_t sink = contents[entry->inflatedSize - 1];
      (void)sink;
    }
    const std::uint16_t found = archive->FindEntry(entry->name);
    if (entry->nameLength >= 3 && entry->nameLength <= 63 && found == zira::kNoEntry &&
        std::strlen(entry->name) == entry->nameLength &&
        entry->name[0] != ' ' && entry->name[entry->nameLength - 1] > ' ') {
      // A plain stored name must be found (possibly at an earlier entry of the same name).
      __builtin_trap();
    }
    if (found != zira::kNoEntry && found > i) __builtin_trap();
  }
  archive->FindEntry("abc.wld");
  archive->Close();
  return 0;
}
