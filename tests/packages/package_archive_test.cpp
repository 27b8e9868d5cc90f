#include "packages/package_archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "support/package_writer.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::PackageWriter;
using testing::PutU32;

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 13);
  return bytes;
}

class PackageArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("zira_pkg_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    archive_ = PackageArchive::Create();
    ASSERT_NE(archive_, nullptr);
  }
  void TearDown() override {
    archive_.reset();
    std::filesystem::remove_all(folder_);
  }
  std::string Write(PackageWriter& writer, const std::string& name = "test.s3d") {
    const std::string path = (folder_ / name).string();
    EXPECT_TRUE(writer.WriteTo(path));
    files_.ForgetListings();
    return path;
  }
  Result OpenBytes(PackageWriter& writer) { return archive_->OpenBytes(writer.Bytes()); }
  std::string NameOf(std::uint32_t index) {
    const PackageEntry* entry = archive_->Entry(index);
    return entry ? std::string(entry->name, entry->nameLength) : "<none>";
  }

  std::filesystem::path folder_;
  MachineRefusals refusals_;
  ClientFolder files_{"/", refusals_};
  std::unique_ptr<PackageArchive> archive_;
};

TEST_F(PackageArchiveTest, NameChecksumMatchesKnownValues) {
  EXPECT_EQ(archive_->NameChecksum(Bytes("abc")), 0x2C17398Cu);
  EXPECT_EQ(archive_->NameChecksum(std::vector<std::uint8_t>{'a', 'b', 'c', 0}), 0xBA16A184u);
  EXPECT_EQ(archive_->NameChecksum({}), 0u);
  const std::vector<std::uint8_t> name = Bytes("global_chr.wld");
  EXPECT_EQ(archive_->NameChecksum(name), PackageWriter::Checksum(name));
}

TEST_F(PackageArchiveTest, OpensFileNamesEntriesAndInflatesAcrossBlocks) {
  PackageWriter writer;
  const std::vector<std::uint8_t> big = Pattern(5000);
  writer.AddEntry("abc_chr.wld", big, 700);  // eight blocks
  writer.AddTextEntry("Readme.TXT", "hello");
  writer.version = 0x20000;
  writer.footer = true;
  writer.dateStamp = 0x12345678;
  const std::string path = Write(writer);

  ASSERT_EQ(archive_->Open(files_, path.c_str()), ResultCode::kOk);
  EXPECT_EQ(archive_->Version(), 0x20000u);
  EXPECT_EQ(archive_->DateStamp(), 0x12345678u);
  EXPECT_EQ(archive_->FileLength(), std::filesystem::file_size(path));
  ASSERT_EQ(archive_->EntryCount(), 2u);
  EXPECT_EQ(NameOf(0), "abc_chr.wld");
  EXPECT_EQ(archive_->Entry(0)->inflatedSize, 5000u);
  EXPECT_EQ(NameOf(1), "Readme.TXT");
  EXPECT_EQ(archive_->Entry(2), nullptr);  // the name directory is not an entry

  EntryBuffer contents = archive_->ReadEntry(0);
  ASSERT_NE(contents, nullptr);
  EXPECT_EQ(std::memcmp(contents.get(), big.data(), big.size()), 0);
  EXPECT_EQ(archive_->ReadEntry(2), nullptr);

  archive_->Close();
  EXPECT_EQ(archive_->EntryCount(), 0u);
  EXPECT_EQ(archive_->Entry(0), nullptr);
  EXPECT_EQ(archive_->ReadEntry(0), nullptr);
  EXPECT_EQ(archive_->Open(files_, path.c_str()), ResultCode::kOk);  // usable again after Close
}

TEST_F(PackageArchiveTest, FooterIsOptionalAndMatchedWithLettersFolded) {
  PackageWriter writer;
  writer.AddTextEntry("one.txt", "1");
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  EXPECT_EQ(archive_->DateStamp(), 0u);

  writer.footer = true;
  writer.dateStamp = 77;
  std::vector<std::uint8_t> bytes = writer.Bytes();
  const std::size_t mark = bytes.size() - 9;
  for (std::size_t i = 0; i < 5; ++i) bytes[mark + i] |= 0x20;  // "kavro"
  ASSERT_EQ(archive_->OpenBytes(bytes), ResultCode::kOk);
  EXPECT_EQ(archive_->DateStamp(), 77u);
}

