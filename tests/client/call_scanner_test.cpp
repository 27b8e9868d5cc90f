#include "client/call_scanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/x86_emitter.h"

namespace zira {
namespace {

using testing::Reg;
using testing::X86Emitter;

constexpr std::uint32_t kTarget = 0x8C83A;
constexpr std::uint32_t kAltTarget = 0x8C900;
constexpr std::uint32_t kAddress = 0x00701234;

ScanState StateFor(const std::vector<std::uint8_t>& code, std::uint32_t altTarget = 0) {
  ScanState state{};
  state.position = 0;
  state.end = static_cast<std::uint32_t>(code.size());
  state.target = kTarget;
  state.altTarget = altTarget;
  return state;
}

std::vector<std::uint32_t> Pushed(const ScanState& state) {
  return std::vector<std::uint32_t>(state.stack, state.stack + state.depth);
}

TEST(CallScanner, ImmediatePushesReachTheMatchingCall) {
  const std::vector<std::uint8_t> code = {0x6A, 0x01, 0x6A, 0x05, 0x68, 0x34, 0x12, 0x70, 0x00,
                                          0xE8, 0x30, 0xC8, 0x08, 0x00};  // 10 + 0x8C830 = target
  ScanState state = StateFor(code);
  ASSERT_TRUE(FindNextCall(code, state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{1, 5, kAddress}));
  EXPECT_EQ(state.position, 14u);
  EXPECT_FALSE(FindNextCall(code, state));
  EXPECT_EQ(state.depth, 0u);
}

TEST(CallScanner, ValuesReachTheStackThroughRegisters) {
  X86Emitter code;
  code.Raw({0x6A, 0x01, 0x6A, 0x05, 0xB8}).U32(kAddress).Raw({0x50}).Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{1, 5, kAddress}));
  EXPECT_EQ(state.position, code.Size());

  X86Emitter other;
  other.MovImm32(Reg::kEbx, 7).PushReg(Reg::kEbx).XorSelf(Reg::kEbx).PushReg(Reg::kEbx);
  other.MovImm32(Reg::kEbp, 9).IncEbp().PushReg(Reg::kEbp).XorSelf(Reg::kEbp).IncEbp().PushReg(Reg::kEbp);
  other.MovImm32(Reg::kEcx, 0x1000).MovEsiEcx().PushReg(Reg::kEsi).LeaEdiEsi(0xF0).PushReg(Reg::kEdi);
  other.PushImm8(0xFF).XorSelf(Reg::kEax).PushReg(Reg::kEax).Call(kTarget);
  state = StateFor(other.Bytes());
  ASSERT_TRUE(FindNextCall(other.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{7, 0, 10, 1, 0x1000, 0x10F0, 255, 0}));
}

TEST(CallScanner, OtherCallsEmptyTheArgumentStack) {
  X86Emitter code;
  code.PushImm8(7).PushImm8(8).Call(kTarget + 0x40).PushImm8(1).Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{1}));
  // Slots above depth keep what the dropped pushes left there.
  EXPECT_EQ(state.stack[1], 8u);
}

TEST(CallScanner, SeventeenthPushIsDroppedButSteppedOver) {
  X86Emitter code;
  for (std::uint8_t i = 0; i < 17; ++i) code.PushImm8(i);
  code.Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  ASSERT_EQ(state.depth, 16u);
  for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(state.stack[i], i);
  EXPECT_EQ(state.position, code.Size());
}

TEST(CallScanner, PopEdiOnlyTakesPushedValues) {
  X86Emitter code;
  code.MovImm32(Reg::kEdi, 0x44332211).PopEdi().PushReg(Reg::kEdi).PushImm8(9).PopEdi().PushReg(Reg::kEdi);
  code.Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{0x44332211, 9}));
}

