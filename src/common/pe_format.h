#pragma once
#include <cstddef>
#include <cstdint>

// The few fields of a 32-bit PE executable that the client image reader uses,
// and that the test writer of client images lays out. Little-endian.
namespace zira::pe_format {

// DOS header, at file offset 0.
inline constexpr std::size_t kDosHeaderSize = 0x40;
inline constexpr std::size_t kMzSignatureField = 0;  // u16
inline constexpr std::uint16_t kMzSignature = 0x5A4D;  // "MZ"
inline constexpr std::size_t kPeOffsetField = 0x3C;  // u32: file offset of the PE header

// PE header, at the offset the DOS header gives: the signature, the file
// header and the 32-bit optional header, whose fixed size places the section
// table (the header's own optional-header size field is not consulted).
inline constexpr std::size_t kPeSignatureField = 0;  // u32
inline constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
inline constexpr std::size_t kMachineField = 4;  // u16
inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::size_t kSectionCountField = 6;  // u16
inline constexpr std::size_t kImageBaseField = 0x34;  // u32
inline constexpr std::size_t kPeHeaderSize = kImageBaseField + 4;  // as far as it is read
inline constexpr std::size_t kSectionTableOffset = 4 + 20 + 224;

// Section header, one after the other from the section table on.
inline constexpr std::size_t kSectionHeaderSize = 40;
inline constexpr std::size_t kSectionNameSize = 8;  // zero-padded, not always terminated
inline constexpr std::size_t kSectionVirtualSizeField = 8;  // u32
inline constexpr std::size_t kSectionAddressField = 12;  // u32, relative to the image base
inline constexpr std::size_t kSectionRawSizeField = 16;  // u32
inline constexpr std::size_t kSectionRawOffsetField = 20;  // u32, file offset of the raw data

}  // namespace zira::pe_format
