#pragma once
#include <cstddef>
#include <cstdint>

// The world-file format (.wld inside .s3d packages), shared by the reader, the
// model scanner and the test builder. Little-endian; offsets in bytes.
namespace zira::world_format {

// Header (u32 fields; the others are not used); the scrambled string table follows it.
inline constexpr std::size_t kMagicField = 0;
inline constexpr std::uint32_t kMagic = 0x54503D02;
inline constexpr std::size_t kVersionField = 4;
inline constexpr std::size_t kFragmentCountField = 8;
inline constexpr std::size_t kStringTableSizeField = 20;
inline constexpr std::size_t kHeaderSize = 28;

// Names are scrambled by XOR with this key; the key restarts with each table or name.
inline constexpr std::uint8_t kScrambleKey[8] = {0x3C, 0x71, 0xE8, 0x05, 0xB2, 0x4D, 0x19, 0xA6};

// Fragment frame: a size word (the bytes behind the type), the type, the name
// reference (i32, negative names a string), then the body. A size word of
// kSkipWord stands alone and is stepped over.
inline constexpr std::size_t kSizeWordSize = 4;
inline constexpr std::size_t kTypeSize = 4;
inline constexpr std::size_t kNameReferenceSize = 4;  // counted in the size word, before the body
inline constexpr std::size_t kFrameSize = kSizeWordSize + kTypeSize + kNameReferenceSize;
inline constexpr std::uint32_t kSkipWord = 0xFFFFFFFF;
inline constexpr std::uint32_t kTypeCount = 56;  // higher types are not recorded

// Fragment types, and the body fields that are read. Optional fields are
// present when their flag is set in the body's first word.
inline constexpr std::uint32_t kBitmapNames = 0x03;
inline constexpr std::size_t kBitmapNameCountField = 0;  // u16: names - 1
inline constexpr std::size_t kBitmapFirstNameField = 4;  // per name a u16 length n and n bytes

inline constexpr std::uint32_t kTexture = 0x04;
inline constexpr std::size_t kTextureFrameCountField = 4;  // after the flags
inline constexpr std::uint32_t kTextureOptionalA = 0x4;  // one word each, then one
inline constexpr std::uint32_t kTextureOptionalB = 0x8;  // bitmap-list reference per frame

inline constexpr std::uint32_t kTextureLink = 0x05;  // first word: the texture

inline constexpr std::uint32_t kSkeleton = 0x10;
inline constexpr std::size_t kSkeletonTrackCountField = 4;  // after the flags
inline constexpr std::size_t kSkeletonOptionalFields = 12;
inline constexpr std::uint32_t kSkeletonOptionalA = 0x1;
inline constexpr std::size_t kSkeletonOptionalASize = 12;
inline constexpr std::uint32_t kSkeletonOptionalB = 0x2;
inline constexpr std::size_t kSkeletonOptionalBSize = 4;
inline constexpr std::size_t kSkeletonTrackHeadSize = 16;  // then a u32 count n and n words
inline constexpr std::uint32_t kSkeletonHasMeshes = 0x200;  // then a u32 count and the mesh references

inline constexpr std::uint32_t kSkeletonLink = 0x11;  // first word: the skeleton

inline constexpr std::uint32_t kModel = 0x14;
inline constexpr std::size_t kModelActionCountField = 8;
inline constexpr std::size_t kModelOptionalFields = 20;
inline constexpr std::uint32_t kModelOptionalA = 0x1;
inline constexpr std::size_t kModelOptionalASize = 4;
inline constexpr std::uint32_t kModelOptionalB = 0x2;
inline constexpr std::size_t kModelOptionalBSize = 28;
inline constexpr std::size_t kModelActionEntrySize = 8;  // each action: a u32 count n and n entries,
                                                        // then the model's first reference

inline constexpr std::uint32_t kMesh = 0x2C;
inline constexpr std::uint32_t kAlternateMesh = 0x36;
inline constexpr std::size_t kMeshMaterialListField = 4;  // in both mesh types
inline constexpr std::uint32_t kMeshReference = 0x2D;  // first word: the mesh

inline constexpr std::uint32_t kMaterial = 0x30;
inline constexpr std::size_t kMaterialTextureLinkField = 20;

inline constexpr std::uint32_t kMaterialList = 0x31;
inline constexpr std::size_t kMaterialListCountField = 4;  // the references follow the count

}  // namespace zira::world_format