TEST(CallScanner, RegisterMovesAndRepStosd) {
  X86Emitter code;
  code.MovImm32(Reg::kEdi, 0x10).MovImm32(Reg::kEcx, 3).RepStosd().PushReg(Reg::kEdi);  // edi += ecx, not 4 * ecx
  code.MovImm32(Reg::kEax, 0x55).MovEcxEax().MovEsiEcx().PushReg(Reg::kEsi);
  code.MovImm32(Reg::kEcx, 0x66).MovEsiEcx().MovImm32(Reg::kEcx, 1).MovEcxEsi().XorSelf(Reg::kEdi).RepStosd();
  code.PushReg(Reg::kEdi);
  code.Raw({0xF3, 0xAA});  // another rep form changes nothing
  code.Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{0x13, 0x55, 0x66}));
  EXPECT_EQ(state.ecx, 0u);
}

TEST(CallScanner, LoadsFromMemoryBecomeZero) {
  X86Emitter code;
  code.MovImm32(Reg::kEax, 5).MovEaxFromEsi8(0x10).PushReg(Reg::kEax);
  code.MovImm32(Reg::kEax, 5).MovEaxFromEsi32(0x6A6A6A6A).PushReg(Reg::kEax);
  code.MovImm32(Reg::kEcx, 5).MovEcxFromEsi32(0x6A6A6A6A).MovEsiEcx().PushReg(Reg::kEsi);
  code.MovImm32(Reg::kEax, 5).Raw({0x8B, 0xC0}).PushReg(Reg::kEax);  // other 8B forms leave registers alone
  code.Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{0, 0, 0, 5}));
}

TEST(CallScanner, ShortJumpsGoForwardOnly) {
  X86Emitter code;
  code.JumpShort(0xFE);
  while (code.Size() < 256) code.PushImm8(0x33);
  code.PushImm8(1).Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(state.position, code.Size());

  // Conditional jumps are never taken.
  X86Emitter conditional;
  conditional.JumpIf(true, 4).PushImm8(2).JumpIf(false, 0x80).PushImm8(3).Call(kTarget);
  state = StateFor(conditional.Bytes());
  ASSERT_TRUE(FindNextCall(conditional.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{2, 3}));
}

TEST(CallScanner, SteppedOverFormsHaveTheirLengths) {
  struct Form {
    std::uint8_t opcode, modrm;
    std::uint32_t length;
  };
  const Form forms[] = {{0x83, 0x7E, 4}, {0x83, 0xBE, 7}, {0x83, 0xC4, 3}, {0x83, 0xEC, 2}, {0x88, 0x5E, 3},
                        {0x88, 0x45, 2}, {0x89, 0x46, 3}, {0x89, 0x7E, 3}, {0x89, 0x5C, 4}, {0x89, 0x74, 4},
                        {0x89, 0x7C, 4}, {0x89, 0x86, 6}, {0x89, 0x45, 2}, {0xC6, 0x46, 4}, {0xC6, 0x05, 2},
                        {0xC7, 0x06, 6}, {0xC7, 0x80, 10}, {0xC7, 0x81, 10}, {0xC7, 0x45, 2}, {0xFF, 0x15, 6},
                        {0xFF, 0xD0, 2}, {0x8B, 0x45, 2}, {0x8D, 0x45, 2}, {0x84, 0xC0, 2}, {0x85, 0xC0, 2},
                        {0x33, 0xC9, 2}};
  for (const Form& form : forms) {
    // Operand bytes that would push if stepped on, and a push that a long step would eat.
    std::vector<std::uint8_t> bytes = {form.opcode, form.modrm};
    while (bytes.size() < form.length) bytes.push_back(0x6A);
    X86Emitter code;
    code.Raw(bytes).PushImm8(1).Call(kTarget);
    ScanState state = StateFor(code.Bytes());
    ASSERT_TRUE(FindNextCall(code.Bytes(), state)) << std::hex << int{form.opcode} << ' ' << int{form.modrm};
    EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{1})) << std::hex << int{form.opcode} << ' '
                                                                << int{form.modrm};
    EXPECT_EQ(X86Emitter::SkipFormLength(form.opcode, form.modrm), form.length);
  }
}

