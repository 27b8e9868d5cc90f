#include "packages/world_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/world_builder.h"

namespace zira {
namespace {

using testing::AppendU32;
using testing::WorldBuilder;

std::string NameOf(const WldFragment* fragment) {
  return fragment && fragment->name ? std::string(fragment->name, fragment->nameLength) : "<none>";
}

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t w : words) AppendU32(bytes, w);
  return bytes;
}

class WldFileTest : public ::testing::Test {
 protected:
  Result Load(const WorldBuilder& builder, const char* name = "test.wld") {
    data_ = builder.Bytes();
    return world_.Load(data_, name);
  }
  std::vector<std::uint32_t> Chain(std::uint32_t type) {
    std::vector<std::uint32_t> numbers;
    for (const WldFragment* f = world_.NextOfType(type, nullptr); f; f = world_.NextOfType(type, f)) {
      numbers.push_back(f->index + 1);
      if (numbers.size() > 1000) break;
    }
    return numbers;
  }

  std::vector<std::uint8_t> data_;
  WldFile world_;
};

TEST_F(WldFileTest, HeaderOnlyFileLoadsWithNoFragments) {
  data_ = Words({world_format::kMagic, 7, 0, 0, 0, 0, 0});
  ASSERT_EQ(data_.size(), 28u);
  ASSERT_EQ(world_.Load(data_, nullptr), ResultCode::kOk);
  EXPECT_STREQ(world_.Name(), "NoName.wld");
  EXPECT_EQ(world_.Version(), 7u);
  EXPECT_EQ(world_.RecordedCount(), 0u);
  for (std::uint32_t type = 0; type < 60; ++type) EXPECT_EQ(world_.NextOfType(type, nullptr), nullptr);
  EXPECT_EQ(world_.FragmentByNumber(1), nullptr);
}

TEST_F(WldFileTest, LoadRejectsBadInput) {
  WorldBuilder builder;
  builder.AddFragment(0x16, "X", {});
  std::vector<std::uint8_t> none;
  EXPECT_EQ(world_.Load(none, "a.wld"), ResultCode::kInvalidArgument);
  data_ = builder.Bytes();
  std::vector<std::uint8_t> shortData(data_.begin(), data_.begin() + 27);
  EXPECT_EQ(world_.Load(shortData, nullptr), ResultCode::kFailed);
  builder.magic = 0x54503D03;
  EXPECT_EQ(Load(builder), ResultCode::kFailed);
  builder.magic = world_format::kMagic;
  EXPECT_EQ(Load(builder, std::string(260, 'n').c_str()), ResultCode::kInvalidArgument);
  ASSERT_EQ(Load(builder, std::string(259, 'n').c_str()), ResultCode::kOk);
  EXPECT_EQ(std::string(world_.Name()), std::string(259, 'n'));
}

TEST_F(WldFileTest, NamesAreUnscrambledAndResolvedByNumberAndName) {
  WorldBuilder builder;
  const std::int32_t a = builder.AddFragment(0x16, "FIRST_NAME", Words({1}));
  const std::int32_t b = builder.AddFragment(0x16, "SECOND", Words({2}));
  const std::int32_t c = builder.AddFragment(0x21, "", Words({3}));
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  ASSERT_EQ(world_.FragmentCount(), 3u);
  EXPECT_EQ(NameOf(world_.FragmentByNumber(a)), "FIRST_NAME");
  EXPECT_EQ(NameOf(world_.FragmentByNumber(b)), "SECOND");
  EXPECT_EQ(world_.FragmentByNumber(c)->name, nullptr);
  EXPECT_EQ(world_.FragmentByNumber(c)->nameLength, 0u);

  EXPECT_EQ(world_.FragmentByNumber(3), world_.FragmentByNumber(c));  // C itself is the last slot
  EXPECT_EQ(world_.FragmentByNumber(4), nullptr);
  EXPECT_EQ(world_.FragmentByNumber(0), nullptr);
  EXPECT_EQ(world_.FragmentByNumber(-1), nullptr);
  EXPECT_EQ(world_.Resolve(0), nullptr);
  EXPECT_EQ(world_.Resolve(b), world_.FragmentByNumber(b));
  // By name: -k finds the fragment whose name reference is -(k - 1).
  EXPECT_EQ(world_.Resolve(builder.RefByName("SECOND")), world_.FragmentByNumber(b));
  EXPECT_EQ(world_.Resolve(builder.NameReference("SECOND")), nullptr);
  EXPECT_EQ(world_.Resolve(-1000), nullptr);
}

