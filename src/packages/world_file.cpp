#include "packages/world_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "common/text.h"

namespace zira {

namespace {

using namespace world_format;

constexpr char kDefaultName[] = "NoName.wld";
constexpr std::uint8_t kMostSkeletonMeshes = 10;
constexpr std::size_t kWordSize = 4;

bool IsMesh(const WldFragment* fragment) {
  return fragment != nullptr && (fragment->type == kMesh || fragment->type == kAlternateMesh);
}

void Unscramble(std::span<std::uint8_t> bytes) {
  for (std::size_t j = 0; j < bytes.size(); ++j) bytes[j] ^= kScrambleKey[j % sizeof(kScrambleKey)];
}

struct WorldHeader {
  std::uint32_t magic;
  std::uint32_t version;
  std::uint32_t fragmentCount;
  std::uint32_t stringTableSize;
};

WorldHeader DecodeHeader(ByteCursor header) {
  WorldHeader fields{};
  fields.magic = header.ReadU32();
  fields.version = header.ReadU32();
  fields.fragmentCount = header.ReadU32();
  header.SkipTo(kStringTableSizeField);
  fields.stringTableSize = header.ReadU32();
  return fields;
}

// One fragment's frame; the body is an offset into the data.
struct FragmentFrame {
  std::uint32_t type;
  std::int32_t nameReference;
  std::size_t body;
  std::uint32_t bodySize;
};

enum class FrameKind { kFragment, kSkipWord, kEnd };

// Decodes the frame at the cursor and moves past it. A frame that does not
// fit in the data, or whose size word cannot even hold the name reference,
// ends the parse.
FrameKind DecodeFrame(ByteCursor& fragments, FragmentFrame* frame) {
  const std::uint32_t sizeWord = fragments.ReadU32();
  if (!fragments.Ok() || (sizeWord < kNameReferenceSize && sizeWord != kSkipWord)) return FrameKind::kEnd;
  if (sizeWord == kSkipWord) return FrameKind::kSkipWord;
  const std::size_t typeAt = fragments.Position();
  ByteCursor framed = fragments.Take(kTypeSize + std::size_t{sizeWord});
  frame->type = framed.ReadU32();
  frame->nameReference = framed.ReadI32();
  frame->body = typeAt + kTypeSize + kNameReferenceSize;
  frame->bodySize = sizeWord - static_cast<std::uint32_t>(kNameReferenceSize);
  return fragments.Ok() ? FrameKind::kFragment : FrameKind::kEnd;
}

}  // namespace

WldFile::WldFile(ByteBuffers* buffers) : buffers_(buffers) { Reset(); }

void WldFile::Reset() {
  fragments_ = nullptr;
  nextOfType_ = nullptr;
  types_ = nullptr;
  table_.reset();
  nameLength_ = 0;
  std::memset(name_, 0, sizeof(name_));
  version_ = 0;
  stringTableSize_ = 0;
  stringTable_ = {};
  dataSize_ = 0;
  data_ = {};
  fragmentCount_ = 0;
  recordedCount_ = 0;
  std::fill(std::begin(firstOfType_), std::end(firstOfType_), -1);
}

Result WldFile::Load(std::span<std::uint8_t> data, const char* name) {
  if (data.data() == nullptr || data.empty()) return InvalidArgument("no world file data");
  ByteCursor file(data);
  const WorldHeader header = DecodeHeader(file.Take(kHeaderSize));
  if (!file.Ok()) return Fail("shorter than the header");
  if (data.size() > 0xFFFFFFFFu) return Fail("larger than 32-bit offsets reach");
  if (header.magic != kMagic) return Fail("wrong magic");
  Reset();
  dataSize_ = static_cast<std::uint32_t>(data.size());
  version_ = header.version;

  const char* givenName = name != nullptr ? name : kDefaultName;
  const std::size_t givenLength = strnlen(givenName, sizeof(name_));
  if (givenLength >= sizeof(name_)) return InvalidArgument("name too long");
  std::memcpy(name_, givenName, givenLength);
  nameLength_ = static_cast<std::uint32_t>(givenLength);

  data_ = data;
  // A string table claimed larger than the data is cut to the data: the load
  // goes on, and no fragment can follow it.
  stringTableSize_ = static_cast<std::uint32_t>(std::min<std::size_t>(header.stringTableSize, file.Remaining()));
  stringTable_ = data.subspan(kHeaderSize, stringTableSize_);
  Unscramble(stringTable_);
  file.Skip(stringTableSize_);

  // Slots are bounded by what the data can hold, so a huge count in the
  // header cannot make us allocate for fragments that are not there.
  const std::size_t backed = file.Remaining() / kFrameSize;
  fragmentCount_ = static_cast<std::uint32_t>(std::min<std::size_t>(header.fragmentCount, backed));
  if (fragmentCount_ > 0) {
    // Not zeroed here: recording writes every slot it fills, and only the
    // slots left empty behind the last recorded one are zeroed after it.
    // Plain records in a byte buffer: nothing to construct, and new[] aligns for them.
    static_assert(std::is_trivial_v<WldFragment> && alignof(WldFragment) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    const std::size_t count = fragmentCount_;
    table_ = TakeBytes(buffers_, count * (sizeof(WldFragment) + sizeof(std::uint32_t) + 1));
    if (!table_) return OutOfMemory("fragment table");
    fragments_ = reinterpret_cast<WldFragment*>(table_.get());
    nextOfType_ = reinterpret_cast<std::uint32_t*>(table_.get() + count * sizeof(WldFragment));
    types_ = table_.get() + count * (sizeof(WldFragment) + sizeof(std::uint32_t));
  }
  RecordFragments(file);
  if (recordedCount_ < fragmentCount_) {
    const std::size_t empty = fragmentCount_ - recordedCount_;
    std::fill_n(fragments_ + recordedCount_, empty, WldFragment{});
    std::fill_n(types_ + recordedCount_, empty, std::uint8_t{0});
    std::fill_n(nextOfType_ + recordedCount_, empty, std::uint32_t{0});
  }
  return kSuccess;
}

// The parse ends at the first fragment that does not fit, and once every slot
// is filled; fragments before that stay recorded. The recording is written
// out in the loop, over local copies of the tables: it runs for every one of
// millions of fragments, and each byte stored would make the members be read
// again.
void WldFile::RecordFragments(ByteCursor& fragments) {
  std::int32_t lastOfType[kWldTypeCount];
  std::fill(std::begin(lastOfType), std::end(lastOfType), -1);
  WldFragment* const slots = fragments_;
  std::uint8_t* const types = types_;
  std::uint32_t* const nextOfType = nextOfType_;
  const std::uint32_t capacity = fragmentCount_;
  std::uint32_t recorded = recordedCount_;
  FragmentFrame frame{};
  while (recorded < capacity && fragments.Remaining() > 0) {
    const FrameKind kind = DecodeFrame(fragments, &frame);
    if (kind == FrameKind::kEnd) break;
    if (kind == FrameKind::kSkipWord || frame.type >= kWldTypeCount) continue;
    const std::uint32_t index = recorded;
    const std::uint32_t type = frame.type;
    WldFragment& slot = slots[index];
    slot.name = nullptr;
    slot.nameLength = 0;
    if (frame.nameReference < 0) NameSlot(slot, frame.nameReference);
    slot.type = static_cast<std::uint8_t>(type);
    slot.body = static_cast<std::uint32_t>(frame.body);
    slot.bodySize = frame.bodySize;
    slot.index = index;
    if (type == kBitmapNames) UnscrambleBitmapNames(slot);

    types[index] = static_cast<std::uint8_t>(type);
    nextOfType[index] = 0;  // the last of its type until another follows
    if (lastOfType[type] == -1) {
      firstOfType_[type] = static_cast<std::int32_t>(index);
    } else {
      nextOfType[lastOfType[type]] = index;
    }
    lastOfType[type] = static_cast<std::int32_t>(index);
    ++recorded;
  }
  recordedCount_ = recorded;
}

// A negative reference -r names the string at table offset r; a name runs to
// its terminator or the table's end.
void WldFile::NameSlot(WldFragment& slot, std::int32_t nameReference) const {
  slot.name = nullptr;
  slot.nameLength = 0;
  if (nameReference >= 0) return;
  const std::uint32_t offset = 0u - static_cast<std::uint32_t>(nameReference);
  if (offset >= stringTableSize_) return;
  const std::span<const std::uint8_t> rest = stringTable_.subspan(offset);
  const auto end = std::find(rest.begin(), rest.end(), std::uint8_t{0});
  slot.name = reinterpret_cast<const char*>(rest.data());
  slot.nameLength = static_cast<std::uint32_t>(end - rest.begin());
}

// Each name restarts the key. Names stay inside their own fragment's body: a
// name that would run past it ends the unscrambling.
void WldFile::UnscrambleBitmapNames(const WldFragment& fragment) {
  ByteCursor names = Body(fragment);
  const std::uint16_t count = static_cast<std::uint16_t>(names.ReadU16() + 1);
  names.SkipTo(kBitmapFirstNameField);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint16_t length = names.ReadU16();
    const std::size_t start = fragment.body + names.Position();
    names.Skip(length);
    if (!names.Ok()) break;
    Unscramble(data_.subspan(start, length));
  }
}

WldFragment* WldFile::NextOfType(std::uint32_t type, const WldFragment* previous) {
  if (type >= kWldTypeCount || !fragments_) return nullptr;
  if (previous == nullptr) {
    const std::int32_t first = firstOfType_[type];
    if (first < 0 || static_cast<std::uint32_t>(first) >= recordedCount_) return nullptr;
    return &fragments_[first];
  }
  const std::uint32_t from = previous->index;
  if (from >= recordedCount_) return nullptr;
  if (previous->type == type) {
    const std::uint32_t next = nextOfType_[from];
    if (next == 0 || next >= recordedCount_ || types_[next] != type) return nullptr;
    return &fragments_[next];
  }
  // Only recorded slots are scanned: the empty ones beyond would pass for type 0.
  for (std::uint32_t i = from + 1; i < recordedCount_; ++i) {
    if (types_[i] == type) return &fragments_[i];
  }
  return nullptr;
}

WldFragment* WldFile::FragmentByNumber(std::int32_t reference) {
  const std::uint32_t number = static_cast<std::uint32_t>(reference);
  if (number == 0 || number > fragmentCount_ || !fragments_) return nullptr;
  return &fragments_[number - 1];
}

WldFragment* WldFile::Resolve(std::int32_t reference) {
  if (reference < 0) {
    // A reference by name -k names the string at offset k - 1.
    const std::uint32_t offset = ~static_cast<std::uint32_t>(reference);
    if (offset >= stringTableSize_) return nullptr;
    const char* wanted = reinterpret_cast<const char*>(stringTable_.subspan(offset).data());
    for (std::uint32_t i = 0; i < recordedCount_; ++i) {
      if (fragments_[i].name == wanted) return &fragments_[i];
    }
    return nullptr;
  }
  return FragmentByNumber(reference);
}

// The readers below walk a body with its cursor: once a field no longer fits,
// the cursor is in error and every later field reads as 0, so the loops stop
// there instead of walking a count that the body cannot hold.

WldFragment* WldFile::ModelTarget(WldFragment* model) {
  if (model == nullptr || model->type != kModel) return nullptr;
  ByteCursor body = Body(*model);
  const std::uint32_t flags = body.ReadU32();
  body.SkipTo(kModelActionCountField);
  const std::uint32_t actions = body.ReadU32();
  body.SkipTo(kModelOptionalFields);
  if (flags & kModelOptionalA) body.Skip(kModelOptionalASize);
  if (flags & kModelOptionalB) body.Skip(kModelOptionalBSize);
  for (std::uint32_t a = 0; a < actions && body.Ok(); ++a) {
    const std::uint32_t entries = body.ReadU32();
    body.Skip(kModelActionEntrySize * entries);
  }
  return Resolve(body.ReadI32());
}

std::uint8_t WldFile::SkeletonMeshes(WldFragment* skeleton, WldFragment** list, std::uint8_t* count) {
  if (list == nullptr || skeleton == nullptr || skeleton->type != kSkeleton) return 0;
  ByteCursor body = Body(*skeleton);
  const std::uint32_t flags = body.ReadU32();
  if (!(flags & kSkeletonHasMeshes)) {
    if (count != nullptr) *count = 0;
    return 0;
  }
  const std::uint32_t tracks = body.ReadU32();
  body.SkipTo(kSkeletonOptionalFields);
  if (flags & kSkeletonOptionalA) body.Skip(kSkeletonOptionalASize);
  if (flags & kSkeletonOptionalB) body.Skip(kSkeletonOptionalBSize);
  for (std::uint32_t t = 0; t < tracks && body.Ok(); ++t) {
    body.Skip(kSkeletonTrackHeadSize);
    const std::uint32_t entries = body.ReadU32();
    body.Skip(kWordSize * entries);
  }
  const std::uint32_t listed = std::min<std::uint32_t>(body.ReadU32(), kMostSkeletonMeshes);
  std::uint8_t appended = 0;
  for (std::uint32_t i = 0; i < listed; ++i) {
    WldFragment* fragment = FragmentByNumber(body.ReadI32());
    if (IsMesh(fragment)) {
      list[appended++] = fragment;
    } else if (fragment != nullptr && fragment->type == kMeshReference) {
      WldFragment* mesh = FragmentByNumber(Body(*fragment).ReadI32());
      if (IsMesh(mesh)) list[appended++] = mesh;
    }
  }
  if (count != nullptr) *count = appended;
  return appended;
}

std::uint8_t WldFile::TextureFrameCount(WldFragment* texture) {
  if (texture == nullptr || texture->type != kTexture) return 0;
  ByteCursor body = Body(*texture);
  body.SkipTo(kTextureFrameCountField);
  return static_cast<std::uint8_t>(body.ReadU32());
}

WldFragment* WldFile::TextureFrameBitmaps(WldFragment* texture, std::uint32_t frame) {
  if (texture == nullptr || texture->type != kTexture) return nullptr;
  ByteCursor body = Body(*texture);
  const std::uint32_t flags = body.ReadU32();
  const std::uint32_t frames = body.ReadU32();
  if (frame >= frames) return nullptr;
  if (flags & kTextureOptionalA) body.Skip(kWordSize);
  if (flags & kTextureOptionalB) body.Skip(kWordSize);
  body.Skip(kWordSize * frame);
  return Resolve(body.ReadI32());
}

std::uint8_t WldFile::MaterialBitmapCount(WldFragment* material) {
  if (material == nullptr || material->type != kMaterial) return 0;
  ByteCursor body = Body(*material);
  body.SkipTo(kMaterialTextureLinkField);
  WldFragment* textureLink = Resolve(body.ReadI32());
  if (textureLink == nullptr) return 0;
  WldFragment* texture = Resolve(Body(*textureLink).ReadI32());
  if (texture == nullptr) return 0;
  std::uint8_t total = 0;
  const std::uint8_t frames = TextureFrameCount(texture);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const WldFragment* bitmaps = TextureFrameBitmaps(texture, i);
    if (bitmaps != nullptr && bitmaps->type == kBitmapNames) {
      total = static_cast<std::uint8_t>(total + (Body(*bitmaps).ReadU32() & 0xFF) + 1);
    }
  }
  return total;
}

}  // namespace zira
