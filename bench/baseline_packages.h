// What the baselines share: the list of packages the inventory read, and one
// package read whole the way the inventory reads it, with its world file
// inflated block after block by whichever inflater the baseline measures.
// Nothing is parsed past the package directory and nothing is scanned.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/byte_cursor.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "packages/package_archive.h"

namespace zira::bench {

// A package as the inventory's log names it, and its path on disk.
struct PackageName {
  std::string logged;
  std::string path;
};

// Reads the list (one name a line) and resolves every name in the client
// folder to its real path, so that the packages can be opened later, on any
// thread, each through a folder of its own.
inline bool LoadPackageNames(const char* program, const char* client, const char* list,
                             std::vector<PackageName>& names) {
  MachineRefusals refusals;
  ClientFolder here(ProcessFolder(), refusals);
  InputFile file;
  if (!file.Open(here, list)) {
    std::fprintf(stderr, "%s: cannot read %s\n", program, list);
    return false;
  }
  char line[1024];
  while (file.ReadLine(line, sizeof line)) {
    std::size_t length = std::strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = '\0';
    if (length > 0) names.push_back({line, {}});
  }
  file.Close();
  std::string folder;
  if (!here.ResolveExisting(client, &folder) || !here.IsDirectory(client)) {
    std::fprintf(stderr, "%s: cannot enter %s\n", program, client);
    return false;
  }
  here.SetRoot(folder);
  // A name that does not resolve keeps its own spelling and fails to open.
  for (PackageName& name : names) {
    if (!here.ResolveExisting(name.logged.c_str(), &name.path)) name.path = folder + "/" + name.logged;
  }
  return true;
}

// What a baseline read and inflated, summed over packages.
struct PackageTally {
  std::uint64_t packageBytes = 0;
  std::uint64_t worldBytes = 0;
  std::uint64_t checksum = 0;
  std::uint32_t largestWorld = 0;
  int failures = 0;

  void Add(const PackageTally& other) {
    packageBytes += other.packageBytes;
    worldBytes += other.worldBytes;
    checksum += other.checksum;
    if (other.largestWorld > largestWorld) largestWorld = other.largestWorld;
    failures += other.failures;
  }
};

// The block walk: the blocks at offset, each inflated right behind what the
// previous one yielded, until size bytes. inflate(stream, out) gives the
// bytes written or nothing on a failure.
template <typename Inflate>
EntryBuffer InflateWorldBlocks(std::span<const std::uint8_t> file, std::uint32_t offset, std::uint32_t size,
                               Inflate& inflate) {
  EntryBuffer out(new std::uint8_t[static_cast<std::size_t>(size) + 1024]());
  ByteCursor cursor = ByteCursor(file).Sub(offset);
  std::uint32_t produced = 0;
  while (produced < size && cursor.Remaining() > 0) {
    const std::uint32_t deflated = cursor.ReadU32LowBytes();
    const std::uint32_t inflated = cursor.ReadU32LowBytes();
    if (std::uint64_t{produced} + inflated > size) return nullptr;
    const std::span<const std::uint8_t> stream = cursor.ReadBytes(deflated);
    if (stream.size() != deflated) return nullptr;
    const std::optional<std::uint32_t> written = inflate(stream, std::span<std::uint8_t>(out.get() + produced, inflated));
    if (!written) return nullptr;
    produced += *written;
  }
  return out;
}

// One package read whole and, for a .s3d, its world file inflated; what it
// took is added to tally.
template <typename Inflate>
void ReadPackage(ClientFolder& folder, const PackageName& name, Inflate& inflate, PackageTally& tally) {
  std::unique_ptr<PackageArchive> archive = PackageArchive::Create();
  if (!archive || Failed(archive->Open(folder, name.path.c_str()))) {
    ++tally.failures;
    return;
  }
  tally.packageBytes += archive->FileLength();
  const std::string& logged = name.logged;
  if (logged.size() < 4 || logged.compare(logged.size() - 4, 4, ".s3d") != 0) return;
  const std::string world = logged.substr(0, logged.size() - 3) + "wld";
  const PackageEntry* entry = archive->Entry(archive->FindEntry(world.c_str()));
  EntryBuffer contents =
      entry != nullptr ? InflateWorldBlocks(archive->FileBytes(), entry->dataOffset, entry->inflatedSize, inflate)
                       : nullptr;
  if (!contents) {
    ++tally.failures;
    return;
  }
  tally.worldBytes += entry->inflatedSize;
  if (entry->inflatedSize > tally.largestWorld) tally.largestWorld = entry->inflatedSize;
  // One byte of every page, so the inflated data is really there to be read.
  for (std::uint32_t at = 0; at < entry->inflatedSize; at += 4096) tally.checksum += contents[at];
}

inline int ReportTally(const char* program, std::size_t packages, const PackageTally& tally) {
  std::printf("%s: %zu packages, %.1f MB read, %.1f MB inflated, largest world %u bytes, %d failed (check %llu)\n",
              program, packages, static_cast<double>(tally.packageBytes) / 1048576.0,
              static_cast<double>(tally.worldBytes) / 1048576.0, tally.largestWorld, tally.failures,
              static_cast<unsigned long long>(tally.checksum));
  return tally.failures == 0 ? 0 : 1;
}

}  // namespace zira::bench
