#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/package_format.h"

namespace zira::testing {

// One entry of a package under construction and how it deviates from a sound one.
struct PackageEntryPlan {
  std::string name;
  std::vector<std::uint8_t> contents;
  std::uint32_t blockSize = 8192;       // inflated bytes per zlib block
  bool wrongChecksum = false;           // directory checksum not that of the name
  std::uint32_t firstBlockClaimExtra = 0;  // added to the first block's claimed inflated size
  std::optional<std::uint32_t> claimedSize;  // directory's inflated size instead of the real one
  bool zeroOffset = false;              // directory row with data offset 0
};

// Builds package bytes: header, entry data as zlib blocks, the name directory
// (always last in the data, so at the highest offset), the directory and an
// optional footer.
class PackageWriter {
 public:
  // Adds an entry and returns its index in data order (the order names are listed).
  std::size_t AddEntry(const std::string& name, const std::vector<std::uint8_t>& contents,
                       std::uint32_t blockSize = 8192);
  std::size_t AddEntry(const PackageEntryPlan& entryPlan);
  std::size_t AddTextEntry(const std::string& name, const std::string& text);
  PackageEntryPlan& EntryPlan(std::size_t index) { return entries_[index]; }

  // Whole-package knobs.
  std::uint32_t version = 0x20000;
  std::uint32_t magic = package_format::kMagic;
  bool footer = false;
  std::uint32_t dateStamp = 0;
  // Directory rows by data index (the name directory is index EntryCount());
  // empty means data order.
  std::vector<std::size_t> rowOrder;
  bool reverseRows = false;
  // Names listed in the name directory minus the entries there are (may be negative);
  // extra names are made up.
  int nameCountDelta = 0;
  // Replaces the inflated name directory (for malformed ones); blocks as usual.
  std::optional<std::vector<std::uint8_t>> rawNameDirectory;
  std::uint32_t nameDirectoryBlockSize = 8192;
  std::optional<std::uint32_t> rowCount;  // directory count N instead of the real one
  // Puts the directory right after the header, so the name directory runs to the end.
  bool directoryFirst = false;
  std::optional<std::size_t> truncateTo;

  std::size_t EntryCount() const { return entries_.size(); }
  // Where each entry's data starts in the last built package (name directory last).
  const std::vector<std::uint32_t>& DataOffsets() const { return offsets_; }

  std::vector<std::uint8_t> Bytes();
  bool WriteTo(const std::string& path);

  // The name checksum the format uses, computed independently of the reader.
  static std::uint32_t Checksum(const std::vector<std::uint8_t>& bytes);
  // Zlib blocks (deflated size, inflated size, stream) of contents.
  static std::vector<std::uint8_t> Blocks(const std::vector<std::uint8_t>& contents, std::uint32_t blockSize,
                                          std::uint32_t firstClaimExtra = 0);

 private:
  std::vector<std::uint8_t> NameDirectory() const;

  std::vector<PackageEntryPlan> entries_;
  std::vector<std::uint32_t> offsets_;
};

void PutU32(std::vector<std::uint8_t>& bytes, std::uint32_t value);
void SetU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

}  // namespace zira::testing
