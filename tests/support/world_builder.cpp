#include "support/world_builder.h"

#include <algorithm>

namespace zira::testing {

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
  AppendU32(fragments_, static_cast<std::uint32_t>(body.size() + 4));
  AppendU32(fragments_, type);
  AppendU32(fragments_, static_cast<std::uint32_t>(nameReference));
  const std::size_t bodyOffset = fragments_.size();
  fragments_.insert(fragments_.end(), body.begin(), body.end());
  if (type > 55) return 0;
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
  AppendU16(body, 0);
  for (const std::string& bitmap : names) {
    AppendU16(body, static_cast<std::uint16_t>(bitmap.size() + 1));
    for (std::size_t j = 0; j <= bitmap.size(); ++j) {
      const std::uint8_t plain = j < bitmap.size() ? static_cast<std::uint8_t>(bitmap[j]) : 0;
      body.push_back(plain ^ kKey[j % 8]);
    }
  }
  return AddFragment(0x03, name, body);
}

std::int32_t WorldBuilder::AddTexture(const std::vector<std::int32_t>& frames, std::uint32_t flags,
                                      std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, flags);
  AppendU32(body, static_cast<std::uint32_t>(frames.size()));
  if (flags & 0x4) AppendU32(body, 0);
  if (flags & 0x8) AppendU32(body, 0);
  for (std::int32_t frame : frames) AppendU32(body, static_cast<std::uint32_t>(frame));
  return AddFragment(0x04, name, body);
}

std::int32_t WorldBuilder::AddTextureLink(std::int32_t texture, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, static_cast<std::uint32_t>(texture));
  AppendU32(body, 0);
  return AddFragment(0x05, name, body);
}

std::int32_t WorldBuilder::AddMaterial(std::string_view name, std::int32_t textureLink) {
  std::vector<std::uint8_t> body;
  AppendU32(body, 0x2);         // flags
  AppendU32(body, 0x80000001);  // render method
  AppendU32(body, 0x004E4E4E);  // colour
  AppendU32(body, 0);           // brightness
  AppendU32(body, 0);           // scaled ambient
  AppendU32(body, static_cast<std::uint32_t>(textureLink));
  AppendU32(body, 0);
  return AddFragment(0x30, name, body);
}

std::int32_t WorldBuilder::AddMaterialList(const std::vector<std::int32_t>& materials, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, 0);
  AppendU32(body, static_cast<std::uint32_t>(materials.size()));
  for (std::int32_t material : materials) AppendU32(body, static_cast<std::uint32_t>(material));
  return AddFragment(0x31, name, body);
}

std::int32_t WorldBuilder::AddMesh(std::uint32_t type, std::string_view name, std::uint32_t bodySize,
                                   std::int32_t materialList) {
  std::vector<std::uint8_t> body(std::max<std::uint32_t>(bodySize, 8), 0);
  for (int i = 0; i < 4; ++i) body[4 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(materialList) >> (8 * i));
  return AddFragment(type, name, body);
}

std::int32_t WorldBuilder::AddMeshReference(std::int32_t mesh, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, static_cast<std::uint32_t>(mesh));
  AppendU32(body, 0);
  return AddFragment(0x2D, name, body);
}

std::int32_t WorldBuilder::AddSkeleton(const std::vector<std::int32_t>& meshes, std::string_view name,
                                       std::uint32_t flags, const std::vector<std::uint32_t>& trackEntries) {
  std::vector<std::uint8_t> body;
  AppendU32(body, flags);
  AppendU32(body, static_cast<std::uint32_t>(trackEntries.size()));
  AppendU32(body, 0);  // polygon animation reference
  if (flags & 0x1) body.insert(body.end(), 12, 0);
  if (flags & 0x2) body.insert(body.end(), 4, 0);
  for (std::uint32_t entries : trackEntries) {
    body.insert(body.end(), 16, 0);
    AppendU32(body, entries);
    body.insert(body.end(), 4 * static_cast<std::size_t>(entries), 0);
  }
  if (flags & 0x200) {
    AppendU32(body, static_cast<std::uint32_t>(meshes.size()));
    for (std::int32_t mesh : meshes) AppendU32(body, static_cast<std::uint32_t>(mesh));
  }
  return AddFragment(0x10, name, body);
}

std::int32_t WorldBuilder::AddSkeletonLink(std::int32_t skeleton, std::string_view name) {
  std::vector<std::uint8_t> body;
  AppendU32(body, static_cast<std::uint32_t>(skeleton));
  AppendU32(body, 0);
  return AddFragment(0x11, name, body);
}

std::int32_t WorldBuilder::AddModel(std::string_view name, std::int32_t target, std::uint32_t flags,
                                    const std::vector<std::uint32_t>& actions) {
  std::vector<std::uint8_t> body;
  AppendU32(body, flags);
  AppendU32(body, 0);  // callback name
  AppendU32(body, static_cast<std::uint32_t>(actions.size()));
  AppendU32(body, 1);  // fragment reference count
  AppendU32(body, 0);  // bounds reference
  if (flags & 0x1) AppendU32(body, 0);
  if (flags & 0x2) body.insert(body.end(), 28, 0);
  for (std::uint32_t entries : actions) {
    AppendU32(body, entries);
    body.insert(body.end(), 8 * static_cast<std::size_t>(entries), 0);
  }
  AppendU32(body, static_cast<std::uint32_t>(target));
  return AddFragment(0x14, name, body);
}

std::size_t WorldBuilder::BodyOffset(std::int32_t number) const {
  return FragmentsOffset() + bodyOffsets_.at(static_cast<std::size_t>(number - 1));
}

std::vector<std::uint8_t> WorldBuilder::Bytes() const {
  std::vector<std::uint8_t> out;
  AppendU32(out, magic);
  AppendU32(out, version);
  AppendU32(out, fragmentCount.value_or(static_cast<std::uint32_t>(numbered_)));
  AppendU32(out, 0);
  AppendU32(out, 0);
  AppendU32(out, stringTableSize.value_or(static_cast<std::uint32_t>(table_.size())));
  AppendU32(out, 0);
  for (std::size_t j = 0; j < table_.size(); ++j) out.push_back(table_[j] ^ kKey[j % 8]);
  out.insert(out.end(), fragments_.begin(), fragments_.end());
  return out;
}

}  // namespace zira::testing
