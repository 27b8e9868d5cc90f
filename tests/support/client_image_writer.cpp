#include "support/client_image_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "client/client_image.h"
#include "common/file_system.h"
#include "common/pe_format.h"

namespace zira::testing {

ClientImageWriter::ClientImageWriter(std::uint32_t editionId, const ClientImageOptions& options)
    : editionId_(editionId), peOffset_(options.peOffset) {
  const ClientEdition* edition = FindEdition(editionId);
  const std::int64_t size = static_cast<std::int64_t>(edition ? edition->fileSize : 0x400000) + options.sizeDelta;
  bytes_.assign(static_cast<std::size_t>(size > 0 ? size : 0), 0);
  // .rdata sits behind the code windows of every edition.
  rdataOffset_ = editionId == 3 ? 0x500000 : 0x300000;

  if (options.mzSignature) PutU16(pe_format::kMzSignatureField, pe_format::kMzSignature);
  PutU32(pe_format::kPeOffsetField, options.peOffset);
  const std::uint32_t h = options.peOffset;
  if (options.peSignature) PutU32(h + pe_format::kPeSignatureField, pe_format::kPeSignature);
  PutU16(h + pe_format::kMachineField, pe_format::kMachineI386);
  PutU16(h + pe_format::kSectionCountField, options.sectionCount);
  PutU32(h + pe_format::kImageBaseField, kImageBase);

  struct Section {
    const char* name;
    std::uint32_t address, size, offset;
  };
  const Section sections[2] = {{".text", 0x1000, rdataOffset_ - 0x1000, 0x1000},
                               {options.rdataName, rdataOffset_, kRdataSize, rdataOffset_}};
  for (std::uint32_t i = 0; i < 2; ++i) {
    const std::uint32_t at = SectionHeaderOffset(i);
    std::uint8_t name[pe_format::kSectionNameSize] = {};
    std::memcpy(name, sections[i].name, std::min(sizeof(name), std::strlen(sections[i].name)));
    Put(at, name);
    PutU32(at + pe_format::kSectionVirtualSizeField, sections[i].size);
    PutU32(at + pe_format::kSectionAddressField, sections[i].address);
    PutU32(at + pe_format::kSectionRawSizeField, sections[i].size);
    PutU32(at + pe_format::kSectionRawOffsetField, sections[i].offset);
  }
}

std::uint32_t ClientImageWriter::AddText(std::string_view text) {
  for (const auto& [known, address] : texts_) {
    if (known == text) return address;
  }
  const std::uint32_t offset = rdataOffset_ + rdataUsed_;
  Put(offset, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  rdataUsed_ += static_cast<std::uint32_t>(text.size()) + 1;
  const std::uint32_t address = kImageBase + offset;
  texts_.emplace_back(std::string(text), address);
  return address;
}

void ClientImageWriter::Put(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (offset + i < bytes_.size()) bytes_[offset + i] = bytes[i];
  }
}

void ClientImageWriter::PutU16(std::uint32_t offset, std::uint16_t value) {
  const std::uint8_t le[2] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
  Put(offset, le);
}

void ClientImageWriter::PutU32(std::uint32_t offset, std::uint32_t value) {
  const std::uint8_t le[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  Put(offset, le);
}

std::uint32_t ClientImageWriter::SectionHeaderOffset(std::uint32_t i) const {
  return static_cast<std::uint32_t>(peOffset_ + pe_format::kSectionTableOffset + pe_format::kSectionHeaderSize * i);
}

bool ClientImageWriter::WriteTo(const char* path) const { return WriteWholeFile(path, bytes_); }

}  // namespace zira::testing
