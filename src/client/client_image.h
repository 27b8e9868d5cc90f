#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "client/edition.h"
#include "common/byte_buffers.h"
#include "common/capacities.h"
#include "common/result.h"

namespace zira {

class ClientFolder;


inline constexpr std::size_t kMaxRaceId = 2500;
inline constexpr std::size_t kGenderSlots = 3;  // male, female, neutral
inline constexpr std::size_t kMaxZoneId = 1500;
inline constexpr std::size_t kCodesPerLetter = 120;
inline constexpr std::size_t kZonesPerLetter = 70;
inline constexpr std::size_t kLetterBuckets = 27;

// One race id with its model code per gender index (0 male, 1 female, 2 neutral).
// Codes point into the client image and were upper-cased there.
struct RaceRecord {
  std::uint16_t raceId;
  char* code[kGenderSlots];
  std::uint8_t codeLength[kGenderSlots];
};

// One zone registration, as the client's start-up code makes it.
struct ZoneRecord {
  std::uint16_t zoneId;
  char* zoneNick;  // lower-cased in place inside the image
  char* zoneName;
  std::uint8_t expansion;
  std::uint32_t stringId;
  std::uint32_t flags;
  std::uint32_t unknown7;
  std::uint32_t unknown8;
  std::uint8_t minLevel;
};

// Race ids (or zone ids) by the LetterBucket of their codes (or nicks).
template <std::size_t Capacity>
struct LetterIndex {
  std::uint16_t count[kLetterBuckets];
  std::uint16_t ids[kLetterBuckets][Capacity];
};
using ModelCodeIndex = LetterIndex<kCodesPerLetter>;
using ZoneLetterIndex = LetterIndex<kZonesPerLetter>;

// Everything of the client image but its buffer: plain data, so that
// clearing it is one fill with zero bytes.
struct ClientImageData {
  // Race table.
  std::uint16_t raceCount;
  std::uint16_t maxRaceId;
  RaceRecord races[kMaxRaceId + 1];
  // Zone table.
  ZoneRecord zones[kMaxZoneId + 1];
  std::uint16_t zoneCount;
  std::uint16_t maxZoneId;

  std::uint32_t imageSize;
  std::uint16_t codeCount;
  std::uint8_t editionId;
  const char* editionShort;
  const char* editionLong;
  ModelCodeIndex codeIndex;
  ZoneLetterIndex zoneIndex;
  std::uint32_t raceScanStart, raceScanEnd, raceTarget;
  std::uint32_t zoneScanStart, zoneScanEnd, zoneTarget, zoneAltTarget;
  char path[kPathCapacity];
  std::uint32_t rdataFileOffset;
  std::uint64_t rdataStart;
  std::uint64_t rdataEnd;
};

// The client executable as a file image, with the tables read out of it.
// A value-initialized ClientImage is the empty state.
struct ClientImage : ClientImageData {
  // imageSize bytes and one zero byte behind them, so every text in the
  // image ends at the latest at the end of the image.
  PooledBytes image;

  std::span<std::uint8_t> Bytes() const { return {image.get(), image ? imageSize : 0u}; }
};

// The edition id whose size matches the file's, or 0 (missing, empty, unknown size).
std::uint32_t IdentifyEdition(ClientFolder& folder, const char* path);

// Loads obgame.exe from the current directory into client.
Result LoadClientImage(ClientFolder& folder, ClientImage& client);
// Loads an image already in memory (the bytes are copied); used by LoadClientImage.
Result LoadClientImageFromBytes(ClientImage& client, std::span<const std::uint8_t> bytes);
void ClearClientImage(ClientImage& client);

// True when the address lies inside .rdata (both ends inclusive).
bool IsRdataAddress(const ClientImage& client, std::uint32_t address);
// The text at an .rdata address inside the image. An address whose text would
// start beyond the image gives the empty text at the image's end.
char* ImageAddressToText(const ClientImage& client, std::uint32_t address);

}  // namespace zira