TEST_F(PackageArchiveTest, OpenRejectsBrokenPackages) {
  EXPECT_EQ(archive_->Open(files_, nullptr), ResultCode::kInvalidArgument);
  EXPECT_EQ(archive_->Open(files_, ""), ResultCode::kFailed);
  EXPECT_EQ(archive_->Open(files_, (folder_ / "missing.s3d").string().c_str()), ResultCode::kFailed);
  const std::string empty = (folder_ / "empty.s3d").string();
  ASSERT_TRUE(WriteWholeFile(empty.c_str(), {}));
  files_.ForgetListings();
  EXPECT_EQ(archive_->Open(files_, empty.c_str()), ResultCode::kFailed);

  auto expectFail = [&](PackageWriter& writer) {
    EXPECT_EQ(archive_->Open(files_, Write(writer).c_str()), ResultCode::kFailed);
    EXPECT_EQ(archive_->EntryCount(), 0u);
    EXPECT_EQ(archive_->FileLength(), 0u);
  };
  PackageWriter badMagic;
  badMagic.AddTextEntry("a.txt", "a");
  badMagic.magic = 0x20534651;
  expectFail(badMagic);

  PackageWriter zeroOffset;
  zeroOffset.AddTextEntry("a.txt", "a");
  zeroOffset.AddTextEntry("b.txt", "b");
  zeroOffset.EntryPlan(1).zeroOffset = true;
  expectFail(zeroOffset);

  PackageWriter noRows;
  noRows.AddTextEntry("a.txt", "a");
  noRows.rowCount = 0;
  expectFail(noRows);

  PackageWriter cutDirectory;  // the last row loses its offset
  cutDirectory.AddTextEntry("a.txt", "a");
  const std::size_t full = cutDirectory.Bytes().size();
  cutDirectory.truncateTo = full - 8;
  expectFail(cutDirectory);

  PackageWriter directoryBeyond;
  directoryBeyond.AddTextEntry("a.txt", "a");
  std::vector<std::uint8_t> bytes = directoryBeyond.Bytes();
  testing::SetU32(bytes, 0, static_cast<std::uint32_t>(bytes.size()));
  EXPECT_EQ(archive_->OpenBytes(bytes), ResultCode::kFailed);
}

// Each refusal of a parse says why, so a log or a test can tell them apart.
TEST_F(PackageArchiveTest, EachRefusalSaysWhy) {
  using Bytes = std::vector<std::uint8_t>;
  const struct {
    const char* reason;
    Bytes (*build)(PackageWriter&);
  } cases[] = {
      {"wrong magic", [](PackageWriter& w) { w.magic ^= 1; return w.Bytes(); }},
      {"directory offset beyond the file",
       [](PackageWriter& w) {
         Bytes b = w.Bytes();
         testing::SetU32(b, 0, static_cast<std::uint32_t>(b.size()));
         return b;
       }},
      {"empty directory", [](PackageWriter& w) { w.rowCount = 0; return w.Bytes(); }},
      {"directory runs past the file", [](PackageWriter& w) { w.rowCount = 9; return w.Bytes(); }},
      {"directory row with data offset 0", [](PackageWriter& w) { w.EntryPlan(0).zeroOffset = true; return w.Bytes(); }},
      {"empty name directory", [](PackageWriter& w) { w.rawNameDirectory.emplace(); return w.Bytes(); }},
      {"name directory unreadable",
       [](PackageWriter& w) {
         Bytes b = w.Bytes();
         b[w.DataOffsets().back() + 12] ^= 0xFF;  // inside the name directory's zlib stream
         return b;
       }},
  };
  for (const auto& c : cases) {
    PackageWriter writer;
    writer.AddTextEntry("a.txt", "a");
    const Result opened = archive_->OpenBytes(c.build(writer));
    EXPECT_EQ(opened, ResultCode::kFailed) << c.reason;
    EXPECT_STREQ(opened.Reason(), c.reason);
  }
}

// Bytes this process has read so far, from the kernel's own count.
std::uint64_t BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

