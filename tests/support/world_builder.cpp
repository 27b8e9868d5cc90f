#include "support/world_builder.h"

#include <algorithm>

namespace zira::testing {

using namespace world_format;

namespace {

void Scramble(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& plain) {
  for (std::size_t j = 0; j < plain.size(); ++j) out.push_back(plain[j] ^ kScrambleKey[j % sizeof(kScrambleKey)]);
}

void SetU32At(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

void AppendU32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendU16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Offset 0 of the string table cannot be named (a reference of 0 means none),
// so the table starts with an empty string.
WorldBuilder::WorldBuilder() : table_{0} {}

std::int32_t WorldBuilder::NameReference(std::string_view name) {
  for (std::size_t offset = 1; offset < table_.size();) {
    const auto start = table_.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto end = std::find(start, table_.end(), std::uint8_t{0});
    if (std::string_view(reinterpret_cast<const char*>(&*start), static_cast<std::size_t>(end - start)) == name) {
      return -static_cast<std::int32_t>(offset);
    }
    offset = static_cast<std::size_t>(end - table_.begin()) + 1;
  }
  const std::size_t offset = table_.size();
  table_.insert(table_.end(), name.begin(), name.end());
  table_.push_back(0);
  return -static_cast<std::int32_t>(offset);
}

std::int32_t WorldBuilder::AddFragmentWithNameRef(std::uint32_t type, std::int32_t nameReference,
                                                  const std::vector<std::uint8_t>& body) {
  AppendU32(fragments_, static_cast<std::uint32_t>(body.size() + kNameReferenceSize));
  AppendU32(fragments_, type);
  AppendU32(fragments_, static_cast<std::uint32_t>(nameReference));
  const std::size_t bodyOffset = fragments_.size();
  fragments_.insert(fragments_.end(), body.begin(), body.end());
  if (type >= kTypeCount) return 0;
  bodyOffsets_.push_back(bodyOffset);
  return ++numbered_;
}

std::int32_t WorldBuilder::AddFragment(std::uint32_t type, std::string_view name,
                                       const std::vector<std::uint8_t>& body) {
  return AddFragmentWithNameRef(type, name.empty() ? 0 : NameReference(name), body);
}

void WorldBuilder::AddRawWord(std::uint32_t word) { AppendU32(fragments_, word); }

void WorldBuilder::AddRawBytes(const std::vector<std::uint8_t>& bytes) {
  fragments_.insert(fragments_.end(), bytes.begin(), bytes.end());
}

std::int32_t WorldBuilder::AddBitmapNames(const std::vector<std::string>& names, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU16(body, static_cast<std::uint16_t>(names.size() - 1));
  body.resize(kBitmapFirstNameField, 0);
  for (const std::string& bitmap : names) {
    AppendU16(body, static_cast<std::uint16_t>(bitmap.size() + 1));
    std::vector<std::uint8_t> plain(bitmap.begin(), bitmap.end());
    plain.push_back(0);
    Scramble(body, plain);
  }
  return AddFragment(kBitmapNames, name, body);
}

std::int32_t WorldBuilder::AddTexture(const std::vector<std::int32_t>& frames, std::uint32_t flags,
                                      std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, flags);
  AppendU32(body, static_cast<std::uint32_t>(frames.size()));
  if (flags & kTextureOptionalA) AppendU32(body, 0);
  if (flags & kTextureOptionalB) AppendU32(body, 0);
  for (std::int32_t frame : frames) AppendU32(body, static_cast<std::uint32_t>(frame));
  return AddFragment(kTexture, name, body);
}

std::int32_t WorldBuilder::AddTextureLink(std::int32_t texture, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, static_cast<std::uint32_t>(texture));
  AppendU32(body, 0);
  return AddFragment(kTextureLink, name, body);
}

std::int32_t WorldBuilder::AddMaterial(std::string_view name, std::int32_t textureLink) {
  std::vector<std::uint8_t> body;
  AppendU32(body, 0x2);         // flags
  AppendU32(body, 0x80000001);  // render method
  AppendU32(body, 0x004E4E4E);  // colour
  AppendU32(body, 0);           // brightness
  AppendU32(body, 0);           // scaled ambient
  AppendU32(body, static_cast<std::uint32_t>(textureLink));  // at kMaterialTextureLinkField
  AppendU32(body, 0);
  return AddFragment(kMaterial, name, body);
}

std::int32_t WorldBuilder::AddMaterialList(const std::vector<std::int32_t>& materials, std::string_view name) {
  std::vector<std::uint8_t> body(kMaterialListCountField, 0);
  AppendU32(body, static_cast<std::uint32_t>(materials.size()));
  for (std::int32_t material : materials) AppendU32(body, static_cast<std::uint32_t>(material));
  return AddFragment(kMaterialList, name, body);
}

std::int32_t WorldBuilder::AddMesh(std::uint32_t type, std::string_view name, std::uint32_t bodySize,
                                   std::int32_t materialList) {
  std::vector<std::uint8_t> body(std::max<std::size_t>(bodySize, kMeshMaterialListField + 4), 0);
  SetU32At(body, kMeshMaterialListField, static_cast<std::uint32_t>(materialList));
  return AddFragment(type, name, body);
}

std::int32_t WorldBuilder::AddMeshReference(std::int32_t mesh, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, static_cast<std::uint32_t>(mesh));
  AppendU32(body, 0);
  return AddFragment(kMeshReference, name, body);
}