TEST(CallScanner, AltTargetMatchesOnlyWhenSet) {
  // At offset 2, rel32 -3 gives C = 0: an unset altTarget must not match it.
  const std::vector<std::uint8_t> toZero = {0x6A, 0x04, 0xE8, 0xFD, 0xFF, 0xFF, 0xFF};
  ScanState state = StateFor(toZero);
  EXPECT_FALSE(FindNextCall(toZero, state));
  EXPECT_EQ(state.depth, 0u);

  X86Emitter code;
  code.PushImm8(4).Call(kAltTarget);
  state = StateFor(code.Bytes(), kAltTarget);
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{4}));
  state = StateFor(code.Bytes(), 0);
  EXPECT_FALSE(FindNextCall(code.Bytes(), state));
}

TEST(CallScanner, CallValueWrapsInThirtyTwoBits) {
  const std::vector<std::uint8_t> code = {0x6A, 0x02, 0xE8, 0xF0, 0xFF, 0xFF, 0xFF};  // 3 - 16
  ScanState state = StateFor(code);
  state.target = 0xFFFFFFF3;
  ASSERT_TRUE(FindNextCall(code, state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{2}));
}

TEST(CallScanner, NextSearchKeepsRegistersButStartsEmpty) {
  X86Emitter code;
  code.MovImm32(Reg::kEax, 0xABCD).PushImm8(1).Call(kTarget).PushReg(Reg::kEax).Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  ASSERT_TRUE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(Pushed(state), (std::vector<std::uint32_t>{0xABCD}));
  EXPECT_FALSE(FindNextCall(code.Bytes(), state));
}

TEST(CallScanner, WindowEndBoundsWhereInstructionsStart) {
  X86Emitter code;
  code.PushImm8(1).Call(kTarget);
  ScanState state = StateFor(code.Bytes());
  state.end = 2;  // the call starts at the window end
  EXPECT_FALSE(FindNextCall(code.Bytes(), state));
  EXPECT_EQ(state.position, 2u);
  // A call that starts inside the window is read whole, its operand beyond the window included.
  state = StateFor(code.Bytes());
  state.end = 3;
  EXPECT_TRUE(FindNextCall(code.Bytes(), state));
}

// Every prefix of a registration, as an image that ends there, is walked
// without reading past it (the sanitizer build checks the reads).
TEST(CallScanner, RegistrationCutOffAtImageEnd) {
  X86Emitter code;
  code.PushImm8(1).PushImm32(kAddress).MovImm32(Reg::kEax, 2).PushReg(Reg::kEax).Raw({0x8D, 0x7E, 0x01});
  code.SkipForm(0xC7, 0x80).SkipForm(0x83, 0xBE).Raw({0x33, 0xC0, 0xF3, 0xAB, 0xEB, 0x00}).Call(kTarget);
  for (std::size_t length = 0; length <= code.Size(); ++length) {
    const std::vector<std::uint8_t> image(code.Bytes().begin(), code.Bytes().begin() + static_cast<long>(length));
    ScanState state = StateFor(image);
    state.end = 0xFFFFFFFF;  // a window that runs past the image
    EXPECT_EQ(FindNextCall(image, state), length == code.Size()) << length;
  }
  ScanState beyond = StateFor(code.Bytes());
  beyond.position = code.Size() + 10;
  beyond.end = code.Size() + 20;
  EXPECT_FALSE(FindNextCall(code.Bytes(), beyond));
  // A jump beyond the image end ends the walk as well.
  const std::vector<std::uint8_t> jump = {0xEB, 0xFF};
  ScanState jumping = StateFor(jump);
  jumping.end = 0xFFFFFFFF;
  EXPECT_FALSE(FindNextCall(jump, jumping));
}

}  // namespace
}  // namespace zira
