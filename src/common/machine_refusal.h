#pragma once
#include <cstddef>

namespace zira {

// The machine refusing memory or file descriptors is no fault of the client's
// files, so such a failure must not read as one. The layer that meets it notes
// it with the file's name; the next SKIPPED or FAILURE line of the log is then
// followed by "  NAME: reason", and the run remembers it for its exit code.

// ENOMEM, EMFILE and ENFILE.
bool IsMachineRefusal(int error);
// Notes error for name when it is a machine refusal; any other error is ignored.
// Safe from worker threads; a later note replaces a pending one.
void NoteMachineRefusal(int error, const char* name);
// The pending refusal as its reason line ("  NAME: reason", no line end),
// cleared; false when none is pending. capacity includes the final zero.
bool TakeRefusalLine(char* line, std::size_t capacity);
// Whether anything was refused since the last reset.
bool MachineRefusedAnything();
void ResetMachineRefusals();

}  // namespace zira
