#include <getopt.h>

#include <cstdio>
#include <cstdlib>

#include "app/run_driver.h"
#include "common/worker_pool.h"

namespace {

constexpr int kUsageExit = 64;

// -j, --jobs N: threads that inflate a world file's blocks (default: the
// machine's cores; 1 inflates them one after the other).
bool ParseJobs(int argc, char** argv) {
  static const option kOptions[] = {{"jobs", required_argument, nullptr, 'j'}, {nullptr, 0, nullptr, 0}};
  int option;
  while ((option = getopt_long(argc, argv, "j:", kOptions, nullptr)) != -1) {
    if (option != 'j') return false;
    char* end = nullptr;
    const long jobs = std::strtol(optarg, &end, 10);
    if (end == optarg || *end != '\0' || jobs < 1 || jobs > static_cast<long>(zira::kMostWorkerJobs)) {
      std::fprintf(stderr, "zira: --jobs takes a number from 1 to %u\n", zira::kMostWorkerJobs);
      return false;
    }
    zira::SetWorkerJobs(static_cast<unsigned>(jobs));
  }
  return optind == argc;
}

}  // namespace

int main(int argc, char** argv) {
  if (!ParseJobs(argc, argv)) {
    std::fprintf(stderr, "usage: zira [-j N | --jobs N]\n");
    return kUsageExit;
  }
  return zira::RunInventory();
}