// A big file whose header already says it is no package is refused without
// being read or held whole.
TEST_F(PackageArchiveTest, HeaderThatIsNoPackageRefusesABigFileUnread) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> header;
  };
  std::vector<std::uint8_t> beyond;
  PutU32(beyond, 0xFFFFFFF0u);  // directory offset past the end
  PutU32(beyond, 0x20534650);
  const Case cases[] = {{"zeros.s3d", {}}, {"directory-beyond.obg", beyond}};
  constexpr std::uintmax_t kBig = std::uintmax_t{2} << 30;
  for (const Case& c : cases) {
    const std::string path = (folder_ / c.name).string();
    ASSERT_TRUE(testing::WriteTextFile(path, std::string(c.header.begin(), c.header.end())));
    std::filesystem::resize_file(path, kBig);  // sparse: the rest reads as zeros
    files_.ForgetListings();
    const std::uint64_t before = BytesReadSoFar();
    EXPECT_EQ(archive_->Open(files_, path.c_str()), ResultCode::kFailed) << c.name;
    EXPECT_LT(BytesReadSoFar() - before, 1u << 20) << c.name;
    EXPECT_EQ(archive_->FileLength(), 0u) << c.name;
    std::filesystem::remove(path);
  }
}

// A count the rows behind the directory offset cannot back fails before any
// table is sized from it (under the sanitizers, an allocation of that size aborts).
TEST_F(PackageArchiveTest, DirectoryCountBeyondTheFileFailsWithoutAllocating) {
  PackageWriter writer;
  writer.AddTextEntry("a.txt", "a");
  writer.AddTextEntry("b.txt", "b");
  writer.rowCount = 3;
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  writer.rowCount = 4;
  EXPECT_EQ(OpenBytes(writer), ResultCode::kFailed);
  writer.rowCount = 0xFFFFFFFF;
  EXPECT_EQ(OpenBytes(writer), ResultCode::kFailed);
  writer.rowCount = 0x01000000;
  EXPECT_EQ(OpenBytes(writer), ResultCode::kFailed);
}

TEST_F(PackageArchiveTest, NamesFollowDataOrderWhateverTheRowOrder) {
  PackageWriter writer;
  writer.AddTextEntry("first.txt", "1");
  writer.AddTextEntry("second.txt", "22");
  writer.AddTextEntry("third.txt", "333");
  writer.rowOrder = {2, 3, 0, 1};  // the name directory in the middle
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  ASSERT_EQ(archive_->EntryCount(), 3u);
  EXPECT_EQ(NameOf(0), "first.txt");
  EXPECT_EQ(NameOf(1), "second.txt");
  EXPECT_EQ(NameOf(2), "third.txt");
  EXPECT_EQ(archive_->Entry(2)->inflatedSize, 3u);
  EXPECT_LT(archive_->Entry(0)->dataOffset, archive_->Entry(1)->dataOffset);
}

TEST_F(PackageArchiveTest, NameCountAndChecksumsDecideWhichEntriesAreNamed) {
  PackageWriter fewer;
  fewer.AddTextEntry("a.txt", "a");
  fewer.AddTextEntry("b.txt", "b");
  fewer.AddTextEntry("c.txt", "c");
  fewer.nameCountDelta = -1;
  ASSERT_EQ(OpenBytes(fewer), ResultCode::kOk);
  EXPECT_EQ(archive_->EntryCount(), 2u);
  EXPECT_EQ(archive_->FindEntry("c.txt"), kNoEntry);
  EXPECT_EQ(archive_->ReadEntry(2), nullptr);

  PackageWriter more;
  more.AddTextEntry("a.txt", "a");
  more.nameCountDelta = 3;
  ASSERT_EQ(OpenBytes(more), ResultCode::kOk);
  EXPECT_EQ(archive_->EntryCount(), 1u);
  EXPECT_EQ(NameOf(0), "a.txt");

  PackageWriter mismatch;
  mismatch.AddTextEntry("a.txt", "a");
  mismatch.AddTextEntry("b.txt", "b");
  mismatch.EntryPlan(0).wrongChecksum = true;
  ASSERT_EQ(OpenBytes(mismatch), ResultCode::kOk);
  EXPECT_EQ(archive_->EntryCount(), 2u);
  EXPECT_EQ(archive_->Entry(0)->nameLength, 0u);
  EXPECT_STREQ(archive_->Entry(0)->name, "");
  EXPECT_EQ(archive_->FindEntry("a.txt"), kNoEntry);
  EXPECT_EQ(archive_->FindEntry("b.txt"), 1);  // the walk went on past the mismatch
}

