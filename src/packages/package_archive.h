#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/byte_buffers.h"
#include "common/byte_cursor.h"
#include "common/capacities.h"
#include "common/machine_refusal.h"
#include "common/result.h"
#include "packages/block_inflater.h"

namespace zira {

class ClientFolder;
class TaskRunner;

inline constexpr std::size_t kPackageNameCapacity = 261;  // 260 bytes and the terminator
inline constexpr std::uint16_t kNoEntry = 0xFFFF;

// One row of a package's directory, named through the name directory.
struct PackageEntry {
  std::uint32_t nameLength;  // without the terminator; 0 while unnamed
  char name[kPackageNameCapacity];
  std::uint32_t inflatedSize;
  std::uint32_t dataOffset;
  std::uint32_t checksum;
};

// Buffers that ReadEntry and ReadAt hand to their callers.
using EntryBuffer = PooledBytes;

// A package file (.s3d or .obg) loaded whole, with its entries named and
// sorted by data offset; entry contents are inflated on demand.
class PackageArchive {
 public:
  // An empty archive with its checksum table built; nullptr when out of memory.
  // pool: the threads that inflate a long entry's blocks; without one, or
  // with a pool of one job, the blocks are inflated in order on the caller.
  // shared: decompressors kept across archives, one per worker of the
  // pool, or none to make this archive's own. buffers: where the file's
  // bytes and inflated entries are taken from and go back to, if anywhere.
  static std::unique_ptr<PackageArchive> Create(TaskRunner* pool = nullptr, Decompressors* shared = nullptr,
                                                ByteBuffers* buffers = nullptr);
  ~PackageArchive();
  PackageArchive(const PackageArchive&) = delete;
  PackageArchive& operator=(const PackageArchive&) = delete;

  Result Open(ClientFolder& folder, const char* path);
  // The same for a path another thread resolved; path names the package in
  // refusals noted on the way.
  Result OpenResolved(const std::string& realPath, const char* path, MachineRefusals& refusals);
  // Opens package bytes already in memory, exactly as Open does after reading
  // the file (a copy is taken); lets tests and fuzzers skip the file system.
  Result OpenBytes(std::span<const std::uint8_t> bytes);
  void Close();

  std::uint32_t EntryCount() const { return entryCount_; }
  const PackageEntry* Entry(std::uint32_t index) const;
  std::uint16_t FindEntry(const char* name) const;
  // The inflated contents of an entry, or nullptr (read failure or size 0).
  EntryBuffer ReadEntry(std::uint32_t index);
  // Inflates the blocks at offset until size bytes are produced, into a new
  // buffer of size + 1024 zero-filled bytes that is handed to out on success
  // (out is left alone on a failure and for a size of 0).
  Result ReadAt(std::uint32_t offset, std::uint32_t size, EntryBuffer& out);
  // The same into the caller's buffer, whose size is the size asked for;
  // what the blocks do not fill reads as zero.
  Result ReadInto(std::uint32_t offset, std::span<std::uint8_t> buffer);

  std::uint32_t Version() const { return version_; }
  std::uint32_t DateStamp() const { return dateStamp_; }
  std::uint32_t FileLength() const { return fileLength_; }
  // The whole package file as loaded (empty when nothing is).
  std::span<const std::uint8_t> FileBytes() const { return {contents_.get(), contents_ ? fileLength_ : 0u}; }

  // The name checksum over bytes (CRC-32, MSB first, polynomial 0x04C11DB7, initial 0).
  std::uint32_t NameChecksum(std::span<const std::uint8_t> bytes) const;

 private:
  PackageArchive(TaskRunner* pool, Decompressors* shared, ByteBuffers* buffers);
  // Notes a refusal of the machine's against the package's name, when opened from a folder.
  void NoteRefusal(int error) const {
    if (refusals_ != nullptr) refusals_->Note(error, path_);
  }
  std::span<const std::uint8_t> Contents() const { return {contents_.get(), contents_ ? fileLength_ : 0u}; }
  // Validates the loaded contents and builds the named, sorted entry table;
  // every refusal leaves the archive empty.
  Result Parse();
  Result ReadDirectory(ByteCursor directory);
  Result ReadNames();
  Result Refuse(Result why);
  void NameEntries(std::span<const std::uint8_t> directory);
  Result CheckRequest(std::uint32_t offset, std::uint32_t size) const;
  Result Inflate(std::uint32_t offset, std::span<std::uint8_t> output, std::uint32_t size);

  TaskRunner* pool_ = nullptr;
  Decompressors* shared_ = nullptr;
  ByteBuffers* buffers_ = nullptr;
  std::unique_ptr<Decompressors> decompressors_;  // one per worker, made with the first inflation
  MachineRefusals* refusals_ = nullptr;
  std::uint32_t version_ = 0;
  std::uint32_t dateStamp_ = 0;
  std::uint32_t entryCount_ = 0;
  std::unique_ptr<PackageEntry[]> entries_;
  std::uint32_t rowCount_ = 0;
  std::uint32_t checksumTable_[256] = {};
  char path_[kPathCapacity] = {};
  PooledBytes contents_;
  std::uint32_t fileLength_ = 0;
};

}  // namespace zira