TEST_F(WldFileTest, SkipWordsAndHighTypesTakeNoNumber) {
  WorldBuilder builder;
  builder.AddFragment(0x16, "A", Words({1}));
  builder.AddRawWord(0xFFFFFFFF);
  builder.AddFragment(0x38, "HIGH", Words({2}));
  builder.AddFragment(0x16, "B", Words({3}));
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  EXPECT_EQ(world_.RecordedCount(), 2u);
  EXPECT_EQ(NameOf(world_.FragmentByNumber(2)), "B");
  EXPECT_EQ(world_.BodyU32At(*world_.FragmentByNumber(2), 0), 3u);
}

TEST_F(WldFileTest, TypeChainsAndForwardScan) {
  WorldBuilder builder;
  builder.AddFragment(0x30, "M1", {});
  builder.AddFragment(0x36, "S1", {});
  builder.AddFragment(0x30, "M2", {});
  builder.AddFragment(0x36, "S2", {});
  builder.AddFragment(0x30, "M3", {});
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  EXPECT_EQ(Chain(0x30), (std::vector<std::uint32_t>{1, 3, 5}));
  EXPECT_EQ(Chain(0x36), (std::vector<std::uint32_t>{2, 4}));
  EXPECT_TRUE(Chain(0x14).empty());
  // From a fragment of another type the walk starts right after it.
  EXPECT_EQ(world_.NextOfType(0x30, world_.FragmentByNumber(4)), world_.FragmentByNumber(5));
  EXPECT_EQ(world_.NextOfType(0x36, world_.FragmentByNumber(4)), nullptr);
  EXPECT_EQ(world_.NextOfType(0x40, nullptr), nullptr);
}

TEST_F(WldFileTest, EmptyBodyFragmentIsRecordedLikeAnyOther) {
  WorldBuilder builder;
  builder.AddFragment(0x30, "M1", Words({1}));
  const std::int32_t empty = builder.AddFragment(0x30, "EMPTY", {});
  builder.AddFragment(0x30, "M3", Words({3}));
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  const WldFragment* f = world_.FragmentByNumber(empty);
  EXPECT_EQ(f->type, 0x30);
  EXPECT_EQ(f->index, 1u);
  EXPECT_EQ(f->bodySize, 0u);
  EXPECT_EQ(NameOf(f), "EMPTY");
  EXPECT_EQ(Chain(0x30), (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(world_.BodyU32At(*f, 0), 0u);
}

TEST_F(WldFileTest, BrokenFrameEndsTheParseKeepingEarlierFragments) {
  WorldBuilder tooSmall;
  tooSmall.AddFragment(0x16, "A", Words({1}));
  tooSmall.AddRawBytes(Words({2, 0x16, 0}));  // size word below 4
  tooSmall.AddFragment(0x16, "C", Words({3}));
  tooSmall.fragmentCount = 3;
  ASSERT_EQ(Load(tooSmall), ResultCode::kOk);
  EXPECT_EQ(world_.RecordedCount(), 1u);
  EXPECT_EQ(NameOf(world_.FragmentByNumber(1)), "A");
  EXPECT_EQ(Chain(0x16), (std::vector<std::uint32_t>{1}));

  WorldBuilder pastEnd;
  pastEnd.AddFragment(0x16, "A", Words({1}));
  pastEnd.AddRawBytes(Words({100, 0x16, 0, 5}));  // body claims more than is left
  pastEnd.fragmentCount = 2;
  ASSERT_EQ(Load(pastEnd), ResultCode::kOk);
  EXPECT_EQ(world_.RecordedCount(), 1u);
  EXPECT_EQ(world_.FragmentByNumber(2)->type, 0);  // an unfilled slot
  EXPECT_EQ(world_.FragmentByNumber(2)->bodySize, 0u);
}

TEST_F(WldFileTest, RecordingStopsAtTheHeaderCount) {
  WorldBuilder builder;
  builder.AddFragment(0x16, "A", Words({1}));
  builder.AddFragment(0x16, "B", Words({2}));
  builder.AddFragment(0x16, "C", Words({3}));
  builder.fragmentCount = 2;
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  EXPECT_EQ(world_.RecordedCount(), 2u);
  EXPECT_EQ(world_.FragmentByNumber(3), nullptr);
  EXPECT_EQ(Chain(0x16), (std::vector<std::uint32_t>{1, 2}));
}

// A count far beyond what the data can hold does not size the tables.
TEST_F(WldFileTest, HugeFragmentCountIsBoundedByTheData) {
  WorldBuilder builder;
  builder.AddFragment(0x16, "A", Words({1}));
  builder.AddFragment(0x16, "B", Words({2}));
  builder.fragmentCount = 0x7FFFFFFF;
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  EXPECT_EQ(world_.RecordedCount(), 2u);
  EXPECT_LE(world_.FragmentCount(), data_.size() / 12);
  EXPECT_EQ(NameOf(world_.FragmentByNumber(2)), "B");
}

TEST_F(WldFileTest, StringTableLargerThanTheDataIsCutToIt) {
  WorldBuilder builder;
  const std::int32_t reference = builder.NameReference("ABCDEFGHIJ");
  builder.AddFragmentWithNameRef(0x16, reference, Words({1}));
  builder.stringTableSize = 100000;
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  EXPECT_EQ(world_.RecordedCount(), 0u);  // everything after the header is table
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&data_[29]), 10), "ABCDEFGHIJ");
}

