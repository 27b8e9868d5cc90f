#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/client_image_writer.h"
#include "support/x86_emitter.h"

namespace zira::testing {

// One race model code registration: code text, race id, gender index (0 male,
// 1 female, 2 neutral).
struct RaceRegistration {
  std::string code;
  std::uint32_t raceId = 0;
  std::uint32_t genderIndex = 0;
};

// One zone registration with its nine arguments; useAltTarget calls the
// edition's second zone routine.
struct ZoneRegistration {
  std::uint32_t zoneId = 0;
  std::string nick;
  std::string name;
  std::uint32_t expansion = 0;
  std::uint32_t stringId = 0;
  std::uint32_t flags = 0;
  std::uint32_t unknown7 = 0;
  std::uint32_t unknown8 = 0;
  std::uint32_t minLevel = 0;
  bool useAltTarget = false;
};

enum class ScanWindow { kRace, kZone };

// kMixed varies the instruction forms (values through registers, unrelated
// calls, short jumps over decoy registrations, stepped-over forms) on every
// fourth registration; kPlain uses only immediate pushes and the call.
enum class CodeStyle { kMixed, kPlain };

// Writes registration code into the race and zone windows of a client image
// and the texts it refers to into .rdata. Each window is filled from its start;
// later additions follow earlier ones. Nothing is written past a window's end:
// an addition that does not fit returns false and writes nothing.
class RegistrationWriter {
 public:
  explicit RegistrationWriter(ClientImageWriter& image, CodeStyle style = CodeStyle::kMixed);

  bool AddRace(const RaceRegistration& race);
  bool AddRaces(const std::vector<RaceRegistration>& races);
  bool AddZone(const ZoneRegistration& zone);
  bool AddZones(const std::vector<ZoneRegistration>& zones);

  // Raw bytes at the window's write position.
  bool AddRaw(ScanWindow window, std::span<const std::uint8_t> bytes);
  // An emitter whose origin is the window's write position; Add writes it there.
  X86Emitter Emitter(ScanWindow window) const { return X86Emitter(Position(window)); }
  bool Add(ScanWindow window, const X86Emitter& code);

  std::uint32_t Position(ScanWindow window) const;
  std::uint32_t End(ScanWindow window) const;
  // The scanner's target value of the window's (second) registration routine.
  std::uint32_t Target(ScanWindow window, bool alt = false) const;
  // A call target value that is neither registration routine of the window.
  std::uint32_t OtherTarget(ScanWindow window) const;

 private:
  bool EmitRace(const RaceRegistration& race, bool mixed, std::uint32_t codeAddress);
  bool EmitZone(const ZoneRegistration& zone, bool mixed, std::uint32_t nick, std::uint32_t name);
  void Prelude(X86Emitter& code, ScanWindow window, std::uint32_t variant);

  ClientImageWriter& image_;
  CodeStyle style_;
  std::uint32_t editionId_;
  std::uint32_t racePosition_ = 0, raceEnd_ = 0, raceTarget_ = 0;
  std::uint32_t zonePosition_ = 0, zoneEnd_ = 0, zoneTarget_ = 0, zoneAltTarget_ = 0;
  std::uint32_t raceCount_ = 0, zoneCount_ = 0;
};

}  // namespace zira::testing
