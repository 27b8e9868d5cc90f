// The least work a run on all cores can do: read every package file the
// inventory read, whole, and inflate the world file of each .s3d package with
// libdeflate, whole packages spread over the threads (one package a task,
// taken from a shared counter in the inventory's order). No block is checked
// and nothing is parsed or scanned.
//
//   baseline_libdeflate [--threads N] <client folder> <list of packages, one name a line>
//
// N defaults to the machine's cores, counted as the inventory counts them.
#include <libdeflate.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "baseline_packages.h"

namespace {

constexpr unsigned kMostThreads = 256;

// Takes packages off the shared counter until none is left, with a
// decompressor of its own.
void InflatePackages(const std::vector<zira::bench::PackageName>& names, std::atomic<std::size_t>& next,
                     zira::bench::PackageTally& tally) {
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (decompressor == nullptr) {
    ++tally.failures;
    return;
  }
  auto inflate = [decompressor](std::span<const std::uint8_t> stream,
                                std::span<std::uint8_t> out) -> std::optional<std::uint32_t> {
    std::size_t written = 0;
    if (libdeflate_zlib_decompress(decompressor, stream.data(), stream.size(), out.data(), out.size(), &written) !=
        LIBDEFLATE_SUCCESS) {
      return std::nullopt;
    }
    return static_cast<std::uint32_t>(written);
  };
  // A folder of its own: a folder's listing cache is one thread's.
  zira::MachineRefusals refusals;
  zira::ClientFolder folder(zira::ProcessFolder(), refusals);
  for (std::size_t at = next++; at < names.size(); at = next++) {
    zira::bench::ReadPackage(folder, names[at], inflate, tally);
  }
  libdeflate_free_decompressor(decompressor);
}

}  // namespace

int main(int argc, char** argv) {
  unsigned threads = std::thread::hardware_concurrency();
  int first = 1;
  if (argc >= 3 && std::strcmp(argv[1], "--threads") == 0) {
    char* end = nullptr;
    const unsigned long asked = std::strtoul(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || asked < 1 || asked > kMostThreads) {
      std::fprintf(stderr, "baseline_libdeflate: invalid number of threads '%s' (1 to %u)\n", argv[2], kMostThreads);
      return 2;
    }
    threads = static_cast<unsigned>(asked);
    first = 3;
  }
  if (threads == 0) threads = 1;
  if (argc - first < 2) {
    std::fprintf(stderr, "usage: baseline_libdeflate [--threads N] <client folder> <package list>\n");
    return 2;
  }
  std::vector<zira::bench::PackageName> names;
  if (!zira::bench::LoadPackageNames("baseline_libdeflate", argv[first], argv[first + 1], names)) return 1;

  std::atomic<std::size_t> next{0};
  std::vector<zira::bench::PackageTally> tallies(threads);
  std::vector<std::thread> workers;
  // The calling thread is one of the threads, as in the inventory's pool.
  for (unsigned i = 1; i < threads; ++i) {
    workers.emplace_back([&names, &next, &tally = tallies[i]] { InflatePackages(names, next, tally); });
  }
  InflatePackages(names, next, tallies[0]);
  for (std::thread& worker : workers) worker.join();

  zira::bench::PackageTally total;
  for (const zira::bench::PackageTally& tally : tallies) total.Add(tally);
  return zira::bench::ReportTally("baseline_libdeflate", names.size(), total);
}