TEST_F(WldFileTest, NameReferencesOutsideTheTableGiveNoName) {
  WorldBuilder builder;
  builder.NameReference("ONLY");  // table: 0, ONLY, 0 = 6 bytes
  builder.AddFragmentWithNameRef(0x16, -6, Words({1}));
  builder.AddFragmentWithNameRef(0x16, -5000, Words({2}));
  builder.AddFragmentWithNameRef(0x16, INT32_MIN, Words({3}));
  builder.AddFragmentWithNameRef(0x16, -5, Words({4}));  // the table's last byte: empty name
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  for (std::int32_t n = 1; n <= 3; ++n) EXPECT_EQ(world_.FragmentByNumber(n)->name, nullptr) << n;
  EXPECT_NE(world_.FragmentByNumber(4)->name, nullptr);
  EXPECT_EQ(world_.FragmentByNumber(4)->nameLength, 0u);
  EXPECT_EQ(world_.Resolve(INT32_MIN), nullptr);
}

TEST_F(WldFileTest, BitmapNamesAreUnscrambledOnlyInsideTheirBody) {
  WorldBuilder builder;
  const std::int32_t single = builder.AddBitmapNames({"only.bmp"});  // count field 0: one name
  std::vector<std::uint8_t> body = {1, 0, 0, 0};  // two names
  testing::AppendU16(body, 3);
  for (int j = 0; j < 3; ++j) body.push_back(static_cast<std::uint8_t>("abc"[j] ^ world_format::kScrambleKey[j]));
  testing::AppendU16(body, 20);  // runs past the body, not past the data
  body.push_back(0x55);
  const std::int32_t overrun = builder.AddFragment(0x03, "", body);
  const std::int32_t next = builder.AddFragment(0x16, "", Words({0x11223344, 0x55667788}));
  ASSERT_EQ(Load(builder), ResultCode::kOk);

  const std::size_t onlyAt = builder.BodyOffset(single) + 6;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&data_[onlyAt]), 8), "only.bmp");
  const std::size_t abcAt = builder.BodyOffset(overrun) + 6;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&data_[abcAt]), 3), "abc");
  EXPECT_EQ(data_[abcAt + 5], 0x55);  // the cut name stays as it was
  EXPECT_EQ(world_.BodyU32At(*world_.FragmentByNumber(next), 0), 0x11223344u);
  EXPECT_EQ(world_.BodyU32At(*world_.FragmentByNumber(next), 4), 0x55667788u);
}

