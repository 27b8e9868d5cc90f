#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/world_format.h"

namespace zira::testing {

// Builds world-file bytes: header, scrambled string table and fragments.
// Fragment references are i32: a positive value is a 1-based fragment number
// (as the Add functions return), RefByName gives a reference by name.
class WorldBuilder {
 public:
  WorldBuilder();

  // Places a name in the string table (once per distinct name) and returns
  // the name reference that a fragment uses for it (negative).
  std::int32_t NameReference(std::string_view name);
  // The reference by name that resolves to the fragment called name.
  std::int32_t RefByName(std::string_view name) { return ~(-NameReference(name)); }

  // A fragment of any type with an empty name meaning none. Returns its
  // fragment number, or 0 for types above 55, which get none.
  std::int32_t AddFragment(std::uint32_t type, std::string_view name, const std::vector<std::uint8_t>& body);
  std::int32_t AddFragmentWithNameRef(std::uint32_t type, std::int32_t nameReference,
                                      const std::vector<std::uint8_t>& body);
  // Raw bytes between fragments (a 0xFFFFFFFF word, a broken frame...).
  void AddRawWord(std::uint32_t word);
  void AddRawBytes(const std::vector<std::uint8_t>& bytes);

  // 0x03: the names are stored zero-terminated and scrambled per name.
  std::int32_t AddBitmapNames(const std::vector<std::string>& names, std::string_view name = "");
  // 0x04: one reference per frame, to a bitmap name list.
  std::int32_t AddTexture(const std::vector<std::int32_t>& frames, std::uint32_t flags = 0,
                          std::string_view name = "");
  // 0x05: a texture link, whose body begins with the texture reference.
  std::int32_t AddTextureLink(std::int32_t texture, std::string_view name = "");
  // 0x30: the texture link reference sits at body offset 20.
  std::int32_t AddMaterial(std::string_view name, std::int32_t textureLink);
  // 0x31: u32 at 4 holds the count, the references follow from 8.
  std::int32_t AddMaterialList(const std::vector<std::int32_t>& materials, std::string_view name = "");
  // 0x2C or 0x36: bodySize bytes (at least 8), the material list reference at offset 4.
  std::int32_t AddMesh(std::uint32_t type, std::string_view name, std::uint32_t bodySize, std::int32_t materialList);
  // 0x2D: a reference to a mesh.
  std::int32_t AddMeshReference(std::int32_t mesh, std::string_view name = "");
  // 0x10 with flag 0x200 and its mesh references; tracks hold trackEntries[i] words each.
  std::int32_t AddSkeleton(const std::vector<std::int32_t>& meshes, std::string_view name = "",
                           std::uint32_t flags = 0x200, const std::vector<std::uint32_t>& trackEntries = {});
  // 0x11: a skeleton link, whose body begins with the skeleton reference.
  std::int32_t AddSkeletonLink(std::int32_t skeleton, std::string_view name = "");
  // 0x14: actions[i] is the entry count of action i; the first reference follows them.
  std::int32_t AddModel(std::string_view name, std::int32_t target, std::uint32_t flags = 0,
                        const std::vector<std::uint32_t>& actions = {});

  // Header overrides for broken files.
  std::optional<std::uint32_t> fragmentCount;
  std::optional<std::uint32_t> stringTableSize;
  std::uint32_t magic = world_format::kMagic;
  std::uint32_t version = 0x00015500;

  std::int32_t FragmentsAdded() const { return numbered_; }
  // Offset of the string table's first byte and of the first fragment in Bytes().
  static constexpr std::size_t kStringTableOffset = world_format::kHeaderSize;
  std::size_t FragmentsOffset() const { return kStringTableOffset + table_.size(); }
  // Where the body of fragment number n starts in Bytes().
  std::size_t BodyOffset(std::int32_t number) const;

  std::vector<std::uint8_t> Bytes() const;

 private:
  std::vector<std::uint8_t> table_;  // unscrambled
  std::vector<std::uint8_t> fragments_;
  std::vector<std::size_t> bodyOffsets_;  // within fragments_
  std::int32_t numbered_ = 0;
};

void AppendU32(std::vector<std::uint8_t>& bytes, std::uint32_t value);
void AppendU16(std::vector<std::uint8_t>& bytes, std::uint16_t value);

}  // namespace zira::testing
