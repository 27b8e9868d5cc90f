#include "support/sample_client.h"

#include <filesystem>
#include <string>
#include <vector>

#include "client/client_image.h"
#include "support/client_image_writer.h"
#include "support/registration_writer.h"
#include "support/sample_content.h"
#include "support/sample_broken.h"
#include "support/sample_packages.h"
#include "support/text_files.h"

namespace zira::testing {

namespace {

// Registrations the readers must skip, written straight into the code windows.
bool AddRejectedRegistrations(RegistrationWriter& reg, unsigned editionId, ClientImageWriter& image) {
  const std::uint32_t text = image.AddText("rej");
  struct Bad {
    std::uint32_t gender, race, address;
  };
  // Gender index 3, race 2501, and a code address in the code section.
  const Bad bad[] = {{3, 7, text}, {0, 2501, text}, {0, 7, ClientImageWriter::kImageBase + 0x2000}};
  for (const Bad& b : bad) {
    X86Emitter code = reg.Emitter(ScanWindow::kRace);
    if (editionId == 1) {
      code.Push(b.gender).Push(b.race).PushImm32(b.address);
    } else {
      code.PushImm8(0).PushImm8(0).PushImm32(b.address).Push(b.gender).Push(b.race);
    }
    code.Call(reg.Target(ScanWindow::kRace));
    if (!reg.Add(ScanWindow::kRace, code)) return false;
  }
  // A zone id above 1500, and a registration with only eight arguments.
  const std::uint32_t nick = image.AddText("rejectzone");
  X86Emitter zones = reg.Emitter(ScanWindow::kZone);
  zones.Push(1).Push(0).Push(0).Push(0).Push(0).PushImm32(nick).PushImm32(nick).Push(1501).Push(0);
  zones.Call(reg.Target(ScanWindow::kZone));
  zones.Push(0).Push(0).Push(0).Push(0).PushImm32(nick).PushImm32(nick).Push(77).Push(0);
  zones.Call(reg.Target(ScanWindow::kZone));
  return reg.Add(ScanWindow::kZone, zones);
}

bool WriteClientImage(const std::string& folder, unsigned editionId) {
  ClientImageWriter image(editionId);
  RegistrationWriter reg(image, CodeStyle::kMixed);
  for (const SampleRace& race : SampleRaces()) {
    if (!reg.AddRace({race.code, race.raceId, race.genderIndex})) return false;
  }
  for (const SampleZone& zone : SampleZones(editionId)) {
    ZoneRegistration z;
    z.zoneId = zone.zoneId;
    z.nick = zone.nick;
    z.name = zone.name;
    z.expansion = zone.expansion;
    z.stringId = zone.stringId;
    z.flags = zone.flags;
    z.unknown7 = zone.unknown7;
    z.unknown8 = zone.unknown8;
    z.minLevel = zone.minLevel;
    z.useAltTarget = zone.useAltTarget;
    if (!reg.AddZone(z)) return false;
  }
  if (!AddRejectedRegistrations(reg, editionId, image)) return false;
  return image.WriteTo((folder + "/OBGame.EXE").c_str());
}

}  // namespace

bool WriteSampleClient(const std::string& folder, unsigned editionId, const std::string& variant) {
  std::error_code ignored;  // a folder already there serves; a missing one fails the writes below
  std::filesystem::create_directory(folder, ignored);
  std::filesystem::create_directory(folder + "/Resources", ignored);
  if (!WriteClientImage(folder, editionId)) return false;
  for (const SampleFile& file : SampleTextFiles(editionId)) {
    if (!WriteTextFile(folder + "/" + file.name, file.text)) return false;
  }
  if (!WriteSamplePackages(folder, editionId)) return false;
  return variant.empty() || BreakSampleClient(folder, editionId, variant);
}

bool WriteSampleClients(const std::string& folder, const std::string& variant) {
  std::error_code ignored;
  std::filesystem::create_directory(folder, ignored);
  for (const ClientEdition& edition : kEditionTable) {
    if (!WriteSampleClient(folder + "/" + edition.editionShort, edition.editionId, variant)) return false;
  }
  return true;
}

}  // namespace zira::testing
