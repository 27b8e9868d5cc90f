#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace zira::testing {

enum class Reg { kEax, kEbx, kEcx, kEsi, kEdi, kEbp };

// Writes the 32-bit instruction forms the client's registration code uses.
// Origin is the file offset the first byte will have in the image, so call
// operands can be computed against scanner target values.
class X86Emitter {
 public:
  explicit X86Emitter(std::uint32_t origin = 0) : origin_(origin) {}

  std::uint32_t Origin() const { return origin_; }
  // File offset of the next byte to be written.
  std::uint32_t Position() const { return origin_ + static_cast<std::uint32_t>(bytes_.size()); }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes_.size()); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  X86Emitter& Raw(std::span<const std::uint8_t> bytes);
  X86Emitter& Raw(std::initializer_list<std::uint8_t> bytes);
  X86Emitter& U32(std::uint32_t value);

  X86Emitter& PushImm8(std::uint8_t value);     // 6A ib
  X86Emitter& PushImm32(std::uint32_t value);   // 68 id
  // The shorter of the two immediate pushes that delivers value.
  X86Emitter& Push(std::uint32_t value);
  X86Emitter& PushReg(Reg reg);                 // 50/53/55/56/57: eax, ebx, ebp, esi, edi
  X86Emitter& MovImm32(Reg reg, std::uint32_t value);  // B8/B9/BB/BD/BF: eax, ecx, ebx, ebp, edi
  X86Emitter& XorSelf(Reg reg);                 // 33 C0/DB/ED/FF: eax, ebx, ebp, edi
  X86Emitter& IncEbp();                         // 45
  X86Emitter& PopEdi();                         // 5F
  X86Emitter& LeaEdiEsi(std::uint8_t displacement);  // 8D 7E ib
  X86Emitter& RepStosd();                       // F3 AB
  X86Emitter& MovEcxEax();                      // 8B C8
  X86Emitter& MovEcxEsi();                      // 8B CE
  X86Emitter& MovEsiEcx();                      // 8B F1
  X86Emitter& MovEaxFromEsi8(std::uint8_t displacement);    // 8B 46 ib
  X86Emitter& MovEaxFromEsi32(std::uint32_t displacement);  // 8B 86 id
  X86Emitter& MovEcxFromEsi32(std::uint32_t displacement);  // 8B 8E id

  // E8 rel32 whose computed value (operand offset + rel32) equals targetValue,
  // the form the edition table keeps (routine offset minus 4).
  X86Emitter& Call(std::uint32_t targetValue);
  // E8 with a raw operand.
  X86Emitter& CallRel(std::int32_t rel32);
  X86Emitter& JumpShort(std::uint8_t distance);  // EB ib, followed forward
  // EB over the given bytes (at most 255), which the walk then never sees.
  X86Emitter& JumpOver(std::span<const std::uint8_t> skipped);
  X86Emitter& JumpIf(bool equal, std::uint8_t distance);  // 74/75 ib, not followed
  X86Emitter& Test(std::uint8_t modrm = 0xC0);          // 85 /r

  // A stepped-over form (83, 88, 89, 8B, C6, C7, FF) with its full length,
  // operand bytes filled with fill.
  X86Emitter& SkipForm(std::uint8_t opcode, std::uint8_t modrm, std::uint8_t fill = 0x90);
  // Length the scanner gives such a form.
  static std::uint32_t SkipFormLength(std::uint8_t opcode, std::uint8_t modrm);

 private:
  std::uint32_t origin_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace zira::testing
