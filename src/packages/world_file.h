#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "common/byte_buffers.h"
#include "common/byte_cursor.h"
#include "common/capacities.h"
#include "common/result.h"
#include "common/world_format.h"

namespace zira {

class WldFile;

inline constexpr std::uint32_t kWldTypeCount = world_format::kTypeCount;  // types 0 to 55 are recorded

// One recorded fragment; name and body are positions inside the caller's buffer.
struct WldFragment {
  const char* name;         // inside the unscrambled string table, or nullptr
  std::uint32_t nameLength;  // bounded by the end of the string table
  std::uint8_t type;
  std::uint32_t body;      // offset of the body in the data
  std::uint32_t bodySize;  // size word - 4
  std::uint32_t index;     // 0-based number among recorded fragments
};

// A world file parsed in place: names unscrambled, fragments chained by type.
// It never owns the data; the caller keeps it alive while the file is used.
class WldFile {
 public:
  // buffers: where the fragment table is taken from, if anywhere.
  explicit WldFile(ByteBuffers* buffers = nullptr);
  WldFile(const WldFile&) = delete;
  WldFile& operator=(const WldFile&) = delete;

  Result Load(std::span<std::uint8_t> data, const char* name);
  void Reset();

  WldFragment* NextOfType(std::uint32_t type, const WldFragment* previous);
  WldFragment* FragmentByNumber(std::int32_t reference);
  WldFragment* Resolve(std::int32_t reference);
  WldFragment* ModelTarget(WldFragment* model);
  std::uint8_t SkeletonMeshes(WldFragment* skeleton, WldFragment** list, std::uint8_t* count);
  std::uint8_t TextureFrameCount(WldFragment* texture);
  WldFragment* TextureFrameBitmaps(WldFragment* texture, std::uint32_t frame);
  std::uint8_t MaterialBitmapCount(WldFragment* material);

  // A cursor over a fragment's body, which ends where the body ends.
  ByteCursor Body(const WldFragment& fragment) const {
    return ByteCursor(data_).Sub(fragment.body, fragment.bodySize);
  }
  // The u32 at offset inside a fragment's body; 0 unless wholly inside it.
  std::uint32_t BodyU32At(const WldFragment& fragment, std::size_t offset) const {
    return Body(fragment).U32At(offset);
  }

  const char* Name() const { return name_; }
  std::uint32_t Version() const { return version_; }
  std::uint32_t FragmentCount() const { return fragmentCount_; }
  std::uint32_t RecordedCount() const { return recordedCount_; }

 private:
  void RecordFragments(ByteCursor& fragments);
  void NameSlot(WldFragment& slot, std::int32_t nameReference) const;
  void UnscrambleBitmapNames(const WldFragment& fragment);

  std::uint32_t nameLength_ = 0;
  char name_[kPathCapacity] = {};
  std::uint32_t version_ = 0;
  std::uint32_t stringTableSize_ = 0;
  std::span<std::uint8_t> stringTable_;
  std::uint32_t dataSize_ = 0;
  std::span<std::uint8_t> data_;
  std::uint32_t fragmentCount_ = 0;
  ByteBuffers* buffers_ = nullptr;
  // One buffer holds the fragments, then the chain by type, then the types.
  PooledBytes table_;
  WldFragment* fragments_ = nullptr;
  std::uint32_t* nextOfType_ = nullptr;
  std::uint8_t* types_ = nullptr;
  std::int32_t firstOfType_[kWldTypeCount];
  std::uint32_t recordedCount_ = 0;
};

}  // namespace zira
