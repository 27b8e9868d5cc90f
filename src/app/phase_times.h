#pragma once
#include <chrono>
#include <cstdio>

namespace zira {

// Wall time of each step of a run, for benchmarks. Only when the environment
// holds ZIRA_PHASE_TIMES=1 does it print anything (to stderr, one line per
// step), so a normal run's console, log and reports stay as they are.
class PhaseTimes {
 public:
  explicit PhaseTimes(std::FILE* out = stderr);
  bool Enabled() const { return out_ != nullptr; }
  // Prints "phase <name> <seconds>" for the time since the previous step ended.
  void End(const char* phase);
  // Prints the time since the first step began as the phase "total".
  void Total();

 private:
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace zira
