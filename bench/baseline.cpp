// The least work a run over the same client can do: read every package file
// the inventory read, whole, and inflate the world file of each .s3d package
// with zlib's uncompress, one block after the other on one thread, as the
// reader did before it had faster ways. Nothing is parsed or scanned.
//
//   baseline <client folder> <list of packages, one name a line>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/byte_cursor.h"
#include "common/machine_refusal.h"
#include "packages/package_archive.h"

namespace {

// The block walk with zlib alone: the blocks at offset, each inflated right
// behind what the previous one yielded, until size bytes.
zira::EntryBuffer InflateWithZlib(std::span<const std::uint8_t> file, std::uint32_t offset, std::uint32_t size) {
  zira::EntryBuffer out(new std::uint8_t[static_cast<std::size_t>(size) + 1024]());
  zira::ByteCursor cursor = zira::ByteCursor(file).Sub(offset);
  std::uint32_t produced = 0;
  while (produced < size && cursor.Remaining() > 0) {
    const std::uint32_t deflated = cursor.ReadU32LowBytes();
    const std::uint32_t inflated = cursor.ReadU32LowBytes();
    if (std::uint64_t{produced} + inflated > size) return nullptr;
    const std::span<const std::uint8_t> stream = cursor.ReadBytes(deflated);
    if (stream.size() != deflated) return nullptr;
    uLongf written = inflated;
    const int status = uncompress(out.get() + produced, &written, stream.data(), deflated);
    if (status != Z_OK) return nullptr;
    produced += static_cast<std::uint32_t>(written);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: baseline <client folder> <package list>\n");
    return 2;
  }
  zira::MachineRefusals refusals;
  zira::ClientFolder here(zira::ProcessFolder(), refusals);
  std::vector<std::string> names;
  {
    zira::InputFile list;
    if (!list.Open(here, argv[2])) {
      std::fprintf(stderr, "baseline: cannot read %s\n", argv[2]);
      return 1;
    }
    char line[1024];
    while (list.ReadLine(line, sizeof line)) {
      std::size_t length = std::strlen(line);
      while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = '\0';
      if (length > 0) names.emplace_back(line);
    }
  }
  std::string client;
  if (!here.ResolveExisting(argv[1], &client) || !here.IsDirectory(argv[1])) {
    std::fprintf(stderr, "baseline: cannot enter %s\n", argv[1]);
    return 1;
  }
  here.SetRoot(client);

  std::uint64_t packageBytes = 0;
  std::uint64_t worldBytes = 0;
  std::uint64_t checksum = 0;
  std::uint32_t largestWorld = 0;
  int failures = 0;
  for (const std::string& name : names) {
    std::unique_ptr<zira::PackageArchive> archive = zira::PackageArchive::Create();
    if (!archive || zira::Failed(archive->Open(here, name.c_str()))) {
      ++failures;
      continue;
    }
    packageBytes += archive->FileLength();
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".s3d") != 0) continue;
    const std::string world = name.substr(0, name.size() - 3) + "wld";
    const std::uint16_t index = archive->FindEntry(world.c_str());
    const zira::PackageEntry* entry = archive->Entry(index);
    zira::EntryBuffer contents =
        entry != nullptr ? InflateWithZlib(archive->FileBytes(), entry->dataOffset, entry->inflatedSize) : nullptr;
    if (!contents) {
      ++failures;
      continue;
    }
    worldBytes += entry->inflatedSize;
    if (entry->inflatedSize > largestWorld) largestWorld = entry->inflatedSize;
    // One byte of every page, so the inflated data is really there to be read.
    for (std::uint32_t at = 0; at < entry->inflatedSize; at += 4096) checksum += contents[at];
  }
  std::printf("baseline: %zu packages, %.1f MB read, %.1f MB inflated, largest world %u bytes, %d failed (check %llu)\n",
              names.size(), static_cast<double>(packageBytes) / 1048576.0, static_cast<double>(worldBytes) / 1048576.0,
              largestWorld, failures, static_cast<unsigned long long>(checksum));
  return failures == 0 ? 0 : 1;
}
