#pragma once
#include <cstddef>
#include <mutex>

namespace zira {

// The machine refusing memory or file descriptors is no fault of the client's
// files, so such a failure must not read as one. The layer that meets it notes
// it with the file's name; the next SKIPPED or FAILURE line of the log is then
// followed by "  NAME: reason", and the run remembers it for its exit code.

// ENOMEM, EMFILE and ENFILE.
bool IsMachineRefusal(int error);

// What one run was refused. Fixed storage: noting a refusal must not itself
// need memory. Safe from worker threads.
class MachineRefusals {
 public:
  // Notes error for name when it is a machine refusal; any other error is
  // ignored. A later note replaces a pending one.
  void Note(int error, const char* name);
  // The pending refusal as its reason line ("  NAME: reason", no line end),
  // cleared; false when none is pending. capacity includes the final zero.
  bool TakeLine(char* line, std::size_t capacity);
  // Whether anything was refused in this run.
  bool Any();

 private:
  std::mutex mutex_;
  int pending_ = 0;
  char name_[256] = {};
  bool any_ = false;
};

}  // namespace zira
