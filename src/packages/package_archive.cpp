#include "packages/package_archive.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/package_format.h"
#include "common/text.h"
#include "common/worker_pool.h"
#include "packages/block_inflater.h"
#include "packages/row_order.h"

namespace zira {

namespace {

using namespace package_format;

constexpr std::uint32_t kReadAtSlack = 1024;
// Deflate cannot expand input by more than about 1032:1, so a request larger
// than that many times the bytes left in the file can never be produced.
constexpr std::uint64_t kMostInflateRatio = 1032;

// Every u32 of this format is read with ReadU32LowBytes: a field cut short by
// the end of the file keeps the bytes that are there as its low bytes.

struct PackageHeader {
  std::uint32_t directoryOffset;
  std::uint32_t magic;
  std::uint32_t version;
};

PackageHeader DecodeHeader(ByteCursor file) {
  PackageHeader header{};
  header.directoryOffset = file.ReadU32LowBytes();
  header.magic = file.ReadU32LowBytes();
  header.version = file.ReadU32LowBytes();
  return header;
}

void DecodeRow(ByteCursor& directory, PackageEntry& row) {
  row.checksum = directory.ReadU32LowBytes();
  row.dataOffset = directory.ReadU32LowBytes();
  row.inflatedSize = directory.ReadU32LowBytes();
}

// The date stamp of a footer behind the rows, or none when more than the mark
// is not left or the mark differs.
std::optional<std::uint32_t> DecodeFooter(ByteCursor footer) {
  if (footer.Remaining() <= kFooterMarkSize) return std::nullopt;
  const std::span<const std::uint8_t> mark = footer.ReadBytes(kFooterMarkSize);
  for (std::size_t i = 0; i < kFooterMarkSize; ++i) {
    if (!FoldedEqual(static_cast<char>(mark[i]), kFooterMark[i])) return std::nullopt;
  }
  return footer.ReadU32LowBytes();
}

// How many directory rows the bytes behind the count can back: the last row
// only needs its checksum and one byte of its data offset, since a cut field
// keeps its low bytes.
std::uint64_t RowsBacked(std::size_t bytesAfterCount) {
  constexpr std::size_t kShortestLastRow = kRowDataOffsetField + 1;
  return bytesAfterCount >= kShortestLastRow ? (bytesAfterCount - kShortestLastRow) / kRowSize + 1 : 0;
}

// The checks the parse makes of the header, on the header's bytes alone, so
// that most files that are not packages are refused before they are read whole.
Result CheckHeader(const PackageHeader& header, std::uint64_t fileLength) {
  if (header.magic != kMagic) return Fail("wrong magic");
  if (header.directoryOffset >= fileLength) return Fail("directory offset beyond the file");
  return kSuccess;
}

}  // namespace

std::unique_ptr<PackageArchive> PackageArchive::Create(TaskRunner* pool, Decompressors* shared,
                                                       ByteBuffers* buffers) {
  return std::unique_ptr<PackageArchive>(new (std::nothrow) PackageArchive(pool, shared, buffers));
}

PackageArchive::PackageArchive(TaskRunner* pool, Decompressors* shared, ByteBuffers* buffers)
    : pool_(pool), shared_(shared), buffers_(buffers) {
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
}

const PackageEntry* PackageArchive::Entry(std::uint32_t index) const {
  if (entryCount_ == 0 || index >= entryCount_ || !entries_) return nullptr;
  return &entries_[index];
}

Result PackageArchive::Open(ClientFolder& folder, const char* path) {
  Close();
  if (path == nullptr) return InvalidArgument("no package path");
  if (path[0] == '\0') return Fail("empty path");
  std::string real;
  if (!folder.ResolveExisting(path, &real)) return Fail("cannot open");
  return OpenResolved(real, path, folder.Refusals());
}

Result PackageArchive::OpenResolved(const std::string& realPath, const char* path, MachineRefusals& refusals) {
  Close();
  if (path == nullptr) return InvalidArgument("no package path");
  if (path[0] == '\0') return Fail("empty path");
  version_ = 0;
  dateStamp_ = 0;
  CopyText(path_, sizeof(path_), path);

  refusals_ = &refusals;
  InputFile file;
  if (!file.OpenResolved(realPath, path_, refusals)) return Fail("cannot open");
  const std::uint64_t length = file.Length();
  // Positions are 32-bit in this format; an empty file has nothing to read.
  if (length == 0 || length > 0xFFFFFFFFu) return Fail("empty or beyond 32-bit offsets");
  std::uint8_t head[kHeaderSize] = {};
  const std::size_t headBytes = static_cast<std::size_t>(std::min<std::uint64_t>(length, kHeaderSize));
  if (!file.ReadHead(head, headBytes)) return Fail("header unreadable");
  const Result headerFits = CheckHeader(DecodeHeader(ByteCursor({head, headBytes})), length);
  if (Failed(headerFits)) return headerFits;
  PooledBytes bytes = TakeBytes(buffers_, static_cast<std::size_t>(length), pool_);
  if (!bytes) {
    NoteRefusal(ENOMEM);
    return OutOfMemory("no memory for the file");
  }
  // A short read leaves nothing behind that later reads could reach.
  const Result read = file.ReadAllInto({bytes.get(), static_cast<std::size_t>(length)});
  if (Failed(read)) return read;
  contents_ = std::move(bytes);
  fileLength_ = static_cast<std::uint32_t>(length);
  return Parse();
}

Result PackageArchive::OpenBytes(std::span<const std::uint8_t> bytes) {
  Close();
  version_ = 0;
  dateStamp_ = 0;
  path_[0] = '\0';
  if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return Fail("empty or beyond 32-bit offsets");
  contents_ = TakeBytes(buffers_, bytes.size());
  if (!contents_) return OutOfMemory("package contents");
  std::memcpy(contents_.get(), bytes.data(), bytes.size());
  fileLength_ = static_cast<std::uint32_t>(bytes.size());
  return Parse();
}

Result PackageArchive::Refuse(Result why) {
  Close();
  return why;
}

Result PackageArchive::Parse() {
  const ByteCursor file(Contents());
  const PackageHeader header = DecodeHeader(file);
  version_ = header.version;
  const Result headerFits = CheckHeader(header, fileLength_);
  if (Failed(headerFits)) return Refuse(headerFits);
  const Result directory = ReadDirectory(file.Sub(header.directoryOffset));
  if (Failed(directory)) return Refuse(directory);
  const Result sorted = SortRowsByOffset(std::span<PackageEntry>(entries_.get(), rowCount_));
  if (Failed(sorted)) return Refuse(sorted);
  const Result names = ReadNames();
  return Failed(names) ? Refuse(names) : kSuccess;
}

Result PackageArchive::ReadDirectory(ByteCursor directory) {
  const std::uint32_t rows = directory.ReadU32LowBytes();
  if (rows == 0) return Fail("empty directory");
  // A larger count would fail in the row walk anyway, so it is refused before
  // anything is allocated for it.
  if (rows > RowsBacked(directory.Remaining())) return Fail("directory runs past the file");
  entries_.reset(new (std::nothrow) PackageEntry[rows]());
  if (!entries_) {
    NoteRefusal(ENOMEM);
    return Fail("no memory for the entry table");
  }
  rowCount_ = rows;
  entryCount_ = rows - 1;
  for (std::uint32_t i = 0; i < rows; ++i) {
    DecodeRow(directory, entries_[i]);
    // A directory cut short by the end of the file yields a 0 offset here.
    if (entries_[i].dataOffset == 0) return Fail("directory row with data offset 0");
  }
  dateStamp_ = DecodeFooter(directory).value_or(dateStamp_);
  return kSuccess;
}

// The name directory is the last row once the rows are sorted.
Result PackageArchive::ReadNames() {
  const PackageEntry& nameRow = entries_[rowCount_ - 1];
  // An empty name directory yields no buffer, so there is nothing to name from.
  if (nameRow.inflatedSize == 0) return Fail("empty name directory");
  EntryBuffer directory;
  if (Failed(ReadAt(nameRow.dataOffset, nameRow.inflatedSize, directory)) || !directory) {
    return Fail("name directory unreadable");
  }
  NameEntries(std::span<const std::uint8_t>(directory.get(), nameRow.inflatedSize));
  return kSuccess;
}

// The k-th listed name belongs to the k-th entry by offset, and only when its
// checksum agrees. Names that cannot be stored or that run past the inflated
// directory are passed over.
void PackageArchive::NameEntries(std::span<const std::uint8_t> directory) {
  ByteCursor names(directory);
  const std::uint32_t listed = names.ReadU32LowBytes();
  if (listed < entryCount_) entryCount_ = listed;
  for (std::uint32_t k = 0; k < entryCount_; ++k) {
    const std::uint32_t length = names.ReadU32();
    const std::span<const std::uint8_t> stored = names.ReadBytes(length);
    if (!names.Ok()) break;
    if (length == 0 || length > kLongestStoredName) continue;
    PackageEntry& entry = entries_[k];
    if (NameChecksum(stored) != entry.checksum) continue;
    std::memcpy(entry.name, stored.data(), length);
    entry.name[length - 1] = '\0';
    entry.nameLength = length - 1;
  }
}

// The refusals that come before anything is allocated or inflated.
Result PackageArchive::CheckRequest(std::uint32_t offset, std::uint32_t size) const {
  if (offset >= fileLength_) return InvalidArgument("offset beyond the file");
  if (!contents_) return Fail("nothing loaded");
  if (size > std::uint64_t{fileLength_ - offset} * kMostInflateRatio) return Fail("more than the file can inflate to");
  return kSuccess;
}

Result PackageArchive::ReadAt(std::uint32_t offset, std::uint32_t size, EntryBuffer& out) {
  const Result request = CheckRequest(offset, size);
  if (Failed(request) || size == 0) return request;
  // Not zeroed here: the blocks fill the front and Inflate zeroes the rest, so
  // no page is written twice.
  EntryBuffer allocated = TakeBytes(buffers_, std::size_t{size} + kReadAtSlack, pool_);
  if (!allocated) {
    NoteRefusal(ENOMEM);
    return OutOfMemory("entry buffer");
  }
  const Result inflated = Inflate(offset, {allocated.get(), std::size_t{size} + kReadAtSlack}, size);
  if (Succeeded(inflated)) out = std::move(allocated);
  return inflated;
}

Result PackageArchive::ReadInto(std::uint32_t offset, std::span<std::uint8_t> buffer) {
  if (buffer.size() > 0xFFFFFFFFu) return InvalidArgument("beyond 32-bit sizes");
  const std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
  const Result request = CheckRequest(offset, size);
  if (Failed(request) || size == 0) return request;
  return Inflate(offset, buffer, size);
}

// Inflates the blocks from offset on until size bytes are produced or the
// file ends, then zeroes what they did not fill: a caller's buffer may hold
// old bytes, and a short block may have written past what it yielded.
Result PackageArchive::Inflate(std::uint32_t offset, std::span<std::uint8_t> output, std::uint32_t size) {
  const std::span<const std::uint8_t> file = Contents();
  BlockRunEnd run{kSuccess, 0, offset};
  const bool inOrder = pool_ == nullptr || pool_->Workers() == 1;
  if (!decompressors_ && shared_ == nullptr) {
    decompressors_ = std::make_unique<Decompressors>(inOrder ? 1 : pool_->Workers());
  }
  Decompressors& decompressors = shared_ != nullptr ? *shared_ : *decompressors_;
  if (inOrder) {
    run = InflateBlocksInOrder(file, offset, 0, size, output.data(), decompressors,
                               pool_ != nullptr ? pool_->CallerWorker() : 0);
  } else {
    // Headers first, a batch at a time, then the batch's blocks in parallel.
    std::array<BlockHeader, kMostPlannedBlocks> headers;
    while (Succeeded(run.result) && run.produced < size && run.position < fileLength_) {
      run = InflateBlocks(file, PlanBlocks(file, headers, run.position, run.produced, size), size, output.data(),
                          *pool_, decompressors);
    }
  }
  if (Failed(run.result)) return run.result;
  std::memset(output.data() + run.produced, 0, output.size() - run.produced);
  return kSuccess;
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
