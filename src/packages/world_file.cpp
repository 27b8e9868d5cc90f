#include "packages/world_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/byte_cursor.h"
#include "common/text.h"

namespace zira {

namespace {

constexpr std::uint32_t kWldMagic = 0x54503D02;
constexpr std::uint32_t kHeaderSize = 28;
constexpr std::uint32_t kSmallestFragment = 12;  // size word, type and name reference
constexpr std::uint32_t kSkipWord = 0xFFFFFFFF;
constexpr std::uint8_t kScrambleKey[8] = {0x3C, 0x71, 0xE8, 0x05, 0xB2, 0x4D, 0x19, 0xA6};
constexpr char kDefaultName[] = "NoName.wld";

constexpr std::uint32_t kBitmapNames = 0x03;
constexpr std::uint32_t kTexture = 0x04;
constexpr std::uint32_t kSkeleton = 0x10;
constexpr std::uint32_t kModel = 0x14;
constexpr std::uint32_t kMesh = 0x2C;
constexpr std::uint32_t kMeshReference = 0x2D;
constexpr std::uint32_t kMaterial = 0x30;
constexpr std::uint32_t kAlternateMesh = 0x36;
constexpr std::uint8_t kMostSkeletonMeshes = 10;

bool IsMesh(const WldFragment* fragment) {
  return fragment != nullptr && (fragment->type == kMesh || fragment->type == kAlternateMesh);
}

}  // namespace

WldFile::WldFile() { Reset(); }

void WldFile::Reset() {
  fragments_.reset();
  types_.reset();
  nextOfType_.reset();
  nameLength_ = 0;
  std::memset(name_, 0, sizeof(name_));
  version_ = 0;
  stringTableSize_ = 0;
  stringTable_ = {};
  dataSize_ = 0;
  parsePosition_ = 0;
  data_ = {};
  fragmentCount_ = 0;
  recordedCount_ = 0;
  std::fill(std::begin(firstOfType_), std::end(firstOfType_), -1);
}

Result WldFile::Load(std::span<std::uint8_t> data, const char* name) {
  if (data.data() == nullptr || data.empty()) return E_INVALIDARG;
  if (data.size() < kHeaderSize || data.size() > 0xFFFFFFFFu || LoadU32(data, 0) != kWldMagic) return E_FAIL;
  Reset();
  dataSize_ = static_cast<std::uint32_t>(data.size());
  version_ = LoadU32(data, 4);

  const char* givenName = name != nullptr ? name : kDefaultName;
  const std::size_t givenLength = strnlen(givenName, sizeof(name_));
  if (givenLength >= sizeof(name_)) return E_INVALIDARG;
  std::memcpy(name_, givenName, givenLength);
  nameLength_ = static_cast<std::uint32_t>(givenLength);

  data_ = data;
  // A string table claimed larger than the data is cut to the data: the load
  // goes on, and no fragment can follow it.
  stringTableSize_ = std::min(LoadU32(data, 20), dataSize_ - kHeaderSize);
  stringTable_ = data.subspan(kHeaderSize, stringTableSize_);
  for (std::size_t j = 0; j < stringTable_.size(); ++j) stringTable_[j] ^= kScrambleKey[j % 8];

  // Slots are bounded by what the data can hold, so a huge count in the
  // header cannot make us allocate for fragments that are not there.
  const std::uint32_t fragmentsStart = kHeaderSize + stringTableSize_;
  const std::uint32_t backed = (dataSize_ - fragmentsStart) / kSmallestFragment;
  fragmentCount_ = std::min(LoadU32(data, 8), backed);
  parsePosition_ = fragmentsStart;
  if (fragmentCount_ > 0) {
    fragments_.reset(new (std::nothrow) WldFragment[fragmentCount_]());
    types_.reset(new (std::nothrow) std::uint8_t[fragmentCount_]());
    nextOfType_.reset(new (std::nothrow) std::uint32_t[fragmentCount_]());
    if (!fragments_ || !types_ || !nextOfType_) return E_OUTOFMEMORY;
  }

  std::int32_t lastOfType[kWldTypeCount];
  std::fill(std::begin(lastOfType), std::end(lastOfType), -1);
  std::uint64_t position = parsePosition_;
  // The parse ends at the first fragment that does not fit, and once every
  // slot is filled; fragments before that stay recorded.
  while (position < dataSize_ && recordedCount_ < fragmentCount_) {
    if (dataSize_ - position < 4) break;
    const std::uint32_t sizeWord = LoadU32(data_, position);
    if (sizeWord == kSkipWord) {
      position += 4;
      continue;
    }
    const std::uint64_t framed = 8ull + sizeWord;
    if (sizeWord < 4 || framed > dataSize_ - position) break;
    const std::uint32_t type = LoadU32(data_, position + 4);
    const std::int32_t nameReference = static_cast<std::int32_t>(LoadU32(data_, position + 8));
    const std::uint32_t body = static_cast<std::uint32_t>(position + 12);
    position += framed;
    if (type >= kWldTypeCount) continue;
    Record(type, nameReference, body, sizeWord - 4, lastOfType);
  }
  parsePosition_ = static_cast<std::uint32_t>(position);
  return S_OK;
}

void WldFile::Record(std::uint32_t type, std::int32_t nameReference, std::uint32_t body, std::uint32_t bodySize,
                     std::int32_t* lastOfType) {
  const std::uint32_t index = recordedCount_;
  WldFragment& slot = fragments_[index];
  slot.name = nullptr;
  slot.nameLength = 0;
  if (nameReference < 0) {
    const std::uint32_t offset = 0u - static_cast<std::uint32_t>(nameReference);
    if (offset < stringTableSize_) {
      const std::span<const std::uint8_t> rest = stringTable_.subspan(offset);
      const auto end = std::find(rest.begin(), rest.end(), std::uint8_t{0});
      slot.name = reinterpret_cast<const char*>(rest.data());
      slot.nameLength = static_cast<std::uint32_t>(end - rest.begin());
    }
  }
  slot.type = static_cast<std::uint8_t>(type);
  slot.body = body;
  slot.bodySize = bodySize;
  slot.index = index;
  slot.cursor = 0;
  slot.owner = this;
  if (type == kBitmapNames) UnscrambleBitmapNames(slot);

  types_[index] = static_cast<std::uint8_t>(type);
  if (firstOfType_[type] == -1) {
    firstOfType_[type] = static_cast<std::int32_t>(index);
  } else {
    nextOfType_[lastOfType[type]] = index;
  }
  lastOfType[type] = static_cast<std::int32_t>(index);
  ++recordedCount_;
}

// Each name restarts the key. Names stay inside their own fragment's body: a
// name that would run past it ends the unscrambling.
void WldFile::UnscrambleBitmapNames(const WldFragment& fragment) {
  const std::span<std::uint8_t> body = data_.subspan(fragment.body, fragment.bodySize);
  const std::uint16_t count = static_cast<std::uint16_t>(LoadU16(body, 0) + 1);
  std::size_t cursor = 4;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (cursor > body.size() || body.size() - cursor < 2) break;
    const std::uint16_t length = LoadU16(body, cursor);
    cursor += 2;
    if (length > body.size() - cursor) break;
    for (std::size_t j = 0; j < length; ++j) body[cursor + j] ^= kScrambleKey[j % 8];
    cursor += length;
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

bool WldFile::CursorFits(const WldFragment& fragment) {
  return fragment.cursor <= fragment.bodySize && fragment.bodySize - fragment.cursor >= 4;
}

void WldFile::AdvanceWide(WldFragment& fragment, std::uint64_t count) {
  fragment.cursor = static_cast<std::uint32_t>(std::min<std::uint64_t>(fragment.cursor + count, 0xFFFFFFFFu));
}

std::uint32_t WldFile::BodyU32At(const WldFragment& fragment, std::uint32_t offset) const {
  if (offset > fragment.bodySize || fragment.bodySize - offset < 4) return 0;
  return LoadU32(data_, static_cast<std::size_t>(fragment.body) + offset);
}

std::uint32_t WldFile::BodyRead(WldFragment& fragment) const {
  if (!CursorFits(fragment)) return 0;
  const std::uint32_t value = BodyU32At(fragment, fragment.cursor);
  fragment.cursor += 4;
  return value;
}

void WldFile::BodySkip(WldFragment& fragment) const {
  if (CursorFits(fragment)) fragment.cursor += 4;
}

void WldFile::BodyAdvance(WldFragment& fragment, std::uint32_t count) const { AdvanceWide(fragment, count); }

// In the loops below, once a read no longer fits every later read yields 0,
// so leaving the loop early gives the same result without walking a count
// that the body cannot hold.

WldFragment* WldFile::ModelTarget(WldFragment* model) {
  if (model == nullptr || model->type != kModel) return nullptr;
  model->cursor = 0;
  const std::uint32_t flags = BodyRead(*model);
  BodyAdvance(*model, 4);
  const std::uint32_t actions = BodyRead(*model);
  BodySkip(*model);
  BodyAdvance(*model, 4);
  if (flags & 0x1) BodyAdvance(*model, 4);
  if (flags & 0x2) BodyAdvance(*model, 28);
  for (std::uint32_t a = 0; a < actions && CursorFits(*model); ++a) {
    const std::uint32_t entries = BodyRead(*model);
    AdvanceWide(*model, 8ull * entries);
  }
  return Resolve(static_cast<std::int32_t>(BodyRead(*model)));
}

std::uint8_t WldFile::SkeletonMeshes(WldFragment* skeleton, WldFragment** list, std::uint8_t* count) {
  if (list == nullptr || skeleton == nullptr || skeleton->type != kSkeleton) return 0;
  skeleton->cursor = 0;
  const std::uint32_t flags = BodyRead(*skeleton);
  if (!(flags & 0x200)) {
    if (count != nullptr) *count = 0;
    return 0;
  }
  const std::uint32_t tracks = BodyRead(*skeleton);
  BodyAdvance(*skeleton, 4);
  if (flags & 0x1) BodyAdvance(*skeleton, 12);
  if (flags & 0x2) BodyAdvance(*skeleton, 4);
  for (std::uint32_t t = 0; t < tracks; ++t) {
    BodyAdvance(*skeleton, 16);
    if (!CursorFits(*skeleton)) break;
    const std::uint32_t entries = BodyRead(*skeleton);
    AdvanceWide(*skeleton, 4ull * entries);
  }
  const std::uint32_t listed = std::min<std::uint32_t>(BodyRead(*skeleton), kMostSkeletonMeshes);
  std::uint8_t appended = 0;
  for (std::uint32_t i = 0; i < listed; ++i) {
    WldFragment* fragment = FragmentByNumber(static_cast<std::int32_t>(BodyRead(*skeleton)));
    if (IsMesh(fragment)) {
      list[appended++] = fragment;
    } else if (fragment != nullptr && fragment->type == kMeshReference) {
      WldFragment* mesh = FragmentByNumber(static_cast<std::int32_t>(BodyU32At(*fragment, 0)));
      if (IsMesh(mesh)) list[appended++] = mesh;
    }
  }
  if (count != nullptr) *count = appended;
  return appended;
}

std::uint8_t WldFile::TextureFrameCount(WldFragment* texture) {
  if (texture == nullptr || texture->type != kTexture) return 0;
  texture->cursor = texture->bodySize >= 4 ? 4 : 0;
  return static_cast<std::uint8_t>(BodyRead(*texture));
}

WldFragment* WldFile::TextureFrameBitmaps(WldFragment* texture, std::uint32_t frame) {
  if (texture == nullptr || texture->type != kTexture) return nullptr;
  texture->cursor = 0;
  const std::uint32_t flags = BodyRead(*texture);
  const std::uint32_t frames = BodyRead(*texture);
  if (frame >= frames) return nullptr;
  if (flags & 0x4) BodySkip(*texture);
  if (flags & 0x8) BodySkip(*texture);
  for (std::uint32_t i = 0; i < frame && CursorFits(*texture); ++i) BodySkip(*texture);
  return Resolve(static_cast<std::int32_t>(BodyRead(*texture)));
}

std::uint8_t WldFile::MaterialBitmapCount(WldFragment* material) {
  if (material == nullptr || material->type != kMaterial) return 0;
  material->cursor = 20;
  const std::uint32_t link = BodyRead(*material);
  WldFragment* textureLink = Resolve(static_cast<std::int32_t>(link));
  if (textureLink == nullptr) return 0;
  WldFragment* texture = Resolve(static_cast<std::int32_t>(BodyU32At(*textureLink, 0)));
  if (texture == nullptr) return 0;
  std::uint8_t total = 0;
  const std::uint8_t frames = TextureFrameCount(texture);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const WldFragment* bitmaps = TextureFrameBitmaps(texture, i);
    if (bitmaps != nullptr && bitmaps->type == kBitmapNames) {
      total = static_cast<std::uint8_t>(total + (BodyU32At(*bitmaps, 0) & 0xFF) + 1);
    }
  }
  return total;
}

}  // namespace zira
