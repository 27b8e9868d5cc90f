#include "packages/package_archive.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "common/byte_cursor.h"
#include "common/worker_pool.h"
#include "common/file_system.h"
#include "common/text.h"
#include "packages/block_inflater.h"

namespace zira {

namespace {

constexpr std::uint32_t kPackageMagic = 0x20534650;  // "PFS "
constexpr std::uint32_t kChecksumPolynomial = 0x04C11DB7;
constexpr std::uint32_t kDirectoryRowSize = 12;
constexpr std::uint32_t kLongestStoredName = 260;  // stored length, terminator included
constexpr std::uint32_t kReadAtSlack = 1024;
// Deflate cannot expand input by more than about 1032:1, so a request larger
// than that many times the bytes left in the file can never be produced.
constexpr std::uint64_t kMostInflateRatio = 1032;
constexpr char kFooterMark[] = "KAVRO";
constexpr std::size_t kFooterMarkLength = 5;

}  // namespace

std::unique_ptr<PackageArchive> PackageArchive::Create() {
  return std::unique_ptr<PackageArchive>(new (std::nothrow) PackageArchive());
}

PackageArchive::PackageArchive() {
  for (std::uint32_t t = 0; t < 256; ++t) {
    std::uint32_t value = t << 24;
    for (int bit = 0; bit < 8; ++bit) {
      const bool carry = (value & 0x80000000u) != 0;
      value <<= 1;
      if (carry) value ^= kChecksumPolynomial;
    }
    checksumTable_[t] = value;
  }
}

PackageArchive::~PackageArchive() { Close(); }

std::uint32_t PackageArchive::NameChecksum(std::span<const std::uint8_t> bytes) const {
  std::uint32_t crc = 0;
  for (std::uint8_t b : bytes) crc = (crc << 8) ^ checksumTable_[((crc >> 24) ^ b) & 0xFF];
  return crc;
}

void PackageArchive::Close() {
  contents_.reset();
  entries_.reset();
  entryCount_ = 0;
  rowCount_ = 0;
  fileLength_ = 0;
  position_ = 0;
}

const PackageEntry* PackageArchive::Entry(std::uint32_t index) const {
  if (entryCount_ == 0 || index >= entryCount_ || !entries_) return nullptr;
  return &entries_[index];
}

std::uint32_t PackageArchive::ReadU32() {
  if (!contents_ || position_ >= fileLength_) return 0;
  ByteCursor cursor(std::span<const std::uint8_t>(contents_.get(), fileLength_), position_);
  const std::uint32_t value = cursor.ReadU32();
  position_ = static_cast<std::uint32_t>(cursor.Position());
  return value;
}

Result PackageArchive::Open(const char* path) {
  Close();
  if (path == nullptr) return E_INVALIDARG;
  if (path[0] == '\0') return E_FAIL;
  version_ = 0;
  dateStamp_ = 0;
  CopyText(path_, sizeof(path_), path);

  InputFile file;
  if (!file.Open(path_)) return E_FAIL;
  const std::uint64_t length = file.Length();
  // Positions are 32-bit in this format; an empty file has nothing to read.
  if (length == 0 || length > 0xFFFFFFFFu) return E_FAIL;
  fileLength_ = static_cast<std::uint32_t>(length);
  contents_.reset(new (std::nothrow) std::uint8_t[fileLength_]);
  if (!contents_) {
    fileLength_ = 0;
    return E_OUTOFMEMORY;
  }
  // A short read would leave unread bytes behind that later reads could reach.
  if (file.Read(contents_.get(), fileLength_) != fileLength_) {
    Close();
    return E_FAIL;
  }
  file.Close();
  return Parse();
}

Result PackageArchive::OpenBytes(std::span<const std::uint8_t> bytes) {
  Close();
  version_ = 0;
  dateStamp_ = 0;
  path_[0] = '\0';
  if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return E_FAIL;
  contents_.reset(new (std::nothrow) std::uint8_t[bytes.size()]);
  if (!contents_) return E_OUTOFMEMORY;
  std::memcpy(contents_.get(), bytes.data(), bytes.size());
  fileLength_ = static_cast<std::uint32_t>(bytes.size());
  return Parse();
}

Result PackageArchive::Parse() {
  // Every refusal from here on leaves the archive empty again.
  auto fail = [this] {
    Close();
    return E_FAIL;
  };
  position_ = 0;
  const std::uint32_t directoryOffset = ReadU32();
  if (ReadU32() != kPackageMagic) return fail();
  version_ = ReadU32();
  if (directoryOffset >= fileLength_) return fail();

  position_ = directoryOffset;
  const std::uint32_t rows = ReadU32();
  if (rows == 0) return fail();
  // A row can only be accepted when its data offset starts inside the file;
  // a larger count would fail in the row walk anyway, so refuse it before
  // allocating for it.
  const std::uint64_t afterCount = fileLength_ - std::min<std::uint64_t>(fileLength_, directoryOffset + 4ull);
  const std::uint64_t rowsBacked = afterCount >= 5 ? (afterCount - 5) / kDirectoryRowSize + 1 : 0;
  if (rows > rowsBacked) return fail();

  entries_.reset(new (std::nothrow) PackageEntry[rows]());
  if (!entries_) return fail();
  rowCount_ = rows;
  entryCount_ = rows - 1;
  for (std::uint32_t i = 0; i < rows; ++i) {
    PackageEntry& row = entries_[i];
    row.checksum = ReadU32();
    row.dataOffset = ReadU32();
    row.inflatedSize = ReadU32();
    if (row.dataOffset == 0) return fail();
  }

  if (fileLength_ - position_ > kFooterMarkLength) {
    const ByteCursor bytes(std::span<const std::uint8_t>(contents_.get(), fileLength_));
    bool footer = true;
    for (std::size_t i = 0; i < kFooterMarkLength; ++i) {
      if (!FoldedEqual(static_cast<char>(bytes.U8At(position_ + i)), kFooterMark[i])) footer = false;
    }
    if (footer) {
      position_ += kFooterMarkLength;
      dateStamp_ = ReadU32();
    }
  }

  SortRowsByOffset();

  const PackageEntry& nameRow = entries_[rows - 1];
  // An empty name directory yields no buffer, so there is nothing to name from.
  if (nameRow.inflatedSize == 0) return fail();
  EntryBuffer directory;
  if (Failed(ReadAt(nameRow.dataOffset, nameRow.inflatedSize, directory)) || !directory) return fail();
  NameEntries(std::span<const std::uint8_t>(directory.get(), nameRow.inflatedSize));
  return S_OK;
}

// Selection sort with a strict comparison, so rows on equal offsets keep the
// order this walk gives them.
void PackageArchive::SortRowsByOffset() {
  for (std::uint32_t i = 0; i < rowCount_; ++i) {
    std::uint32_t smallest = entries_[i].dataOffset;
    std::uint32_t kept = i;
    for (std::uint32_t j = i + 1; j < rowCount_; ++j) {
      if (entries_[j].dataOffset < smallest) {
        smallest = entries_[j].dataOffset;
        kept = j;
      }
    }
    if (kept != i) std::swap(entries_[i], entries_[kept]);
  }
}

// The k-th listed name belongs to the k-th entry by offset, and only when its
// checksum agrees. Names that cannot be stored or that run past the inflated
// directory are passed over.
void PackageArchive::NameEntries(std::span<const std::uint8_t> directory) {
  ByteCursor cursor(directory);
  const std::uint32_t names = cursor.ReadU32();
  if (names < entryCount_) entryCount_ = names;
  for (std::uint32_t k = 0; k < entryCount_; ++k) {
    if (cursor.Remaining() < 4) break;
    const std::uint32_t length = cursor.ReadU32();
    const std::size_t start = cursor.Position();
    cursor.Skip(length);
    if (length == 0 || length > kLongestStoredName || !cursor.Contains(start, length)) continue;
    const std::span<const std::uint8_t> stored = directory.subspan(start, length);
    PackageEntry& entry = entries_[k];
    if (NameChecksum(stored) != entry.checksum) continue;
    std::memcpy(entry.name, stored.data(), length);
    entry.name[length - 1] = '\0';
    entry.nameLength = length - 1;
  }
}

// The headers of the blocks from the read position on, placed as if every
// block yields what it claims; the checks are the block walk's, in its order.
BlockPlan PackageArchive::PlanBlocks(std::span<BlockHeader> headers, std::uint32_t produced, std::uint32_t size) {
  BlockPlan plan;
  plan.produced = produced;
  std::size_t count = 0;
  std::uint32_t planned = produced;
  while (count < headers.size() && planned < size && position_ < fileLength_) {
    BlockHeader& block = headers[count];
    block.headerAt = position_;
    block.deflated = ReadU32();
    block.claimed = ReadU32();
    block.dataAt = position_;
    if (static_cast<std::uint64_t>(planned) + block.claimed > size ||
        static_cast<std::uint64_t>(position_) + block.deflated > fileLength_) {
      plan.refused = true;
      break;
    }
    position_ += block.deflated;
    planned += block.claimed;
    ++count;
  }
  plan.blocks = headers.first(count);
  plan.endPosition = position_;
  return plan;
}

Result PackageArchive::ReadAt(std::uint32_t offset, std::uint32_t size, EntryBuffer& buffer) {
  if (offset >= fileLength_) return E_INVALIDARG;
  if (!contents_) return E_FAIL;
  if (size == 0) return S_OK;
  if (static_cast<std::uint64_t>(size) > (fileLength_ - offset) * kMostInflateRatio) return E_FAIL;

  EntryBuffer allocated;
  std::uint8_t* output = buffer.get();
  if (output == nullptr) {
    // Not zeroed here: the blocks fill the front and the rest is zeroed below,
    // so no page is written twice.
    allocated.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size) + kReadAtSlack]);
    if (!allocated) return E_OUTOFMEMORY;
    output = allocated.get();
  }

  const std::span<const std::uint8_t> file(contents_.get(), fileLength_);
  BlockRunEnd run{S_OK, 0, offset};
  if (WorkerJobs() == 1) {
    run = InflateBlocksInOrder(file, offset, 0, size, output);
  } else {
    // Headers first, a batch at a time, then the batch's blocks in parallel.
    std::array<BlockHeader, kMostPlannedBlocks> headers;
    while (Succeeded(run.result) && run.produced < size && run.position < fileLength_) {
      position_ = run.position;
      run = InflateBlocks(file, PlanBlocks(headers, run.produced, size), size, output, SharedWorkerPool());
    }
  }
  position_ = run.position;
  if (Failed(run.result)) return E_FAIL;
  // What the blocks did not fill reads as zero: a caller's buffer may hold old
  // bytes, and a short block may have written past what it yielded.
  std::memset(output + run.produced, 0, size - run.produced + (allocated ? kReadAtSlack : 0));
  if (allocated) buffer = std::move(allocated);
  return S_OK;
}

