#include "app/phase_times.h"

#include <cstdlib>
#include <cstring>

namespace zira {

namespace {

double Seconds(std::chrono::steady_clock::duration span) { return std::chrono::duration<double>(span).count(); }

}  // namespace

PhaseTimes::PhaseTimes(std::FILE* out) : out_(nullptr) {
  const char* flag = std::getenv("ZIRA_PHASE_TIMES");
  if (flag != nullptr && std::strcmp(flag, "1") == 0) out_ = out;
  start_ = last_ = std::chrono::steady_clock::now();
}

void PhaseTimes::End(const char* phase) {
  if (out_ == nullptr || phase == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  std::fprintf(out_, "phase %s %.6f\n", phase, Seconds(now - last_));
  std::fflush(out_);
  last_ = now;
}

void PhaseTimes::Total() {
  if (out_ == nullptr) return;
  std::fprintf(out_, "phase total %.6f\n", Seconds(std::chrono::steady_clock::now() - start_));
  std::fflush(out_);
}

}  // namespace zira
