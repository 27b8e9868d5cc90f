#include "common/machine_refusal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace zira {

namespace {

// Fixed storage: noting a refusal must not itself need memory.
struct RefusalState {
  std::mutex mutex;
  int pending = 0;
  char name[256] = {};
  bool any = false;
};

RefusalState& State() {
  static RefusalState state;
  return state;
}

}  // namespace

bool IsMachineRefusal(int error) { return error == ENOMEM || error == EMFILE || error == ENFILE; }

void NoteMachineRefusal(int error, const char* name) {
  if (!IsMachineRefusal(error)) return;
  RefusalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.pending = error;
  state.any = true;
  std::snprintf(state.name, sizeof(state.name), "%s", name != nullptr ? name : "");
}

bool TakeRefusalLine(char* line, std::size_t capacity) {
  RefusalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.pending == 0 || line == nullptr || capacity == 0) return false;
  std::snprintf(line, capacity, "  %s: %s", state.name, std::strerror(state.pending));
  state.pending = 0;
  return true;
}

bool MachineRefusedAnything() {
  RefusalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.any;
}

void ResetMachineRefusals() {
  RefusalState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.pending = 0;
  state.name[0] = '\0';
  state.any = false;
}

}  // namespace zira
