#include "client/client_image.h"

#include <cstring>
#include <new>

#include "common/byte_cursor.h"
#include "common/file_names.h"
#include "common/file_system.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr std::uint16_t kMzSignature = 0x5A4D;
constexpr std::uint32_t kPeSignature = 0x00004550;
constexpr std::size_t kFirstSectionOffset = 248;
constexpr std::size_t kSectionHeaderSize = 40;

// Finds .rdata; false when the image is not a PE file or has no such section.
bool LocateRdata(ClientImage& client) {
  const ByteCursor image(client.Bytes());
  if (image.U16At(0) != kMzSignature) return false;
  const std::uint32_t header = image.U32At(0x3C);
  if (image.U32At(header) != kPeSignature) return false;
  const std::uint16_t sections = image.U16At(std::size_t{header} + 6);
  const std::uint32_t imageBase = image.U32At(std::size_t{header} + 0x34);
  std::size_t at = std::size_t{header} + kFirstSectionOffset;
  for (std::uint32_t i = 0; i < sections; ++i, at += kSectionHeaderSize) {
    if (!image.Contains(at, kSectionHeaderSize)) return false;
    char name[9] = {};
    for (std::size_t k = 0; k < 8; ++k) name[k] = static_cast<char>(image.U8At(at + k));
    if (!EqualsNoCase(name, std::strlen(name), ".rdata")) continue;
    client.rdataStart = std::uint64_t{imageBase} + image.U32At(at + 12);
    client.rdataEnd = client.rdataStart + image.U32At(at + 16) - 1;
    client.rdataFileOffset = image.U32At(at + 20);
    return true;
  }
  return false;
}

void CopyEdition(ClientImage& client) {
  const ClientEdition* edition = FindEdition(client.editionId);
  client.editionShort = edition->editionShort;
  client.editionLong = edition->editionLong;
  client.raceScanStart = edition->raceScanStart;
  client.raceScanEnd = edition->raceScanEnd;
  client.raceTarget = edition->raceTarget;
  client.zoneScanStart = edition->zoneScanStart;
  client.zoneScanEnd = edition->zoneScanEnd;
  client.zoneTarget = edition->zoneTarget;
  client.zoneAltTarget = edition->zoneAltTarget;
}

}  // namespace

std::uint32_t IdentifyEdition(const char* path) {
  std::uint32_t size = 0;
  if (path == nullptr || !FileSize(path, &size) || size == 0) return 0;
  return EditionForSize(size);
}

void ClearClientImage(ClientImage& client) {
  client.image.reset();
  ClientImageData& data = client;
  std::memset(&data, 0, sizeof(ClientImageData));
}

// Takes over a buffer of size + 1 bytes holding the file and checks it.
static Result AdoptImage(ClientImage& client, std::unique_ptr<std::uint8_t[]> buffer, std::size_t size) {
  buffer[size] = 0;
  client.image = std::move(buffer);
  client.imageSize = static_cast<std::uint32_t>(size);
  if (!LocateRdata(client)) {
    ClearClientImage(client);
    return E_FAIL;
  }
  CopyEdition(client);
  return S_OK;
}

Result LoadClientImageFromBytes(ClientImage& client, std::span<const std::uint8_t> bytes) {
  ClearClientImage(client);
  CopyText(client.path, sizeof(client.path), kClientFileName);
  client.editionId = static_cast<std::uint8_t>(EditionForSize(bytes.size()));
  if (client.editionId == 0) {
    ClearClientImage(client);
    return E_FAIL;
  }
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[bytes.size() + 1]);
  if (!buffer) {
    ClearClientImage(client);
    return E_OUTOFMEMORY;
  }
  std::memcpy(buffer.get(), bytes.data(), bytes.size());
  return AdoptImage(client, std::move(buffer), bytes.size());
}

Result LoadClientImage(ClientImage& client) {
  ClearClientImage(client);
  CopyText(client.path, sizeof(client.path), kClientFileName);
  client.editionId = static_cast<std::uint8_t>(IdentifyEdition(client.path));
  if (client.editionId == 0) {
    ClearClientImage(client);
    return E_FAIL;
  }
  InputFile file;
  if (!file.Open(client.path)) {
    ClearClientImage(client);
    return E_FAIL;
  }
  const std::uint64_t length = file.Length();
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[length + 1]);
  if (!buffer) {
    ClearClientImage(client);
    return E_OUTOFMEMORY;
  }
  // A file that changed size since it was examined is no longer the edition it was.
  if (length != kEditionTable[client.editionId - 1].fileSize || file.Read(buffer.get(), length) != length) {
    ClearClientImage(client);
    return E_FAIL;
  }
  file.Close();
  return AdoptImage(client, std::move(buffer), length);
}

bool IsRdataAddress(const ClientImage& client, std::uint32_t address) {
  const std::uint64_t wide = address;
  return client.image && client.rdataStart <= wide && wide <= client.rdataEnd;
}

char* ImageAddressToText(const ClientImage& client, std::uint32_t address) {
  if (!client.image) return nullptr;
  std::uint64_t offset = std::uint64_t{client.rdataFileOffset} + (std::uint64_t{address} - client.rdataStart);
  if (offset > client.imageSize) offset = client.imageSize;
  return reinterpret_cast<char*>(client.image.get()) + offset;
}

}  // namespace zira