EntryBuffer PackageArchive::ReadEntry(std::uint32_t index) {
  if (!contents_ || entryCount_ == 0 || index >= entryCount_) return nullptr;
  const PackageEntry& entry = entries_[index];
  if (entry.inflatedSize == 0) return nullptr;
  EntryBuffer buffer;
  if (Failed(ReadAt(entry.dataOffset, entry.inflatedSize, buffer))) return nullptr;
  return buffer;
}

std::uint16_t PackageArchive::FindEntry(const char* name) const {
  if (name == nullptr || name[0] == '\0') return kNoEntry;
  const std::size_t length = std::strlen(name);
  if (length < 3 || length > 63) return kNoEntry;
  char trimmed[64];
  std::memcpy(trimmed, name, length + 1);
  std::size_t trimmedLength = length;
  TrimCounted(trimmed, &trimmedLength);
  // A blank name would otherwise equal every unnamed entry.
  if (trimmedLength == 0) return kNoEntry;
  // Indices must fit the 16-bit result without meeting the "none" value.
  const std::uint32_t searchable = std::min<std::uint32_t>(entryCount_, kNoEntry);
  for (std::uint32_t i = 0; i < searchable; ++i) {
    const PackageEntry& entry = entries_[i];
    if (SameText(trimmed, trimmedLength, entry.name, entry.nameLength, true)) return static_cast<std::uint16_t>(i);
  }
  return kNoEntry;
}

}  // namespace zira
