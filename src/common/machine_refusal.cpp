#include "common/machine_refusal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zira {

bool IsMachineRefusal(int error) { return error == ENOMEM || error == EMFILE || error == ENFILE; }

void MachineRefusals::Note(int error, const char* name) {
  if (!IsMachineRefusal(error)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  pending_ = error;
  any_ = true;
  std::snprintf(name_, sizeof(name_), "%s", name != nullptr ? name : "");
}

bool MachineRefusals::TakeLine(char* line, std::size_t capacity) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pending_ == 0 || line == nullptr || capacity == 0) return false;
  std::snprintf(line, capacity, "  %s: %s", name_, std::strerror(pending_));
  pending_ = 0;
  return true;
}

bool MachineRefusals::Any() {
  std::lock_guard<std::mutex> lock(mutex_);
  return any_;
}

}  // namespace zira
