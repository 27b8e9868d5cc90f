// Fuzzes the client image loader and the race and zone table readers: the
// input chooses an edition and lands either over the image headers or in the
// race window, the zone window and the start of .rdata of a sound image.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

#include "client/client_image.h"
#include "client/race_table.h"
#include "client/zone_table.h"
#include "store/inventory.h"
#include "support/client_image_writer.h"

namespace {

const std::vector<std::uint8_t>& BaseImage(std::uint32_t edition) {
  static std::vector<std::uint8_t> images[3];
  std::vector<std::uint8_t>& image = images[edition - 1];
  if (image.empty()) image = zira::testing::ClientImageWriter(edition).Bytes();
  return image;
}

void Place(std::vector<std::uint8_t>& image, std::size_t offset, const std::uint8_t* data, std::size_t size) {
  if (offset >= image.size()) return;
  std::memcpy(image.data() + offset, data, std::min(size, image.size() - offset));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t edition = 1 + data[0] % 3;
  const bool headers = (data[1] & 1) != 0;
  data += 2;
  size -= 2;

  std::vector<std::uint8_t> image = BaseImage(edition);
  const zira::ClientEdition* row = zira::FindEdition(edition);
  if (headers) {
    Place(image, 0, data, size);
  } else {
    const std::size_t third = size / 3;
    Place(image, row->raceScanStart, data, third);
    Place(image, row->zoneScanStart, data + third, third);
    Place(image, edition == 3 ? 0x500000 : 0x300000, data + 2 * third, size - 2 * third);
  }

  zira::ClientImage& client = zira::TheInventory().client;
  if (zira::LoadClientImageFromBytes(client, image) == zira::S_OK) {
    zira::ReadRaceTable(client);
    zira::ReadZoneTable(client);
    for (std::uint32_t race = 0; race <= client.maxRaceId; ++race) {
      for (std::uint32_t gender = 1; gender <= 3; ++gender) {
        if (const char* code = zira::RaceCode(client, race, gender)) (void)std::strlen(code);
      }
    }
    for (std::uint32_t zone = 0; zone <= client.maxZoneId; ++zone) {
      if (client.zones[zone].zoneNick != nullptr) (void)std::strlen(client.zones[zone].zoneNick);
      if (client.zones[zone].zoneName != nullptr) (void)std::strlen(client.zones[zone].zoneName);
    }
  }
  zira::ClearClientImage(client);
  return 0;
}
