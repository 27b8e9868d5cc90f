#include "support/registration_writer.h"

#include "client/client_image.h"

namespace zira::testing {

namespace {

// Registrations that sit in jumped-over code; a walk that reads them is wrong.
const RaceRegistration kDecoyRace{"DECOYRACE", 2499, 2};
const ZoneRegistration kDecoyZone{1499, "decoyzone", "Decoy Zone", 1, 99, 0, 0, 0, 1, false};

constexpr std::uint32_t kFancyEvery = 4;

// Race arguments, oldest push first: edition 1 takes gender, race, code;
// the later builds push two other values first and then code, gender, race.
std::vector<std::uint32_t> RaceArguments(std::uint32_t editionId, const RaceRegistration& race, std::uint32_t code) {
  if (editionId == 1) return {race.genderIndex, race.raceId, code};
  return {0x10, 0, code, race.genderIndex, race.raceId};
}

std::vector<std::uint32_t> ZoneArguments(const ZoneRegistration& zone, std::uint32_t nick, std::uint32_t name) {
  return {zone.minLevel, zone.unknown8, zone.unknown7, zone.flags,    zone.stringId,
          name,          nick,          zone.zoneId,   zone.expansion};
}

// Pushes value through one of several register routes the scanner models.
void PushVia(X86Emitter& code, std::uint32_t value, std::uint32_t route) {
  switch (route % 8) {
    case 0:
      code.Push(value);
      break;
    case 1:
      code.MovImm32(Reg::kEax, value).PushReg(Reg::kEax);
      break;
    case 2:
      if (value == 0) {
        code.XorSelf(Reg::kEbx);
      } else {
        code.MovImm32(Reg::kEbx, value);
      }
      code.PushReg(Reg::kEbx);
      break;
    case 3:
      if (value <= 2) {
        code.XorSelf(Reg::kEbp);
        for (std::uint32_t i = 0; i < value; ++i) code.IncEbp();
      } else {
        code.MovImm32(Reg::kEbp, value);
      }
      code.PushReg(Reg::kEbp);
      break;
    case 4:
      code.MovImm32(Reg::kEcx, value).MovEsiEcx().PushReg(Reg::kEsi);
      break;
    case 5:
      code.XorSelf(Reg::kEdi).MovImm32(Reg::kEcx, value).RepStosd().PushReg(Reg::kEdi);
      break;
    case 6: {
      const auto displacement = static_cast<std::uint8_t>(value % 200);
      code.MovImm32(Reg::kEax, value - displacement).MovEcxEax().MovEsiEcx().LeaEdiEsi(displacement);
      code.PushReg(Reg::kEdi);
      break;
    }
    default:
      code.Push(value).PopEdi().PushReg(Reg::kEdi);
      break;
  }
}

void EmitArguments(X86Emitter& code, const std::vector<std::uint32_t>& arguments, bool mixed, std::uint32_t variant) {
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    // One argument per registration takes a register route, so the code stays compact.
    if (mixed && k == variant % arguments.size()) {
      PushVia(code, arguments[k], variant / static_cast<std::uint32_t>(arguments.size()) + variant);
    } else {
      code.Push(arguments[k]);
    }
  }
}

// Forms the scanner only steps over, a few at a time to keep the code
// compact; operand bytes of E8 would derail a walk that got a length wrong.
void EmitSteppedOverForms(X86Emitter& code, std::uint32_t group) {
  switch (group % 4) {
    case 0:
      code.SkipForm(0x89, 0x46, 0xE8).SkipForm(0xC7, 0x06, 0xE8).Test().JumpIf(true, 3);
      break;
    case 1:
      code.SkipForm(0xFF, 0x15, 0xE8).MovEaxFromEsi32(0xE8E8E8E8).SkipForm(0x88, 0x5E, 0xE8);
      break;
    case 2:
      code.SkipForm(0xC6, 0x46, 0xE8).SkipForm(0x83, 0x7E, 0xE8).SkipForm(0x89, 0x5C, 0xE8).JumpIf(false, 0x10);
      break;
    default:
      code.SkipForm(0x83, 0xBE, 0xE8).SkipForm(0x89, 0x86, 0xE8).SkipForm(0xC7, 0x80, 0xE8);
      code.MovEcxFromEsi32(0xE8E8E8E8);
      break;
  }
}

}  // namespace

RegistrationWriter::RegistrationWriter(ClientImageWriter& image, CodeStyle style)
    : image_(image), style_(style), editionId_(image.EditionId()) {
  const ClientEdition* edition = FindEdition(editionId_);
  if (edition == nullptr) return;
  racePosition_ = edition->raceScanStart;
  raceEnd_ = edition->raceScanEnd;
  raceTarget_ = edition->raceTarget;
  zonePosition_ = edition->zoneScanStart;
  zoneEnd_ = edition->zoneScanEnd;
  zoneTarget_ = edition->zoneTarget;
  zoneAltTarget_ = edition->zoneAltTarget;
}

std::uint32_t RegistrationWriter::Position(ScanWindow window) const {
  return window == ScanWindow::kRace ? racePosition_ : zonePosition_;
}