// A body's cursor ends where the body ends, even with the next fragment's
// bytes right behind it, and a skip far past it never wraps around.
TEST_F(WldFileTest, BodyCursorEndsWithTheBody) {
  WorldBuilder builder;
  const std::int32_t n = builder.AddFragment(0x16, "", Words({10, 20, 30, 40, 50, 60}));
  builder.AddFragment(0x16, "", Words({70, 80}));
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  const WldFragment& f = *world_.FragmentByNumber(n);
  ByteCursor body = world_.Body(f);
  for (std::uint32_t word = 10; word <= 60; word += 10) EXPECT_EQ(body.ReadU32(), word);
  EXPECT_EQ(body.ReadU32(), 0u);
  EXPECT_FALSE(body.Ok());

  ByteCursor far = world_.Body(f);
  far.Skip(0xFFFFFFF0u);
  far.Skip(0x20);
  EXPECT_EQ(far.ReadU32(), 0u);

  EXPECT_EQ(world_.BodyU32At(f, 20), 60u);
  EXPECT_EQ(world_.BodyU32At(f, 21), 0u);
  EXPECT_EQ(world_.BodyU32At(f, 0xFFFFFFFE), 0u);
}

TEST_F(WldFileTest, ModelTargetSkipsOptionalFieldsAndActions) {
  WorldBuilder builder;
  const std::int32_t mesh = builder.AddMesh(0x36, "ABC_DMSPRITEDEF", 16, 0);
  const std::int32_t plain = builder.AddModel("ABC_ACTORDEF", mesh);
  const std::int32_t full = builder.AddModel("DEF_ACTORDEF", builder.RefByName("ABC_DMSPRITEDEF"), 0x3, {2, 0, 1});
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  EXPECT_EQ(world_.ModelTarget(world_.FragmentByNumber(plain)), world_.FragmentByNumber(mesh));
  EXPECT_EQ(world_.ModelTarget(world_.FragmentByNumber(full)), world_.FragmentByNumber(mesh));
  EXPECT_EQ(world_.ModelTarget(world_.FragmentByNumber(mesh)), nullptr);
  EXPECT_EQ(world_.ModelTarget(nullptr), nullptr);
}

// An action size of 8 x 0x20000000 is 2^32: a wrapping cursor would land back
// on the action and read the target from inside it.
TEST_F(WldFileTest, ModelTargetWithHugeCountsFindsNothingAndEnds) {
  WorldBuilder builder;
  const std::int32_t mesh = builder.AddMesh(0x36, "M", 16, 0);
  const std::int32_t wrapping = builder.AddFragment(0x14, "W", Words({0, 0, 1, 0, 0, 0x20000000, 1}));
  const std::int32_t endless = builder.AddFragment(0x14, "E", Words({0, 0, 0xFFFFFFFF, 0, 0, 0, 0, 1}));
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  ASSERT_EQ(mesh, 1);
  EXPECT_EQ(world_.ModelTarget(world_.FragmentByNumber(wrapping)), nullptr);
  EXPECT_EQ(world_.ModelTarget(world_.FragmentByNumber(endless)), nullptr);
}

