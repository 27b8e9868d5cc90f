#include "client/client_image.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include "common/byte_cursor.h"
#include "common/file_names.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/pe_format.h"
#include "common/text.h"

namespace zira {

namespace {

// The PE fields that locate the section table.
struct PeHeaders {
  std::uint32_t imageBase;
  std::uint16_t sectionCount;
  std::size_t sectionTable;  // file offset
};

std::optional<PeHeaders> DecodePeHeaders(const ByteCursor& image) {
  ByteCursor dos = image.Sub(0, pe_format::kDosHeaderSize);
  const std::uint16_t mz = dos.ReadU16();
  dos.SkipTo(pe_format::kPeOffsetField);
  const std::uint32_t at = dos.ReadU32();
  if (!dos.Ok() || mz != pe_format::kMzSignature) return std::nullopt;
  ByteCursor pe = image.Sub(at, pe_format::kPeHeaderSize);
  const std::uint32_t signature = pe.ReadU32();
  pe.SkipTo(pe_format::kSectionCountField);
  const std::uint16_t sectionCount = pe.ReadU16();
  pe.SkipTo(pe_format::kImageBaseField);
  const std::uint32_t imageBase = pe.ReadU32();
  if (!pe.Ok() || signature != pe_format::kPeSignature) return std::nullopt;
  return PeHeaders{imageBase, sectionCount, std::size_t{at} + pe_format::kSectionTableOffset};
}

struct SectionHeader {
  char name[pe_format::kSectionNameSize + 1];  // terminated here even when not in the file
  std::uint32_t address;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

SectionHeader DecodeSectionHeader(ByteCursor section) {
  SectionHeader header{};
  const std::span<const std::uint8_t> name = section.ReadBytes(pe_format::kSectionNameSize);
  std::memcpy(header.name, name.data(), name.size());
  section.SkipTo(pe_format::kSectionAddressField);
  header.address = section.ReadU32();
  header.rawSize = section.ReadU32();
  header.rawOffset = section.ReadU32();
  return header;
}

// Finds .rdata; false when the image is not a PE file or has no such section.
// A section table that runs out of the image before .rdata is not a PE file.
bool LocateRdata(ClientImage& client) {
  const ByteCursor image(client.Bytes());
  const std::optional<PeHeaders> headers = DecodePeHeaders(image);
  if (!headers) return false;
  ByteCursor table = image.Sub(headers->sectionTable);
  for (std::uint32_t i = 0; i < headers->sectionCount; ++i) {
    const ByteCursor record = table.Take(pe_format::kSectionHeaderSize);
    if (!table.Ok()) return false;
    const SectionHeader section = DecodeSectionHeader(record);
    if (!EqualsNoCase(section.name, std::strlen(section.name), ".rdata")) continue;
    client.rdataStart = std::uint64_t{headers->imageBase} + section.address;
    client.rdataEnd = client.rdataStart + section.rawSize - 1;
    client.rdataFileOffset = section.rawOffset;
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

std::uint32_t IdentifyEdition(ClientFolder& folder, const char* path) {
  std::uint32_t size = 0;
  if (path == nullptr || !folder.FileSize(path, &size) || size == 0) return 0;
  return EditionForSize(size);
}

void ClearClientImage(ClientImage& client) {
  client.image.reset();
  ClientImageData& data = client;
  std::memset(&data, 0, sizeof(ClientImageData));
}

// Takes over a buffer of size + 1 bytes holding the file and checks it.
static Result AdoptImage(ClientImage& client, PooledBytes buffer, std::size_t size) {
  buffer[size] = 0;
  client.image = std::move(buffer);
  client.imageSize = static_cast<std::uint32_t>(size);
  if (!LocateRdata(client)) {
    ClearClientImage(client);
    return Fail("not a PE image with an .rdata section");
  }
  CopyEdition(client);
  return kSuccess;
}

Result LoadClientImageFromBytes(ClientImage& client, std::span<const std::uint8_t> bytes) {
  ClearClientImage(client);
  CopyText(client.path, sizeof(client.path), kClientFileName);
  client.editionId = static_cast<std::uint8_t>(EditionForSize(bytes.size()));
  if (client.editionId == 0) {
    ClearClientImage(client);
    return Fail("edition not recognized");
  }
  PooledBytes buffer(new (std::nothrow) std::uint8_t[bytes.size() + 1]);
  if (!buffer) {
    ClearClientImage(client);
    return OutOfMemory("client image buffer");
  }
  std::memcpy(buffer.get(), bytes.data(), bytes.size());
  return AdoptImage(client, std::move(buffer), bytes.size());
}

Result LoadClientImage(ClientFolder& folder, ClientImage& client) {
  ClearClientImage(client);
  CopyText(client.path, sizeof(client.path), kClientFileName);
  client.editionId = static_cast<std::uint8_t>(IdentifyEdition(folder, client.path));
  if (client.editionId == 0) {
    ClearClientImage(client);
    return Fail("edition not recognized");
  }
  InputFile file;
  if (!file.Open(folder, client.path)) {
    ClearClientImage(client);
    return Fail("cannot open");
  }
  // A file that changed size since it was examined is no longer the edition it was.
  if (file.Length() != kEditionTable[client.editionId - 1].fileSize) {
    ClearClientImage(client);
    return Fail("size changed since it was examined");
  }
  // Mapped rather than allocated, as the package buffers are, so that its
  // pages come large where the system has them: the image is read first,
  // while nothing else can run yet.
  const std::size_t size = static_cast<std::size_t>(file.Length());
  PooledBytes bytes = MapBytes(size + 1);
  if (!bytes) {
    folder.Refusals().Note(ENOMEM, client.path);
    ClearClientImage(client);
    return OutOfMemory("no memory for the client image");
  }
  const Result read = file.ReadAllInto({bytes.get(), size});
  if (Failed(read)) {
    ClearClientImage(client);
    return read;
  }
  return AdoptImage(client, std::move(bytes), size);
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
