#pragma once
#include <cstddef>
#include <cstdint>

// The package archive format (.s3d and .obg files), shared by the reader and
// the test writer. Every integer is a little-endian u32.
namespace zira::package_format {

// Header, at file offset 0: directory offset, magic, version.
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kDirectoryOffsetField = 0;
inline constexpr std::size_t kMagicField = 4;
inline constexpr std::uint32_t kMagic = 0x20534650;  // "PFS "

// Directory, at the directory offset: a row count, then per row the name
// checksum, the data offset and the inflated size. The count includes the
// name directory, which is the entry with the highest data offset.
inline constexpr std::size_t kRowCountSize = 4;
inline constexpr std::size_t kRowSize = 12;
inline constexpr std::size_t kRowDataOffsetField = 4;

// Optional footer, right behind the last row: a mark (compared with letters
// folded) and a date stamp.
inline constexpr char kFooterMark[] = "KAVRO";
inline constexpr std::size_t kFooterMarkSize = sizeof(kFooterMark) - 1;
inline constexpr std::size_t kFooterSize = kFooterMarkSize + 4;

// Entry data: blocks, each a deflated size D, an inflated size and D bytes of
// one zlib stream.
inline constexpr std::size_t kBlockHeaderSize = 8;

// Inflated name directory: a name count, then per name its stored length
// (terminator included) and the zero-terminated name.
inline constexpr std::uint32_t kLongestStoredName = 260;

// Name checksum: CRC-32, most significant bit first, initial value 0, no final XOR.
inline constexpr std::uint32_t kChecksumPolynomial = 0x04C11DB7;

}  // namespace zira::package_format