TEST_F(WldFileTest, SkeletonMeshesFollowReferencesAndStopAtTen) {
  WorldBuilder builder;
  const std::int32_t m1 = builder.AddMesh(0x36, "A_DMSPRITEDEF", 16, 0);
  const std::int32_t m2 = builder.AddMesh(0x2C, "B_DMSPRITEDEF", 16, 0);
  const std::int32_t ref = builder.AddMeshReference(m2);
  const std::int32_t other = builder.AddFragment(0x16, "", Words({static_cast<std::uint32_t>(m1)}));
  const std::int32_t skeleton = builder.AddSkeleton({m1, ref, other, 99, m2}, "S", 0x203, {2, 0, 1});
  std::vector<std::int32_t> twelve(12, m1);
  const std::int32_t many = builder.AddSkeleton(twelve);
  const std::int32_t flat = builder.AddSkeleton({m1}, "F", 0x0);
  ASSERT_EQ(Load(builder), ResultCode::kOk);

  WldFragment* list[10] = {};
  std::uint8_t count = 99;
  EXPECT_EQ(world_.SkeletonMeshes(world_.FragmentByNumber(skeleton), list, &count), 3);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(list[0], world_.FragmentByNumber(m1));
  EXPECT_EQ(list[1], world_.FragmentByNumber(m2));
  EXPECT_EQ(list[2], world_.FragmentByNumber(m2));
  EXPECT_EQ(world_.SkeletonMeshes(world_.FragmentByNumber(many), list, &count), 10);
  EXPECT_EQ(world_.SkeletonMeshes(world_.FragmentByNumber(flat), list, &count), 0);
  EXPECT_EQ(count, 0);
  count = 7;
  EXPECT_EQ(world_.SkeletonMeshes(world_.FragmentByNumber(skeleton), nullptr, &count), 0);
  EXPECT_EQ(world_.SkeletonMeshes(world_.FragmentByNumber(m1), list, &count), 0);
  EXPECT_EQ(count, 7);
}

TEST_F(WldFileTest, TexturesAndMaterialBitmapCounts) {
  WorldBuilder builder;
  const std::int32_t two = builder.AddBitmapNames({"a.bmp", "b.bmp"});
  const std::int32_t three = builder.AddBitmapNames({"c.bmp", "d.bmp", "e.bmp"});
  const std::int32_t texture = builder.AddTexture({two, three}, 0xC);
  const std::int32_t link = builder.AddTextureLink(texture);
  const std::int32_t material = builder.AddMaterial("ABCXY0001_MDF", link);
  const std::int32_t single = builder.AddTexture({builder.AddBitmapNames({"f.bmp"})});
  const std::int32_t singleMaterial = builder.AddMaterial("ABCHE0011_MDF", builder.AddTextureLink(single));
  const std::int32_t unlinked = builder.AddMaterial("NONE_MDF", 0);
  const std::int32_t notTexture = builder.AddMaterial("ODD_MDF", builder.AddTextureLink(material));
  ASSERT_EQ(Load(builder), ResultCode::kOk);

  WldFragment* t = world_.FragmentByNumber(texture);
  EXPECT_EQ(world_.TextureFrameCount(t), 2);
  EXPECT_EQ(world_.TextureFrameBitmaps(t, 0), world_.FragmentByNumber(two));
  EXPECT_EQ(world_.TextureFrameBitmaps(t, 1), world_.FragmentByNumber(three));
  EXPECT_EQ(world_.TextureFrameBitmaps(t, 2), nullptr);
  EXPECT_EQ(world_.TextureFrameCount(world_.FragmentByNumber(link)), 0);
  EXPECT_EQ(world_.MaterialBitmapCount(world_.FragmentByNumber(material)), 5);
  EXPECT_EQ(world_.MaterialBitmapCount(world_.FragmentByNumber(singleMaterial)), 1);
  EXPECT_EQ(world_.MaterialBitmapCount(world_.FragmentByNumber(unlinked)), 0);
  EXPECT_EQ(world_.MaterialBitmapCount(world_.FragmentByNumber(notTexture)), 0);
  EXPECT_EQ(world_.MaterialBitmapCount(t), 0);
}

TEST_F(WldFileTest, ResetEmptiesTheFile) {
  WorldBuilder builder;
  builder.AddFragment(0x16, "A", Words({1}));
  ASSERT_EQ(Load(builder), ResultCode::kOk);
  world_.Reset();
  EXPECT_EQ(world_.RecordedCount(), 0u);
  EXPECT_EQ(world_.FragmentCount(), 0u);
  EXPECT_EQ(world_.FragmentByNumber(1), nullptr);
  EXPECT_EQ(world_.NextOfType(0x16, nullptr), nullptr);
}

}  // namespace
}  // namespace zira
