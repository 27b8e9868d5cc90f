#include "support/package_writer.h"

#include <zlib.h>

#include <algorithm>

#include "common/file_system.h"

namespace zira::testing {

using namespace package_format;

void PutU32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void SetU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  if (bytes.size() < offset + 4) bytes.resize(offset + 4);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::size_t PackageWriter::AddEntry(const std::string& name, const std::vector<std::uint8_t>& contents,
                                    std::uint32_t blockSize) {
  PackageEntryPlan entryPlan;
  entryPlan.name = name;
  entryPlan.contents = contents;
  entryPlan.blockSize = blockSize;
  return AddEntry(entryPlan);
}

std::size_t PackageWriter::AddEntry(const PackageEntryPlan& entryPlan) {
  entries_.push_back(entryPlan);
  return entries_.size() - 1;
}

std::size_t PackageWriter::AddTextEntry(const std::string& name, const std::string& text) {
  return AddEntry(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::uint32_t PackageWriter::Checksum(const std::vector<std::uint8_t>& bytes) {
  // Bit by bit, MSB first, so the test does not share the reader's table.
  std::uint32_t crc = 0;
  for (std::uint8_t b : bytes) {
    crc ^= static_cast<std::uint32_t>(b) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ kChecksumPolynomial : crc << 1;
  }
  return crc;
}

std::vector<std::uint8_t> PackageWriter::Blocks(const std::vector<std::uint8_t>& contents, std::uint32_t blockSize,
                                                std::uint32_t firstClaimExtra) {
  std::vector<std::uint8_t> out;
  if (blockSize == 0) blockSize = 8192;
  for (std::size_t start = 0; start < contents.size(); start += blockSize) {
    const std::size_t length = std::min<std::size_t>(blockSize, contents.size() - start);
    uLongf deflatedLength = compressBound(static_cast<uLong>(length));
    std::vector<std::uint8_t> deflated(deflatedLength);
    compress(deflated.data(), &deflatedLength, contents.data() + start, static_cast<uLong>(length));
    PutU32(out, static_cast<std::uint32_t>(deflatedLength));
    PutU32(out, static_cast<std::uint32_t>(length) + (start == 0 ? firstClaimExtra : 0));
    out.insert(out.end(), deflated.begin(), deflated.begin() + static_cast<std::ptrdiff_t>(deflatedLength));
  }
  return out;
}

std::vector<std::uint8_t> PackageWriter::NameDirectory() const {
  if (rawNameDirectory) return *rawNameDirectory;
  const long listed = std::max(0L, static_cast<long>(entries_.size()) + nameCountDelta);
  std::vector<std::uint8_t> out;
  PutU32(out, static_cast<std::uint32_t>(listed));
  for (long i = 0; i < listed; ++i) {
    const std::string name =
        i < static_cast<long>(entries_.size()) ? entries_[i].name : "extra" + std::to_string(i) + ".bin";
    PutU32(out, static_cast<std::uint32_t>(name.size() + 1));
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
  }
  return out;
}

namespace {

struct Row {
  std::uint32_t checksum, offset, size;
};

std::vector<std::uint8_t> DirectoryBytes(const std::vector<Row>& rows, const std::vector<std::size_t>& order,
                                         std::uint32_t count, bool footer, std::uint32_t dateStamp) {
  std::vector<std::uint8_t> out;
  PutU32(out, count);
  for (std::size_t index : order) {
    PutU32(out, rows[index].checksum);
    PutU32(out, rows[index].offset);
    PutU32(out, rows[index].size);
  }
  if (footer) {
    out.insert(out.end(), kFooterMark, kFooterMark + kFooterMarkSize);
    PutU32(out, dateStamp);
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> PackageWriter::Bytes() {
  std::vector<Row> rows;
  std::vector<std::vector<std::uint8_t>> data;
  for (const PackageEntryPlan& entryPlan : entries_) {
    std::vector<std::uint8_t> named(entryPlan.name.begin(), entryPlan.name.end());
    named.push_back(0);
    std::uint32_t checksum = Checksum(named);
    if (entryPlan.wrongChecksum) checksum ^= 0x5A5A5A5A;
    rows.push_back({checksum, 0, entryPlan.claimedSize.value_or(static_cast<std::uint32_t>(entryPlan.contents.size()))});
    data.push_back(Blocks(entryPlan.contents, entryPlan.blockSize, entryPlan.firstBlockClaimExtra));
  }
  const std::vector<std::uint8_t> directory = NameDirectory();
  rows.push_back({0, 0, static_cast<std::uint32_t>(directory.size())});
  data.push_back(Blocks(directory, nameDirectoryBlockSize));

  std::vector<std::size_t> order = rowOrder;
  if (order.empty()) {
    for (std::size_t i = 0; i < rows.size(); ++i) order.push_back(i);
    if (reverseRows) std::reverse(order.begin(), order.end());
  }
  const std::uint32_t directorySize =
      static_cast<std::uint32_t>(kRowCountSize + kRowSize * order.size() + (footer ? kFooterSize : 0));

  std::vector<std::uint8_t> out;
  PutU32(out, 0);  // the directory offset, set below
  PutU32(out, magic);
  PutU32(out, version);
  std::uint32_t dataSize = 0;
  for (const auto& d : data) dataSize += static_cast<std::uint32_t>(d.size());
  const auto headerSize = static_cast<std::uint32_t>(kHeaderSize);
  const std::uint32_t directoryOffset = headerSize + (directoryFirst ? 0 : dataSize);
  std::uint32_t cursor = headerSize + (directoryFirst ? directorySize : 0);
  offsets_.clear();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].offset = cursor;
    offsets_.push_back(cursor);
    cursor += static_cast<std::uint32_t>(data[i].size());
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].zeroOffset) rows[i].offset = 0;
  }

  const std::vector<std::uint8_t> directoryBytes =
      DirectoryBytes(rows, order, rowCount.value_or(static_cast<std::uint32_t>(order.size())), footer, dateStamp);

  if (directoryFirst) out.insert(out.end(), directoryBytes.begin(), directoryBytes.end());
  for (const auto& d : data) out.insert(out.end(), d.begin(), d.end());
  if (!directoryFirst) out.insert(out.end(), directoryBytes.begin(), directoryBytes.end());
  SetU32(out, kDirectoryOffsetField, directoryOffset);
  if (truncateTo && *truncateTo < out.size()) out.resize(*truncateTo);
  return out;
}

bool PackageWriter::WriteTo(const std::string& path) { return WriteWholeFile(path.c_str(), Bytes()); }

}  // namespace zira::testing
