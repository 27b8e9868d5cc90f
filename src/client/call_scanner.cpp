#include "client/call_scanner.h"

#include <cstdint>

#include "common/byte_cursor.h"

namespace zira {

namespace {

constexpr std::uint32_t kStackSlots = 16;

void Push(ScanState& state, std::uint32_t value) {
  // A seventeenth push is dropped; its bytes are still stepped over.
  if (state.depth < kStackSlots) state.stack[state.depth++] = value;
}

// Length of the instruction forms that are only stepped over, chosen by the
// byte after the opcode.
std::uint32_t SkipLength(std::uint8_t opcode, std::uint8_t m) {
  switch (opcode) {
    case 0x83:
      return m == 0x7E ? 4 : m == 0xBE ? 7 : m == 0xC4 ? 3 : 2;
    case 0x88:
      return m == 0x5E ? 3 : 2;
    case 0x89:
      if (m == 0x46 || m == 0x7E) return 3;
      if (m == 0x5C || m == 0x74 || m == 0x7C) return 4;
      return m == 0x86 ? 6 : 2;
    case 0xC6:
      return m == 0x46 ? 4 : 2;
    case 0xC7:
      if (m == 0x06) return 6;
      return (m == 0x80 || m == 0x81) ? 10 : 2;
    case 0xFF:
      return m == 0x15 ? 6 : 2;
    default:
      return 2;
  }
}

}  // namespace

bool FindNextCall(std::span<const std::uint8_t> image, ScanState& state) {
  state.depth = 0;
  const ByteCursor bytes(image);
  while (state.position < state.end) {
    const std::uint32_t p = state.position;
    // Opcode and operand reads stay inside the image: what would need a byte
    // beyond it ends the walk.
    if (!bytes.Contains(p, 1)) return false;
    const std::uint8_t opcode = bytes.U8At(p);
    auto has = [&](std::size_t operandBytes) { return bytes.Contains(std::size_t{p} + 1, operandBytes); };
    std::uint64_t next = std::uint64_t{p} + 1;
    bool matched = false;

    switch (opcode) {
      case 0x45:
        ++state.ebp;
        break;
      case 0x50:
        Push(state, state.eax);
        break;
      case 0x53:
        Push(state, state.ebx);
        break;
      case 0x55:
        Push(state, state.ebp);
        break;
      case 0x56:
        Push(state, state.esi);
        break;
      case 0x57:
        Push(state, state.edi);
        break;
      case 0x5F:
        if (state.depth > 0) state.edi = state.stack[--state.depth];
        break;
      case 0x68:
      case 0xB8:
      case 0xB9:
      case 0xBB:
      case 0xBD:
      case 0xBF: {
        if (!has(4)) return false;
        const std::uint32_t value = bytes.U32At(std::size_t{p} + 1);
        if (opcode == 0x68) Push(state, value);
        if (opcode == 0xB8) state.eax = value;
        if (opcode == 0xB9) state.ecx = value;
        if (opcode == 0xBB) state.ebx = value;
        if (opcode == 0xBD) state.ebp = value;
        if (opcode == 0xBF) state.edi = value;
        next = std::uint64_t{p} + 5;
        break;
      }
      case 0x6A:
        if (!has(1)) return false;
        Push(state, bytes.U8At(std::size_t{p} + 1));
        next = std::uint64_t{p} + 2;
        break;
      case 0x74:
      case 0x75:
      case 0x84:
      case 0x85:
        // Conditional jumps are not followed; tests only set flags.
        next = std::uint64_t{p} + 2;
        break;
      case 0x33: {
        if (!has(1)) return false;
        const std::uint8_t m = bytes.U8At(std::size_t{p} + 1);
        if (m == 0xC0) state.eax = 0;
        if (m == 0xDB) state.ebx = 0;
        if (m == 0xED) state.ebp = 0;
        if (m == 0xFF) state.edi = 0;
        next = std::uint64_t{p} + 2;
        break;
      }
      case 0x83:
      case 0x88:
      case 0x89:
      case 0xC6:
      case 0xC7:
      case 0xFF:
        if (!has(1)) return false;
        next = std::uint64_t{p} + SkipLength(opcode, bytes.U8At(std::size_t{p} + 1));
        break;
      case 0x8B: {
        if (!has(1)) return false;
        const std::uint8_t m = bytes.U8At(std::size_t{p} + 1);
        next = std::uint64_t{p} + 2;
        // Loads from memory are unknown to the model and count as zero.
        if (m == 0x46) {
          state.eax = 0;
          next = std::uint64_t{p} + 3;
        } else if (m == 0x86) {
          state.eax = 0;
          next = std::uint64_t{p} + 6;
        } else if (m == 0x8E) {
          state.ecx = 0;
          next = std::uint64_t{p} + 6;
        } else if (m == 0xC8) {
          state.ecx = state.eax;
        } else if (m == 0xCE) {
          state.ecx = state.esi;
        } else if (m == 0xF1) {
          state.esi = state.ecx;
        }
        break;
      }
      case 0x8D: {
        if (!has(1)) return false;
        next = std::uint64_t{p} + 2;
        if (bytes.U8At(std::size_t{p} + 1) == 0x7E) {
          if (!has(2)) return false;
          state.edi = state.esi + bytes.U8At(std::size_t{p} + 2);
          next = std::uint64_t{p} + 3;
        }
        break;
      }
      case 0xE8: {
        if (!has(4)) return false;
        const std::uint32_t called = (p + 1) + bytes.U32At(std::size_t{p} + 1);
        next = std::uint64_t{p} + 5;
        if (called == state.target || (state.altTarget != 0 && called == state.altTarget)) {
          matched = true;
        } else {
          // Arguments of any other routine are consumed by it.
          state.depth = 0;
        }
        break;
      }
      case 0xEB:
        // Followed forward only, so the walk always ends.
        if (!has(1)) return false;
        next = std::uint64_t{p} + 2 + bytes.U8At(std::size_t{p} + 1);
        break;
      case 0xF3:
        if (!has(1)) return false;
        if (bytes.U8At(std::size_t{p} + 1) == 0xAB) {
          state.edi += state.ecx;
          state.ecx = 0;
        }
        next = std::uint64_t{p} + 2;
        break;
      default:
        break;
    }

    // A step that leaves the 32-bit offset space lies beyond any image.
    if (next > UINT32_MAX) return false;
    state.position = static_cast<std::uint32_t>(next);
    if (matched) return true;
  }
  return false;
}

}  // namespace zira
