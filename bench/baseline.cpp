// The least work a run over the same client can do: read every package file
// the inventory read, whole, and inflate the world file of each .s3d package
// with zlib's uncompress, one block after the other on one thread, as the
// reader did before it had faster ways. Nothing is parsed or scanned.
//
//   baseline <client folder> <list of packages, one name a line>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "baseline_packages.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: baseline <client folder> <package list>\n");
    return 2;
  }
  std::vector<zira::bench::PackageName> names;
  if (!zira::bench::LoadPackageNames("baseline", argv[1], argv[2], names)) return 1;

  auto inflate = [](std::span<const std::uint8_t> stream, std::span<std::uint8_t> out) -> std::optional<std::uint32_t> {
    uLongf written = out.size();
    if (uncompress(out.data(), &written, stream.data(), stream.size()) != Z_OK) return std::nullopt;
    return static_cast<std::uint32_t>(written);
  };
  zira::bench::PackageTally tally;
  zira::MachineRefusals refusals;
  zira::ClientFolder folder(zira::ProcessFolder(), refusals);
  for (const zira::bench::PackageName& name : names) zira::bench::ReadPackage(folder, name, inflate, tally);
  return zira::bench::ReportTally("baseline", names.size(), tally);
}
