#include "client/call_scanner.h"

#include <array>
#include <cstdint>
#include <optional>

#include "common/byte_cursor.h"

namespace zira {

namespace {

// The tracked registers.
enum class Reg : std::uint8_t { kEax, kEbx, kEcx, kEsi, kEdi, kEbp };

std::uint32_t& RegisterOf(ScanState& state, Reg reg) {
  switch (reg) {
    case Reg::kEax:
      return state.eax;
    case Reg::kEbx:
      return state.ebx;
    case Reg::kEcx:
      return state.ecx;
    case Reg::kEsi:
      return state.esi;
    case Reg::kEdi:
      return state.edi;
    case Reg::kEbp:
      break;
  }
  return state.ebp;
}

// What one instruction form does to the model of registers and stack.
enum class Effect : std::uint8_t {
  kNone,          // stepped over
  kByModrm,       // the byte after the opcode picks the form (kModrmForms)
  kPushRegister,  // push reg
  kPushImm8,      // push the byte at P + 1, zero-extended
  kPushImm32,     // push the 32-bit value at P + 1
  kLoadImm32,     // reg = the 32-bit value at P + 1
  kIncrement,     // reg += 1
  kPop,           // reg = the last pushed value, when there is one
  kZero,          // reg = 0 (xor with itself; a load from memory the model cannot know)
  kCopy,          // reg = source
  kAddByte,       // reg = source + the byte at P + 2, zero-extended (lea)
  kRepStore,      // reg += source, source = 0 (rep stosd: edi advances by the count)
  kCall,          // stops at a registration routine; any other call consumes the arguments
  kJumpForward,   // followed forward by the byte at P + 1, so the walk always ends
};

struct Rule {
  Effect effect = Effect::kNone;
  std::uint8_t length = 1;    // bytes from the opcode to the next instruction
  std::uint8_t operands = 0;  // bytes read after the opcode; they must lie inside the image
  Reg reg = Reg::kEax;        // the register the effect writes, where it writes one
  Reg source = Reg::kEax;     // the register it reads besides, where it reads one
};

struct OpcodeRule {
  std::uint8_t opcode;
  Rule rule;
};

struct ModrmForm {
  std::uint8_t opcode, modrm;
  Rule rule;
};

// Forms whose meaning the byte after the opcode decides; any modrm not listed
// is a two-byte step.
constexpr Rule kByModrm = {Effect::kByModrm, 2, 1};

constexpr OpcodeRule kOpcodeRules[] = {
    {0x33, kByModrm},
    {0x45, {Effect::kIncrement, 1, 0, Reg::kEbp}},
    {0x50, {Effect::kPushRegister, 1, 0, Reg::kEax}},
    {0x53, {Effect::kPushRegister, 1, 0, Reg::kEbx}},
    {0x55, {Effect::kPushRegister, 1, 0, Reg::kEbp}},
    {0x56, {Effect::kPushRegister, 1, 0, Reg::kEsi}},
    {0x57, {Effect::kPushRegister, 1, 0, Reg::kEdi}},
    {0x5F, {Effect::kPop, 1, 0, Reg::kEdi}},
    {0x68, {Effect::kPushImm32, 5, 4}},
    {0x6A, {Effect::kPushImm8, 2, 1}},
    // Conditional jumps are not followed; tests only set flags.
    {0x74, {Effect::kNone, 2, 0}},
    {0x75, {Effect::kNone, 2, 0}},
    {0x83, kByModrm},
    {0x84, {Effect::kNone, 2, 0}},
    {0x85, {Effect::kNone, 2, 0}},
    {0x88, kByModrm},
    {0x89, kByModrm},
    {0x8B, kByModrm},
    {0x8D, kByModrm},
    {0xB8, {Effect::kLoadImm32, 5, 4, Reg::kEax}},
    {0xB9, {Effect::kLoadImm32, 5, 4, Reg::kEcx}},
    {0xBB, {Effect::kLoadImm32, 5, 4, Reg::kEbx}},
    {0xBD, {Effect::kLoadImm32, 5, 4, Reg::kEbp}},
    {0xBF, {Effect::kLoadImm32, 5, 4, Reg::kEdi}},
    {0xC6, kByModrm},
    {0xC7, kByModrm},
    {0xE8, {Effect::kCall, 5, 4}},
    {0xEB, {Effect::kJumpForward, 2, 1}},
    {0xF3, kByModrm},
    {0xFF, kByModrm},
};

constexpr ModrmForm kModrmForms[] = {
    {0x33, 0xC0, {Effect::kZero, 2, 1, Reg::kEax}},
    {0x33, 0xDB, {Effect::kZero, 2, 1, Reg::kEbx}},
    {0x33, 0xED, {Effect::kZero, 2, 1, Reg::kEbp}},
    {0x33, 0xFF, {Effect::kZero, 2, 1, Reg::kEdi}},
    {0x83, 0x7E, {Effect::kNone, 4, 1}},
    {0x83, 0xBE, {Effect::kNone, 7, 1}},
    {0x83, 0xC4, {Effect::kNone, 3, 1}},
    {0x88, 0x5E, {Effect::kNone, 3, 1}},
    {0x89, 0x46, {Effect::kNone, 3, 1}},
    {0x89, 0x7E, {Effect::kNone, 3, 1}},
    {0x89, 0x5C, {Effect::kNone, 4, 1}},
    {0x89, 0x74, {Effect::kNone, 4, 1}},
    {0x89, 0x7C, {Effect::kNone, 4, 1}},
    {0x89, 0x86, {Effect::kNone, 6, 1}},
    {0x8B, 0x46, {Effect::kZero, 3, 1, Reg::kEax}},
    {0x8B, 0x86, {Effect::kZero, 6, 1, Reg::kEax}},
    {0x8B, 0x8E, {Effect::kZero, 6, 1, Reg::kEcx}},
    {0x8B, 0xC8, {Effect::kCopy, 2, 1, Reg::kEcx, Reg::kEax}},
    {0x8B, 0xCE, {Effect::kCopy, 2, 1, Reg::kEcx, Reg::kEsi}},
    {0x8B, 0xF1, {Effect::kCopy, 2, 1, Reg::kEsi, Reg::kEcx}},
    {0x8D, 0x7E, {Effect::kAddByte, 3, 2, Reg::kEdi, Reg::kEsi}},
    {0xC6, 0x46, {Effect::kNone, 4, 1}},
    {0xC7, 0x06, {Effect::kNone, 6, 1}},
    {0xC7, 0x80, {Effect::kNone, 10, 1}},
    {0xC7, 0x81, {Effect::kNone, 10, 1}},
    {0xF3, 0xAB, {Effect::kRepStore, 2, 1, Reg::kEdi, Reg::kEcx}},
    {0xFF, 0x15, {Effect::kNone, 6, 1}},
};

// Any other opcode is a one-byte step.
constexpr Rule kOneByteStep = {Effect::kNone, 1, 0};

constexpr std::size_t kOpcodeCount = 256;
constexpr std::array<Rule, kOpcodeCount> kRuleOfOpcode = [] {
  // Filled explicitly: g++ 12 leaves the value-initialized elements of such a constexpr table zero.
  std::array<Rule, kOpcodeCount> rules{};
  rules.fill(kOneByteStep);
  for (const OpcodeRule& entry : kOpcodeRules) rules[entry.opcode] = entry.rule;
  return rules;
}();

// True when the count bytes from offset on lie inside the image.
bool Fits(std::span<const std::uint8_t> image, std::size_t offset, std::size_t count) {
  return offset <= image.size() && count <= image.size() - offset;
}

Rule ModrmRule(std::uint8_t opcode, std::uint8_t modrm) {
  for (const ModrmForm& form : kModrmForms) {
    if (form.opcode == opcode && form.modrm == modrm) return form.rule;
  }
  return {Effect::kNone, kByModrm.length, kByModrm.operands};
}

// The rule of the instruction at p, or none when a byte it needs lies beyond the image.
std::optional<Rule> RuleAt(std::span<const std::uint8_t> image, const ByteCursor& bytes, std::uint32_t p) {
  if (!Fits(image, p, 1)) return std::nullopt;
  const std::uint8_t opcode = bytes.U8At(p);
  Rule rule = kRuleOfOpcode[opcode];
  if (rule.effect == Effect::kByModrm) {
    if (!Fits(image, std::size_t{p} + 1, 1)) return std::nullopt;
    rule = ModrmRule(opcode, bytes.U8At(std::size_t{p} + 1));
  }
  if (!Fits(image, std::size_t{p} + 1, rule.operands)) return std::nullopt;
  return rule;
}

void Push(ScanState& state, std::uint32_t value) {
  // A seventeenth push is dropped; its bytes are still stepped over.
  if (state.depth < kScanStackSlots) state.stack[state.depth++] = value;
}

// A call to a registration routine keeps the pushed arguments; any other
// routine consumes them.
bool IsRegistrationCall(const ByteCursor& bytes, std::uint32_t p, ScanState& state) {
  const std::uint32_t called = (p + 1) + bytes.U32At(std::size_t{p} + 1);
  if (called == state.target || (state.altTarget != 0 && called == state.altTarget)) return true;
  state.depth = 0;
  return false;
}

// Applies the rule of the instruction at p; returns where the next one starts.
std::uint64_t Apply(const Rule& rule, const ByteCursor& bytes, std::uint32_t p, ScanState& state) {
  const std::size_t operand = std::size_t{p} + 1;
  const std::uint64_t next = std::uint64_t{p} + rule.length;
  switch (rule.effect) {
    case Effect::kNone:
    case Effect::kByModrm:
    case Effect::kCall:
      break;
    case Effect::kPushRegister:
      Push(state, RegisterOf(state, rule.reg));
      break;
    case Effect::kPushImm8:
      Push(state, bytes.U8At(operand));
      break;
    case Effect::kPushImm32:
      Push(state, bytes.U32At(operand));
      break;
    case Effect::kLoadImm32:
      RegisterOf(state, rule.reg) = bytes.U32At(operand);
      break;
    case Effect::kIncrement:
      ++(RegisterOf(state, rule.reg));
      break;
    case Effect::kPop:
      if (state.depth > 0) RegisterOf(state, rule.reg) = state.stack[--state.depth];
      break;
    case Effect::kZero:
      RegisterOf(state, rule.reg) = 0;
      break;
    case Effect::kCopy:
      RegisterOf(state, rule.reg) = RegisterOf(state, rule.source);
      break;
    case Effect::kAddByte:
      RegisterOf(state, rule.reg) = RegisterOf(state, rule.source) + bytes.U8At(operand + 1);
      break;
    case Effect::kRepStore:
      RegisterOf(state, rule.reg) += RegisterOf(state, rule.source);
      RegisterOf(state, rule.source) = 0;
      break;
    case Effect::kJumpForward:
      return next + bytes.U8At(operand);
  }
  return next;
}

}  // namespace

bool FindNextCall(std::span<const std::uint8_t> image, ScanState& state) {
  state.depth = 0;
  const ByteCursor bytes(image);
  while (state.position < state.end) {
    const std::uint32_t p = state.position;
    // Opcode and operand reads stay inside the image: what would need a byte
    // beyond it ends the walk.
    const std::optional<Rule> rule = RuleAt(image, bytes, p);
    if (!rule) return false;
    const std::uint64_t next = Apply(*rule, bytes, p, state);
    const bool matched = rule->effect == Effect::kCall && IsRegistrationCall(bytes, p, state);
    // A step that leaves the 32-bit offset space lies beyond any image.
    if (next > UINT32_MAX) return false;
    state.position = static_cast<std::uint32_t>(next);
    if (matched) return true;
  }
  return false;
}

}  // namespace zira