TEST_F(PackageArchiveTest, FindEntryTrimsFoldsAndBoundsTheName) {
  PackageWriter writer;
  writer.AddTextEntry("ab", "x");
  writer.AddTextEntry("GLOBAL_CHR.WLD", "x");
  writer.AddTextEntry(std::string(63, 'm'), "x");
  writer.AddTextEntry(std::string(64, 'n'), "x");
  writer.AddTextEntry("nameless", "x");
  writer.EntryPlan(4).wrongChecksum = true;
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);

  EXPECT_EQ(archive_->FindEntry("ab"), kNoEntry);  // too short to search
  EXPECT_EQ(archive_->FindEntry("global_chr.wld"), 1);
  EXPECT_EQ(archive_->FindEntry("  global_chr.wld \r\n"), 1);
  EXPECT_EQ(archive_->FindEntry("\tglobal_chr.wld"), kNoEntry);  // tabs are not trimmed
  EXPECT_EQ(archive_->FindEntry(std::string(63, 'M').c_str()), 2);
  EXPECT_EQ(archive_->FindEntry(std::string(64, 'n').c_str()), kNoEntry);
  EXPECT_EQ(archive_->FindEntry(nullptr), kNoEntry);
  EXPECT_EQ(archive_->FindEntry(""), kNoEntry);
  // A blank name must not match the entry left without a name.
  EXPECT_EQ(archive_->FindEntry("    "), kNoEntry);
}

TEST_F(PackageArchiveTest, EmptyEntryReadsAsNone) {
  PackageWriter writer;
  writer.AddTextEntry("empty.txt", "");
  writer.AddTextEntry("full.txt", "full");
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  EXPECT_EQ(archive_->Entry(0)->inflatedSize, 0u);
  EXPECT_EQ(archive_->ReadEntry(0), nullptr);
  EntryBuffer full = archive_->ReadEntry(1);
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(std::memcmp(full.get(), "full", 4), 0);
}

TEST_F(PackageArchiveTest, ShortBlockIsFollowedDirectlyByTheNextBlock) {
  PackageWriter writer;
  const std::vector<std::uint8_t> contents = Pattern(100);
  testing::PackageEntryPlan entryPlan;
  entryPlan.name = "short.bin";
  entryPlan.contents = contents;
  entryPlan.blockSize = 40;
  entryPlan.firstBlockClaimExtra = 5;  // claims 45, yields 40
  writer.AddEntry(entryPlan);
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  EntryBuffer read = archive_->ReadEntry(0);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(std::memcmp(read.get(), contents.data(), contents.size()), 0);
}

TEST_F(PackageArchiveTest, ReadAtStopsAtTheFileEndAndZeroesWhatNoBlockProduced) {
  PackageWriter writer;
  writer.AddTextEntry("a.txt", "abc");
  writer.directoryFirst = true;  // the name directory's blocks end the file
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  const std::uint32_t offset = writer.DataOffsets().back();
  const std::vector<std::uint8_t> names = {1, 0, 0, 0, 6, 0, 0, 0, 'a', '.', 't', 'x', 't', 0};
  const std::uint32_t asked = static_cast<std::uint32_t>(names.size()) + 50;

  {  // Dirty the heap so an unzeroed allocation would show old bytes.
    std::vector<std::uint8_t> dirt(asked + 1024, 0xAB);
    asm volatile("" : : "r"(dirt.data()) : "memory");
  }
  EntryBuffer allocated;
  ASSERT_EQ(archive_->ReadAt(offset, asked, allocated), ResultCode::kOk);
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(std::memcmp(allocated.get(), names.data(), names.size()), 0);
  for (std::uint32_t i = static_cast<std::uint32_t>(names.size()); i < asked + 1024; ++i) {
    ASSERT_EQ(allocated[i], 0) << i;
  }

  std::vector<std::uint8_t> given(asked, 0xCC);
  ASSERT_EQ(archive_->ReadInto(offset, given), ResultCode::kOk);
  EXPECT_EQ(std::memcmp(given.data(), names.data(), names.size()), 0);
  for (std::uint32_t i = static_cast<std::uint32_t>(names.size()); i < asked; ++i) ASSERT_EQ(given[i], 0) << i;
}

