// Fuzzes the client image loader and the race and zone table readers. The
// input chooses an edition and lands either over the image headers (a full
// load of a fresh image) or in the race window, the zone window and the start
// of .rdata of an image loaded once and restored after every input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "client/client_image.h"
#include "client/race_table.h"
#include "client/zone_table.h"
#include "support/client_image_writer.h"

namespace {

using zira::testing::ClientImageWriter;

struct Edition {
  std::vector<std::uint8_t> pristine;
  zira::ClientImage loaded;
};

Edition& Prepared(std::uint32_t editionId) {
  static Edition editions[3];
  Edition& edition = editions[editionId - 1];
  if (edition.pristine.empty()) {
    edition.pristine = ClientImageWriter(editionId).Bytes();
    static_cast<void>(zira::LoadClientImageFromBytes(edition.loaded, edition.pristine));
  }
  return edition;
}

// Copies data over the image at offset, clipped to the image.
void Place(std::uint8_t* image, std::size_t imageSize, std::size_t offset, const std::uint8_t* data,
           std::size_t size) {
  if (offset >= imageSize) return;
  std::memcpy(image + offset, data, std::min(size, imageSize - offset));
}

void ReadTables(zira::ClientImage& client) {
  static_cast<void>(zira::ReadRaceTable(client));
  static_cast<void>(zira::ReadZoneTable(client));
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t editionId = 1 + data[0] % 3;
  const bool headers = (data[1] & 1) != 0;
  data += 2;
  size -= 2;
  Edition& edition = Prepared(editionId);

  if (headers) {
    std::vector<std::uint8_t> image = edition.pristine;
    Place(image.data(), image.size(), 0, data, size);
    static zira::ClientImage client;
    if (zira::LoadClientImageFromBytes(client, image) == zira::ResultCode::kOk) ReadTables(client);
    zira::ClearClientImage(client);
    return 0;
  }

  zira::ClientImage& client = edition.loaded;
  const zira::ClientEdition* row = zira::FindEdition(editionId);
  std::uint8_t* image = client.image.get();
  const std::size_t third = size / 3;
  const std::size_t rdata = client.rdataFileOffset;
  Place(image, client.imageSize, row->raceScanStart, data, third);
  Place(image, client.imageSize, row->zoneScanStart, data + third, third);
  Place(image, client.imageSize, rdata, data + 2 * third, size - 2 * third);
  ReadTables(client);
  // Case changes land anywhere in .rdata, so all of it is put back.
  const std::uint8_t* sound = edition.pristine.data();
  std::memcpy(image + row->raceScanStart, sound + row->raceScanStart, std::min<std::size_t>(third, client.imageSize - row->raceScanStart));
  std::memcpy(image + row->zoneScanStart, sound + row->zoneScanStart, std::min<std::size_t>(third, client.imageSize - row->zoneScanStart));
  std::memcpy(image + rdata, sound + rdata, std::min<std::size_t>(ClientImageWriter::kRdataSize, client.imageSize - rdata));
  return 0;
}