std::int32_t WorldBuilder::AddSkeleton(const std::vector<std::int32_t>& meshes, std::string_view name,
                                       std::uint32_t flags, const std::vector<std::uint32_t>& trackEntries) {
  std::vector<std::uint8_t> body;
  AppendU32(body, flags);
  AppendU32(body, static_cast<std::uint32_t>(trackEntries.size()));
  body.resize(kSkeletonOptionalFields, 0);
  if (flags & kSkeletonOptionalA) body.insert(body.end(), kSkeletonOptionalASize, 0);
  if (flags & kSkeletonOptionalB) body.insert(body.end(), kSkeletonOptionalBSize, 0);
  for (std::uint32_t entries : trackEntries) {
    body.insert(body.end(), kSkeletonTrackHeadSize, 0);
    AppendU32(body, entries);
    body.insert(body.end(), 4 * static_cast<std::size_t>(entries), 0);
  }
  if (flags & kSkeletonHasMeshes) {
    AppendU32(body, static_cast<std::uint32_t>(meshes.size()));
    for (std::int32_t mesh : meshes) AppendU32(body, static_cast<std::uint32_t>(mesh));
  }
  return AddFragment(kSkeleton, name, body);
}

std::int32_t WorldBuilder::AddSkeletonLink(std::int32_t skeleton, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, static_cast<std::uint32_t>(skeleton));
  AppendU32(body, 0);
  return AddFragment(kSkeletonLink, name, body);
}

std::int32_t WorldBuilder::AddModel(std::string_view name, std::int32_t target, std::uint32_t flags,
                                    const std::vector<std::uint32_t>& actions) {
  std::vector<std::uint8_t> body;
  AppendU32(body, flags);
  AppendU32(body, 0);  // callback name
  AppendU32(body, static_cast<std::uint32_t>(actions.size()));  // at kModelActionCountField
  AppendU32(body, 1);  // fragment reference count
  AppendU32(body, 0);  // bounds reference
  if (flags & kModelOptionalA) body.insert(body.end(), kModelOptionalASize, 0);
  if (flags & kModelOptionalB) body.insert(body.end(), kModelOptionalBSize, 0);
  for (std::uint32_t entries : actions) {
    AppendU32(body, entries);
    body.insert(body.end(), kModelActionEntrySize * entries, 0);
  }
  AppendU32(body, static_cast<std::uint32_t>(target));
  return AddFragment(kModel, name, body);
}

std::size_t WorldBuilder::BodyOffset(std::int32_t number) const {
  return FragmentsOffset() + bodyOffsets_.at(static_cast<std::size_t>(number - 1));
}

std::vector<std::uint8_t> WorldBuilder::Bytes() const {
  std::vector<std::uint8_t> out(kHeaderSize, 0);
  SetU32At(out, kMagicField, magic);
  SetU32At(out, kVersionField, version);
  SetU32At(out, kFragmentCountField, fragmentCount.value_or(static_cast<std::uint32_t>(numbered_)));
  SetU32At(out, kStringTableSizeField, stringTableSize.value_or(static_cast<std::uint32_t>(table_.size())));
  Scramble(out, table_);
  out.insert(out.end(), fragments_.begin(), fragments_.end());
  return out;
}

}  // namespace zira::testing
