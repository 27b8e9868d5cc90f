#pragma once
#include <cstdint>
#include <span>

namespace zira {

// Pushed values the scanner keeps between two calls; later pushes are dropped.
inline constexpr std::uint32_t kScanStackSlots = 16;

// The scanner's model of the registration code: a few registers and the
// values pushed since the last reset. Callers zero it, set the window and
// targets, then call FindNextCall until it returns false.
struct ScanState {
  std::uint32_t eax, ebx, ecx, esi, edi, ebp;
  std::uint32_t stack[kScanStackSlots];
  std::uint32_t depth;
  std::uint32_t position;
  std::uint32_t end;
  std::uint32_t target;
  std::uint32_t altTarget;
};

// True after passing a call to target (or a nonzero altTarget); false when
// position reached end. Every read is bounded by the end of image.
bool FindNextCall(std::span<const std::uint8_t> image, ScanState& state);

}  // namespace zira