TEST_F(PackageArchiveTest, ReadAtRefusesBadRequestsAndBadBlocks) {
  PackageWriter writer;
  writer.AddEntry("a.bin", Pattern(300), 100);
  std::vector<std::uint8_t> bytes = writer.Bytes();
  const std::uint32_t offset = writer.DataOffsets()[0];
  ASSERT_EQ(archive_->OpenBytes(bytes), ResultCode::kOk);

  EntryBuffer buffer;
  EXPECT_EQ(archive_->ReadAt(archive_->FileLength(), 10, buffer), ResultCode::kInvalidArgument);
  EXPECT_EQ(archive_->ReadAt(offset, 0, buffer), ResultCode::kOk);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(archive_->ReadAt(offset, 250, buffer), ResultCode::kFailed);  // the third block runs past 250
  EXPECT_EQ(buffer, nullptr);
  // More than the remaining bytes could ever inflate to is refused up front.
  EXPECT_EQ(archive_->ReadAt(archive_->FileLength() - 1, 0xFFFFFFFF, buffer), ResultCode::kFailed);

  bytes[offset + 8 + 4] ^= 0xFF;  // damage the first block's deflate data
  ASSERT_EQ(archive_->OpenBytes(bytes), ResultCode::kOk);
  EXPECT_EQ(archive_->ReadEntry(0), nullptr);
  EXPECT_EQ(archive_->ReadAt(offset, 300, buffer), ResultCode::kFailed);
  EXPECT_EQ(buffer, nullptr);

  const std::unique_ptr<PackageArchive> fresh = PackageArchive::Create();
  EXPECT_EQ(fresh->ReadAt(0, 10, buffer), ResultCode::kInvalidArgument);  // nothing loaded
}

// A directory listing whose names cannot be stored: those names are passed
// over, the others still name their entries, and the open succeeds.
TEST_F(PackageArchiveTest, MalformedNamesAreSkippedAndTheOpenSucceeds) {
  auto name = [](std::vector<std::uint8_t>& out, const std::string& text, std::uint32_t storedLength) {
    PutU32(out, storedLength);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
  };
  const std::string longest(259, 'L');
  const std::string tooLong(260, 'T');
  PackageWriter writer;
  for (const std::string& n : {std::string("zero.txt"), tooLong, longest, std::string("fine.txt"),
                               std::string("past.txt")}) {
    writer.AddTextEntry(n, "x");
  }
  std::vector<std::uint8_t> directory;
  PutU32(directory, 5);
  PutU32(directory, 0);                       // length 0
  name(directory, tooLong, 261);              // longer than 260 bytes
  name(directory, longest, 260);              // exactly 260 bytes fits
  name(directory, "fine.txt", 9);
  name(directory, "past.txt", 5000);          // runs past the directory
  writer.rawNameDirectory = directory;
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  ASSERT_EQ(archive_->EntryCount(), 5u);
  EXPECT_EQ(archive_->Entry(0)->nameLength, 0u);
  EXPECT_EQ(archive_->Entry(1)->nameLength, 0u);
  EXPECT_EQ(NameOf(2), longest);
  EXPECT_EQ(NameOf(3), "fine.txt");
  EXPECT_EQ(archive_->Entry(4)->nameLength, 0u);

  // The walk ends when the next length word lies past the end.
  std::vector<std::uint8_t> cut;
  PutU32(cut, 5);
  name(cut, "zero.txt", 9);
  cut.push_back(3);  // a partial length word
  writer.rawNameDirectory = cut;
  ASSERT_EQ(OpenBytes(writer), ResultCode::kOk);
  EXPECT_EQ(NameOf(0), "zero.txt");
  EXPECT_EQ(archive_->Entry(1)->nameLength, 0u);
}

TEST_F(PackageArchiveTest, EmptyNameDirectoryFailsTheOpen) {
  PackageWriter writer;
  writer.AddTextEntry("a.txt", "a");
  writer.rawNameDirectory = std::vector<std::uint8_t>{};
  EXPECT_EQ(OpenBytes(writer), ResultCode::kFailed);
  EXPECT_EQ(archive_->EntryCount(), 0u);
}

}  // namespace
}  // namespace zira
