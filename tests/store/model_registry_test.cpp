#include "store/model_registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/race_table_builder.h"

namespace zira {
namespace {

using testing::RaceTableBuilder;

class RegistryTest : public ::testing::Test {
 protected:
  Inventory& inv() { return *store_; }
  const std::unique_ptr<Inventory> store_ = std::make_unique<Inventory>();

  // A distinct kind-0 source name beginning with letter.
  static std::string Name(char letter, int n) {
    char text[32];
    std::snprintf(text, sizeof(text), "%c%04d.s3d", letter, n);
    return text;
  }
  static std::string Code(int n) {
    char text[16];
    std::snprintf(text, sizeof(text), "M%04d", n);
    return text;
  }

  std::tuple<Result, int, int> Decode(const char* code) {
    std::uint16_t race = 99;
    Gender gender = Gender{99};
    const Result result = DecodeModelCode(inv(), code, &race, &gender);
    return {result, race, static_cast<int>(GenderNumber(gender))};
  }

  template <std::size_t N>
  static std::vector<std::uint8_t> Values(const VariationList<N>& list) {
    return {list.values, list.values + list.count};
  }
};

// --- Decoding model codes ------------------------------------------------

TEST_F(RegistryTest, DecodeHighestRaceWinsThenMaleBeforeFemaleBeforeNeutral) {
  RaceTableBuilder races(inv().client);
  races.Add(5, 1, "HUM").Add(70, 3, "hum").Add(9, 2, "ELF").Add(9, 3, "ELF").Add(9, 1, "ELM");
  races.Add(3, 1, "2DM").Add(4, 1, "HUMAN").Add(1, 1, "ABCDEFGHIJKLMN");
  EXPECT_EQ(Decode("HUM"), std::make_tuple(ResultCode::kOk, 70, 3));
  EXPECT_EQ(Decode("elf"), std::make_tuple(ResultCode::kOk, 9, 2));  // upper-cased before the search
  EXPECT_EQ(Decode("2dm"), std::make_tuple(ResultCode::kOk, 3, 1));
  EXPECT_EQ(Decode("HUMA"), std::make_tuple(ResultCode::kFailed, 0, 0));  // a prefix is not the code
  EXPECT_EQ(Decode(""), std::make_tuple(ResultCode::kFailed, 0, 0));
  EXPECT_EQ(Decode("ABCDEFGHIJKLMN"), std::make_tuple(ResultCode::kFailed, 0, 0));  // 14 characters

  // Missing outputs: whatever is given is cleared.
  std::uint16_t race = 7;
  Gender gender = Gender{7};
  EXPECT_EQ(DecodeModelCode(inv(), "HUM", nullptr, &gender), ResultCode::kInvalidArgument);
  EXPECT_EQ(gender, Gender::kNone);
  EXPECT_EQ(DecodeModelCode(inv(), "HUM", &race, nullptr), ResultCode::kInvalidArgument);
  EXPECT_EQ(race, 0);
}

// --- Model sources -------------------------------------------------------

TEST_F(RegistryTest, SourceIsStoredNormalizedAndFoundAgain) {
  ModelSource* source = FindOrAddSource(inv(), "ABCD.s3d", SourceKind::kLocalToZone, false);
  ASSERT_NE(source, nullptr);
  EXPECT_STREQ(source->name, "abcd.s3d");
  EXPECT_EQ(source->nameLength, 8);
  EXPECT_EQ(source->sourceCode, 512);
  EXPECT_EQ(SourceInBucket(inv(), 2, 0), source);
  EXPECT_EQ(FindOrAddSource(inv(), "abcd.S3D", SourceKind::kLocalToZone, false), source);
  EXPECT_EQ(inv().sourceCount, 1);

  // The length test sees the padding; the stored name does not.
  ModelSource* padded = FindOrAddSource(inv(), " x.s\r\n", SourceKind::kLocalToZone, false);
  ASSERT_NE(padded, nullptr);
  EXPECT_STREQ(padded->name, "x.s");
  EXPECT_EQ(padded->nameLength, 3);
  EXPECT_EQ(padded->sourceCode, ('x' - 'a' + 2) * 256);
}

TEST_F(RegistryTest, SourceBucketDependsOnKindAndOrphanFlag) {
  ModelSource* local = FindOrAddSource(inv(), "gfaydark.s3d", SourceKind::kLocalToZone, false);
  ModelSource* global = FindOrAddSource(inv(), "gfaydark.s3d", SourceKind::kGlobalLoadList, false);
  ModelSource* orphan = FindOrAddSource(inv(), "gequip.s3d", SourceKind::kLocalToZone, true);
  ModelSource* digit = FindOrAddSource(inv(), "1chr.s3d", SourceKind::kLocalToZone, false);
  ASSERT_TRUE(local && global && orphan && digit);
  EXPECT_NE(local, global);
  EXPECT_EQ(global->kind, SourceKind::kGlobalLoadList);
  EXPECT_EQ(global->sourceCode, kGlobalBucket * 256);
  EXPECT_EQ(orphan->sourceCode, kOrphanBucket * 256);
  EXPECT_EQ(digit->sourceCode, 1 * 256);
  EXPECT_EQ(SourceBucketCount(inv(), 8), 1);  // only the kind-0 row
  EXPECT_EQ(inv().sourceCount, 4);

  // A row keeps the kind it was registered with.
  EXPECT_EQ(FindOrAddSource(inv(), "gfaydark.s3d", SourceKind::kWithOstraModels, false), global);
  EXPECT_EQ(global->kind, SourceKind::kGlobalLoadList);
}

TEST_F(RegistryTest, RefusedSourceNamesTouchNoCounter) {
  const std::string longest(63, 'a');
  EXPECT_NE(FindOrAddSource(inv(), longest.c_str(), SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(FindOrAddSource(inv(), (longest + "a").c_str(), SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(FindOrAddSource(inv(), "a.sd", SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(FindOrAddSource(inv(), "     ", SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(FindOrAddSource(inv(), "", SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(FindOrAddSource(inv(), "other.s3d", SourceKind::kWithOstraModels, true), nullptr);
  // A kind without a label would be printed out of the label table.
  EXPECT_EQ(FindOrAddSource(inv(), "other.s3d", SourceKind{5}, false), nullptr);
  EXPECT_EQ(inv().sourceCount, 1);
  EXPECT_EQ(SourceBucketCount(inv(), 2), 1);
  EXPECT_EQ(SourceBucketCount(inv(), kGlobalBucket), 0);
  EXPECT_EQ(SourceBucketCount(inv(), kOrphanBucket), 0);
}

TEST_F(RegistryTest, FullBucketRefusesTheNextSourceOnly) {
  for (int i = 0; i < 150; ++i) ASSERT_NE(FindOrAddSource(inv(), Name('b', i).c_str(), SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(FindOrAddSource(inv(), Name('b', 150).c_str(), SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(SourceBucketCount(inv(), 3), 150);
  EXPECT_EQ(inv().sourceCount, 150);
  // A present name is still found, and other buckets still take new ones.
  EXPECT_EQ(FindOrAddSource(inv(), Name('b', 149).c_str(), SourceKind::kLocalToZone, false)->sourceCode, 3 * 256 + 149);
  EXPECT_NE(FindOrAddSource(inv(), Name('b', 150).c_str(), SourceKind::kGlobalLoadList, false), nullptr);
}

TEST_F(RegistryTest, FullSourceTableRefusesThe1201stSource) {
  for (int i = 0; i < 1200; ++i) {
    ASSERT_NE(FindOrAddSource(inv(), Name(static_cast<char>('a' + i / 150), i).c_str(), SourceKind::kLocalToZone, false), nullptr);
  }
  EXPECT_EQ(inv().sourceCount, 1200);
  EXPECT_EQ(FindOrAddSource(inv(), Name('z', 0).c_str(), SourceKind::kLocalToZone, false), nullptr);
  EXPECT_EQ(FindOrAddSource(inv(), Name('z', 0).c_str(), SourceKind::kHardCoded, false), nullptr);
  EXPECT_EQ(inv().sourceCount, 1200);
  EXPECT_EQ(SourceBucketCount(inv(), 27), 0);
  EXPECT_EQ(SourceBucketCount(inv(), kGlobalBucket), 0);
  EXPECT_EQ(FindOrAddSource(inv(), Name('h', 1199).c_str(), SourceKind::kLocalToZone, false), &inv().sources[1199]);
}

TEST_F(RegistryTest, FindSourceSearchesLetterThenGlobalBucketNeverOrphans) {
  ModelSource* global = FindOrAddSource(inv(), "global_chr.s3d", SourceKind::kGlobalLoadList, false);
  ModelSource* later = FindOrAddSource(inv(), "zone.s3d", SourceKind::kHardCoded, false);
  ModelSource* local = FindOrAddSource(inv(), "zone.s3d", SourceKind::kLocalToZone, false);
  FindOrAddSource(inv(), "lost.s3d", SourceKind::kLocalToZone, true);
  EXPECT_EQ(FindSource(inv(), "  GLOBAL_chr.S3D\r\n"), global);
  EXPECT_EQ(FindSource(inv(), "zone.s3d"), local);
  EXPECT_NE(later, local);
  EXPECT_EQ(FindSource(inv(), "lost.s3d"), nullptr);
  EXPECT_EQ(FindSource(inv(), "none.s3d"), nullptr);
  EXPECT_EQ(FindSource(inv(), ""), nullptr);
  EXPECT_EQ(FindSource(inv(), std::string(64, 'z').c_str()), nullptr);
  // No lower bound on the length here.
  ModelSource* padded = FindOrAddSource(inv(), "a.s  ", SourceKind::kLocalToZone, false);
  EXPECT_EQ(FindSource(inv(), "A.S"), padded);
}

// --- Models --------------------------------------------------------------

TEST_F(RegistryTest, AddModelNormalizesDecodesAndFindsAgain) {
  RaceTableBuilder races(inv().client);
  races.Add(1, 2, "HUF");
  ModelSource* source = FindOrAddSource(inv(), "global.s3d", SourceKind::kLocalToZone, false);
  ModelDef* hum = AddModel(inv(), source, " hum ");
  ModelDef* huf = AddModel(inv(), source, "huf\r\n");
  ASSERT_TRUE(hum && huf);
  EXPECT_STREQ(hum->code, "HUM");
  EXPECT_EQ(hum->codeLength, 3);
  EXPECT_EQ(hum->raceId, 0);
  EXPECT_EQ(hum->gender, Gender::kNone);
  EXPECT_EQ(huf->raceId, 1);
  EXPECT_EQ(huf->gender, Gender::kFemale);
  EXPECT_EQ(huf->source, source);
  EXPECT_EQ(huf->slot, 1);
  EXPECT_EQ(source->models[1], huf);
  EXPECT_EQ(AddModel(inv(), source, "HUM"), hum);
  EXPECT_EQ(inv().modelDefCount, 2);
  EXPECT_EQ(source->modelCount, 2);

  // The same code in another source is another model.
  ModelSource* other = FindOrAddSource(inv(), "other.s3d", SourceKind::kLocalToZone, false);
  EXPECT_NE(AddModel(inv(), other, "HUM"), hum);

  EXPECT_EQ(AddModel(inv(), source, "ABCDEFGHIJKLMN"), nullptr);
  EXPECT_EQ(AddModel(inv(), source, "   "), nullptr);
  EXPECT_EQ(AddModel(inv(), nullptr, "HUM"), nullptr);
  EXPECT_NE(AddModel(inv(), source, "ABCDEFGHIJKLM"), nullptr);
  EXPECT_EQ(inv().modelDefCount, 4);
}

TEST_F(RegistryTest, FullSourceRefusesThe201stModel) {
  ModelSource* source = FindOrAddSource(inv(), "many.s3d", SourceKind::kLocalToZone, false);
  for (int i = 0; i < 200; ++i) ASSERT_NE(AddModel(inv(), source, Code(i).c_str()), nullptr);
  EXPECT_EQ(AddModel(inv(), source, Code(200).c_str()), nullptr);
  EXPECT_EQ(source->modelCount, 200);
  EXPECT_EQ(inv().modelDefCount, 200);
  EXPECT_EQ(AddModel(inv(), source, Code(199).c_str()), source->models[199]);
}

TEST_F(RegistryTest, FullModelTableRefusesThe5001stModel) {
  for (int s = 0; s < 25; ++s) {
    ModelSource* source = FindOrAddSource(inv(), Name('m', s).c_str(), SourceKind::kLocalToZone, false);
    for (int i = 0; i < 200; ++i) ASSERT_NE(AddModel(inv(), source, Code(i).c_str()), nullptr);
  }
  EXPECT_EQ(inv().modelDefCount, 5000);
  ModelSource* last = FindOrAddSource(inv(), "last.s3d", SourceKind::kLocalToZone, false);
  EXPECT_EQ(AddModel(inv(), last, "HUM"), nullptr);
  EXPECT_EQ(last->modelCount, 0);
  EXPECT_EQ(inv().modelDefCount, 5000);
}

TEST_F(RegistryTest, FindRaceModelRecordsRaceOnlyWhenAskedForTheModel) {
  RaceTableBuilder races(inv().client);
  races.Add(5, 1, "HUM").Add(70, 3, "HUM").Add(6, 2, "ELF");
  ModelSource* source = FindOrAddSource(inv(), "chr.s3d", SourceKind::kLocalToZone, false);
  ModelDef* hum = AddModel(inv(), source, "HUM");
  ASSERT_NE(hum, nullptr);
  ASSERT_EQ(hum->raceId, 70);

  EXPECT_TRUE(FindRaceModel(inv(), source, 5, Gender::kMale, nullptr));
  EXPECT_EQ(hum->raceId, 70);
  EXPECT_EQ(hum->gender, Gender::kNeutral);

  ModelDef* found = nullptr;
  EXPECT_TRUE(FindRaceModel(inv(), source, 5, Gender::kMale, &found));
  EXPECT_EQ(found, hum);
  EXPECT_EQ(hum->raceId, 5);
  EXPECT_EQ(hum->gender, Gender::kMale);

  found = hum;
  EXPECT_FALSE(FindRaceModel(inv(), source, 6, Gender::kFemale, &found));  // no such model in the source
  EXPECT_EQ(found, nullptr);
  found = hum;
  EXPECT_FALSE(FindRaceModel(inv(), source, 5, Gender::kFemale, &found));  // race 5 has no female code
  EXPECT_EQ(found, nullptr);
  EXPECT_FALSE(FindRaceModel(inv(), source, 0, Gender::kMale, &found));
  EXPECT_FALSE(FindRaceModel(inv(), source, 71, Gender::kMale, &found));
  EXPECT_FALSE(FindRaceModel(inv(), source, 5, Gender::kNone, &found));
  EXPECT_FALSE(FindRaceModel(inv(), source, 5, Gender{4}, &found));
  EXPECT_FALSE(FindRaceModel(inv(), nullptr, 5, Gender::kMale, &found));
}

// --- Variations ----------------------------------------------------------

TEST_F(RegistryTest, VariationsStayAscendingWithoutRepeats) {
  ModelDef* model = AddModel(inv(), FindOrAddSource(inv(), "chr.s3d", SourceKind::kLocalToZone, false), "HUM");
  for (int value : {4, 2, 4, 9, 0}) EXPECT_EQ(AddVariation(model, VariationKind::kTexture, static_cast<std::uint8_t>(value)), ResultCode::kOk);
  EXPECT_EQ(Values(model->textures), (std::vector<std::uint8_t>{2, 4, 9}));
  EXPECT_EQ(AddVariation(model, VariationKind::kDetail, 255), ResultCode::kOk);
  EXPECT_EQ(Values(model->details), (std::vector<std::uint8_t>{255}));

  EXPECT_EQ(AddVariation(model, static_cast<VariationKind>(5), 1), ResultCode::kInvalidArgument);
  EXPECT_EQ(AddVariation(model, static_cast<VariationKind>(5), 0), ResultCode::kOk);
  EXPECT_EQ(AddVariation(model, static_cast<VariationKind>(9), 1), ResultCode::kInvalidArgument);
  EXPECT_EQ(AddVariation(nullptr, VariationKind::kTexture, 1), ResultCode::kInvalidArgument);
}

TEST_F(RegistryTest, FullVariationListsAcceptOnlyPresentValues) {
  ModelDef* model = AddModel(inv(), FindOrAddSource(inv(), "chr.s3d", SourceKind::kLocalToZone, false), "HUM");
  for (int v = 20; v >= 1; --v) ASSERT_EQ(AddVariation(model, VariationKind::kHead, static_cast<std::uint8_t>(2 * v)), ResultCode::kOk);
  EXPECT_EQ(model->heads.count, 20);
  EXPECT_EQ(AddVariation(model, VariationKind::kHead, 41), ResultCode::kOutOfMemory);
  EXPECT_EQ(AddVariation(model, VariationKind::kHead, 1), ResultCode::kOutOfMemory);
  EXPECT_EQ(AddVariation(model, VariationKind::kHead, 40), ResultCode::kOk);
  EXPECT_EQ(model->heads.count, 20);
  EXPECT_EQ(model->heads.values[19], 40);

  // A range runs to its end and skips what no longer fits.
  EXPECT_EQ(AddVariationRange(model, VariationKind::kTexture, 255), ResultCode::kOk);
  std::vector<std::uint8_t> expected;
  for (int v = 1; v <= 30; ++v) expected.push_back(static_cast<std::uint8_t>(v));
  EXPECT_EQ(Values(model->textures), expected);
  EXPECT_EQ(AddVariation(model, VariationKind::kTexture, 31), ResultCode::kOutOfMemory);
  EXPECT_EQ(AddVariation(model, VariationKind::kTexture, 30), ResultCode::kOk);

  EXPECT_EQ(AddVariationRange(model, VariationKind::kDetail, 3), ResultCode::kOk);
  EXPECT_EQ(Values(model->details), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(AddVariationRange(model, static_cast<VariationKind>(5), 3), ResultCode::kOk);
  EXPECT_EQ(AddVariationRange(model, VariationKind::kFace, 0), ResultCode::kOk);
  EXPECT_EQ(model->faces.count, 0);
}

// --- Zone imports and playable rows ----------------------------------------

TEST_F(RegistryTest, ZoneImportsHoldEachModelOnceUpTo80) {
  ModelSource* source = FindOrAddSource(inv(), "chr.s3d", SourceKind::kLocalToZone, false);
  ZoneLinks& zone = inv().zoneLinks[3];
  for (int i = 0; i < 80; ++i) ASSERT_EQ(AddZoneImport(zone, AddModel(inv(), source, Code(i).c_str())), ResultCode::kOk);
  EXPECT_EQ(AddZoneImport(zone, source->models[0]), ResultCode::kOk);
  EXPECT_EQ(zone.Imports().size(), 80u);
  EXPECT_EQ(AddZoneImport(zone, AddModel(inv(), source, Code(80).c_str())), ResultCode::kOutOfMemory);
  EXPECT_EQ(zone.Imports().size(), 80u);
  EXPECT_EQ(zone.imports[79], source->models[79]);
  EXPECT_EQ(AddZoneImport(zone, nullptr), ResultCode::kInvalidArgument);
}

TEST_F(RegistryTest, PlayableRowNeedsAStoredPlayableRaceId) {
  RaceTableBuilder races(inv().client);
  races.Add(5, 1, "HUM").Add(128, 1, "IRM").Add(200, 1, "XYZ").Add(0, 1, "NUL");
  EXPECT_TRUE(IsPlayableRaceRow(inv().client, 5));
  EXPECT_TRUE(IsPlayableRaceRow(inv().client, 128));
  EXPECT_FALSE(IsPlayableRaceRow(inv().client, 200));
  EXPECT_FALSE(IsPlayableRaceRow(inv().client, 6));  // never registered: the row holds 0
  EXPECT_FALSE(IsPlayableRaceRow(inv().client, 0));
  EXPECT_FALSE(IsPlayableRaceRow(inv().client, 201));
  EXPECT_FALSE(IsPlayableRaceRow(inv().client, 70000));
}

}  // namespace
}  // namespace zira
