#include "support/x86_emitter.h"

namespace zira::testing {

namespace {

std::uint8_t Select(Reg reg, std::uint8_t eax, std::uint8_t ebx, std::uint8_t ecx, std::uint8_t esi, std::uint8_t edi,
                    std::uint8_t ebp) {
  switch (reg) {
    case Reg::kEax:
      return eax;
    case Reg::kEbx:
      return ebx;
    case Reg::kEcx:
      return ecx;
    case Reg::kEsi:
      return esi;
    case Reg::kEdi:
      return edi;
    case Reg::kEbp:
      return ebp;
  }
  return 0x90;
}

}  // namespace

X86Emitter& X86Emitter::Raw(std::span<const std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

X86Emitter& X86Emitter::Raw(std::initializer_list<std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

X86Emitter& X86Emitter::U32(std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  return *this;
}

X86Emitter& X86Emitter::PushImm8(std::uint8_t value) { return Raw({0x6A, value}); }

X86Emitter& X86Emitter::PushImm32(std::uint32_t value) { return Raw({0x68}).U32(value); }

X86Emitter& X86Emitter::Push(std::uint32_t value) {
  return value <= 0xFF ? PushImm8(static_cast<std::uint8_t>(value)) : PushImm32(value);
}

// Registers without a form of their own get a byte with no rule (0x90).
X86Emitter& X86Emitter::PushReg(Reg reg) { return Raw({Select(reg, 0x50, 0x53, 0x90, 0x56, 0x57, 0x55)}); }

X86Emitter& X86Emitter::MovImm32(Reg reg, std::uint32_t value) {
  return Raw({Select(reg, 0xB8, 0xBB, 0xB9, 0x90, 0xBF, 0xBD)}).U32(value);
}

X86Emitter& X86Emitter::XorSelf(Reg reg) { return Raw({0x33, Select(reg, 0xC0, 0xDB, 0xC9, 0xF6, 0xFF, 0xED)}); }

X86Emitter& X86Emitter::IncEbp() { return Raw({0x45}); }
X86Emitter& X86Emitter::PopEdi() { return Raw({0x5F}); }
X86Emitter& X86Emitter::LeaEdiEsi(std::uint8_t displacement) { return Raw({0x8D, 0x7E, displacement}); }
X86Emitter& X86Emitter::RepStosd() { return Raw({0xF3, 0xAB}); }
X86Emitter& X86Emitter::MovEcxEax() { return Raw({0x8B, 0xC8}); }
X86Emitter& X86Emitter::MovEcxEsi() { return Raw({0x8B, 0xCE}); }
X86Emitter& X86Emitter::MovEsiEcx() { return Raw({0x8B, 0xF1}); }
X86Emitter& X86Emitter::MovEaxFromEsi8(std::uint8_t displacement) { return Raw({0x8B, 0x46, displacement}); }
X86Emitter& X86Emitter::MovEaxFromEsi32(std::uint32_t displacement) { return Raw({0x8B, 0x86}).U32(displacement); }
X86Emitter& X86Emitter::MovEcxFromEsi32(std::uint32_t displacement) { return Raw({0x8B, 0x8E}).U32(displacement); }

X86Emitter& X86Emitter::Call(std::uint32_t targetValue) {
  const std::uint32_t operandOffset = Position() + 1;
  return CallRel(static_cast<std::int32_t>(targetValue - operandOffset));
}

X86Emitter& X86Emitter::CallRel(std::int32_t rel32) { return Raw({0xE8}).U32(static_cast<std::uint32_t>(rel32)); }

X86Emitter& X86Emitter::JumpShort(std::uint8_t distance) { return Raw({0xEB, distance}); }

X86Emitter& X86Emitter::JumpOver(std::span<const std::uint8_t> skipped) {
  // A short jump reaches at most 255 bytes; anything beyond is cut off.
  const std::span<const std::uint8_t> reached = skipped.first(skipped.size() > 0xFF ? 0xFF : skipped.size());
  JumpShort(static_cast<std::uint8_t>(reached.size()));
  return Raw(reached);
}

X86Emitter& X86Emitter::JumpIf(bool equal, std::uint8_t distance) {
  return Raw({static_cast<std::uint8_t>(equal ? 0x74 : 0x75), distance});
}

X86Emitter& X86Emitter::Test(std::uint8_t modrm) { return Raw({0x85, modrm}); }

std::uint32_t X86Emitter::SkipFormLength(std::uint8_t opcode, std::uint8_t modrm) {
  switch (opcode) {
    case 0x83:
      return modrm == 0x7E ? 4 : modrm == 0xBE ? 7 : modrm == 0xC4 ? 3 : 2;
    case 0x88:
      return modrm == 0x5E ? 3 : 2;
    case 0x89:
      if (modrm == 0x46 || modrm == 0x7E) return 3;
      if (modrm == 0x5C || modrm == 0x74 || modrm == 0x7C) return 4;
      return modrm == 0x86 ? 6 : 2;
    case 0x8B:
      return modrm == 0x46 ? 3 : (modrm == 0x86 || modrm == 0x8E) ? 6 : 2;
    case 0xC6:
      return modrm == 0x46 ? 4 : 2;
    case 0xC7:
      return modrm == 0x06 ? 6 : (modrm == 0x80 || modrm == 0x81) ? 10 : 2;
    case 0xFF:
      return modrm == 0x15 ? 6 : 2;
    default:
      return 2;
  }
}

X86Emitter& X86Emitter::SkipForm(std::uint8_t opcode, std::uint8_t modrm, std::uint8_t fill) {
  Raw({opcode, modrm});
  for (std::uint32_t i = 2; i < SkipFormLength(opcode, modrm); ++i) bytes_.push_back(fill);
  return *this;
}

}  // namespace zira::testing
