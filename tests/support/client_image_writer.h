#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zira::testing {

// How a written client image deviates from a sound one.
struct ClientImageOptions {
  bool mzSignature = true;
  bool peSignature = true;
  std::uint32_t peOffset = 0x80;
  std::uint16_t sectionCount = 2;
  const char* rdataName = ".rdata";
  std::int64_t sizeDelta = 0;  // bytes added to (or taken from) the edition's size
};

// Builds a client executable image of an edition's exact size: MZ and PE
// headers, a .text and a .rdata section, and chosen bytes at chosen offsets.
// Section virtual addresses equal their file offsets.
class ClientImageWriter {
 public:
  static constexpr std::uint32_t kImageBase = 0x400000;
  static constexpr std::uint32_t kRdataSize = 0x80000;

  explicit ClientImageWriter(std::uint32_t editionId, const ClientImageOptions& options = {});

  std::uint32_t EditionId() const { return editionId_; }
  // File offset and virtual address range of .rdata.
  std::uint32_t RdataOffset() const { return rdataOffset_; }
  std::uint32_t RdataStartAddress() const { return kImageBase + rdataOffset_; }
  std::uint32_t RdataEndAddress() const { return kImageBase + rdataOffset_ + kRdataSize - 1; }

  // Places a zero-terminated text in .rdata and returns its virtual address.
  // The same text added twice shares one address.
  std::uint32_t AddText(std::string_view text);
  void Put(std::uint32_t offset, std::span<const std::uint8_t> bytes);
  void PutU16(std::uint32_t offset, std::uint16_t value);
  void PutU32(std::uint32_t offset, std::uint32_t value);
  // File offset of section header i (.text is 0, .rdata 1).
  std::uint32_t SectionHeaderOffset(std::uint32_t i) const;

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  bool WriteTo(const char* path) const;

 private:
  std::uint32_t editionId_;
  std::uint32_t peOffset_;
  std::uint32_t rdataOffset_;
  std::uint32_t rdataUsed_ = 16;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::pair<std::string, std::uint32_t>> texts_;
};

}  // namespace zira::testing