std::uint32_t RegistrationWriter::End(ScanWindow window) const {
  return window == ScanWindow::kRace ? raceEnd_ : zoneEnd_;
}

std::uint32_t RegistrationWriter::Target(ScanWindow window, bool alt) const {
  if (window == ScanWindow::kRace) return alt ? 0 : raceTarget_;
  return alt ? zoneAltTarget_ : zoneTarget_;
}

std::uint32_t RegistrationWriter::OtherTarget(ScanWindow window) const {
  std::uint32_t other = Target(window) + 0x44;
  if (other == Target(window, true)) other += 0x44;
  return other;
}

bool RegistrationWriter::Add(ScanWindow window, const X86Emitter& code) {
  const std::uint32_t position = Position(window);
  if (code.Origin() != position || position > End(window) || code.Size() > End(window) - position) return false;
  image_.Put(position, code.Bytes());
  (window == ScanWindow::kRace ? racePosition_ : zonePosition_) += code.Size();
  return true;
}

bool RegistrationWriter::AddRaw(ScanWindow window, std::span<const std::uint8_t> bytes) {
  X86Emitter code(Position(window));
  code.Raw(bytes);
  return Add(window, code);
}

void RegistrationWriter::Prelude(X86Emitter& code, ScanWindow window, std::uint32_t variant) {
  switch (variant % 4) {
    case 0:
      // Arguments of an unrelated routine are consumed by its call.
      code.PushImm8(0x63).PushImm32(0x12345678).Call(OtherTarget(window)).SkipForm(0x83, 0xC4);
      break;
    case 1: {
      X86Emitter decoy(code.Position() + 2);
      if (window == ScanWindow::kRace) {
        const RaceRegistration& race = kDecoyRace;
        EmitArguments(decoy, RaceArguments(editionId_, race, image_.AddText(race.code)), false, 0);
      } else {
        EmitArguments(decoy, ZoneArguments(kDecoyZone, image_.AddText(kDecoyZone.nick), image_.AddText(kDecoyZone.name)),
                      false, 0);
      }
      decoy.Call(Target(window));
      code.JumpOver(decoy.Bytes());
      break;
    }
    case 2:
      EmitSteppedOverForms(code, variant / 4);
      break;
    default:
      break;
  }
}

bool RegistrationWriter::EmitRace(const RaceRegistration& race, bool mixed, std::uint32_t codeAddress) {
  X86Emitter code(racePosition_);
  const std::uint32_t variant = raceCount_ / kFancyEvery;
  if (mixed) Prelude(code, ScanWindow::kRace, variant);
  EmitArguments(code, RaceArguments(editionId_, race, codeAddress), mixed, variant);
  code.Call(raceTarget_);
  if (mixed) code.SkipForm(0x83, 0xC4);
  return Add(ScanWindow::kRace, code);
}

bool RegistrationWriter::EmitZone(const ZoneRegistration& zone, bool mixed, std::uint32_t nick, std::uint32_t name) {
  X86Emitter code(zonePosition_);
  const std::uint32_t variant = zoneCount_ / kFancyEvery;
  if (mixed) Prelude(code, ScanWindow::kZone, variant);
  EmitArguments(code, ZoneArguments(zone, nick, name), mixed, variant);
  code.Call(zone.useAltTarget ? zoneAltTarget_ : zoneTarget_);
  if (mixed) code.SkipForm(0x83, 0xC4);
  return Add(ScanWindow::kZone, code);
}

bool RegistrationWriter::AddRace(const RaceRegistration& race) {
  if (FindEdition(editionId_) == nullptr) return false;
  const std::uint32_t code = image_.AddText(race.code);
  const bool fancy = style_ == CodeStyle::kMixed && raceCount_ % kFancyEvery == kFancyEvery - 1;
  // Near the window's end the plain form may still fit.
  if (!(fancy && EmitRace(race, true, code)) && !EmitRace(race, false, code)) return false;
  ++raceCount_;
  return true;
}

bool RegistrationWriter::AddZone(const ZoneRegistration& zone) {
  if (FindEdition(editionId_) == nullptr || (zone.useAltTarget && zoneAltTarget_ == 0)) return false;
  const std::uint32_t nick = image_.AddText(zone.nick);
  const std::uint32_t name = image_.AddText(zone.name);
  const bool fancy = style_ == CodeStyle::kMixed && zoneCount_ % kFancyEvery == kFancyEvery - 1;
  if (!(fancy && EmitZone(zone, true, nick, name)) && !EmitZone(zone, false, nick, name)) return false;
  ++zoneCount_;
  return true;
}

bool RegistrationWriter::AddRaces(const std::vector<RaceRegistration>& races) {
  for (const RaceRegistration& race : races) {
    if (!AddRace(race)) return false;
  }
  return true;
}

bool RegistrationWriter::AddZones(const std::vector<ZoneRegistration>& zones) {
  for (const ZoneRegistration& zone : zones) {
    if (!AddZone(zone)) return false;
  }
  return true;
}

}  // namespace zira::testing
