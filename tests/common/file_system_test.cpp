#include "common/file_system.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "common/machine_refusal.h"
#include "common/platform.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace zira {
namespace {

using testing::ReadTextFile;
using testing::TempDir;
using testing::WriteTextFile;

class FileSystemTest : public ::testing::Test {
 protected:
  TempDir dir_;
  MachineRefusals refusals_;
  // Rooted at the test's folder: no name is taken from the process's folder.
  ClientFolder files_{dir_.Path(), refusals_};
};

// Only the system's own separators split a path: on POSIX a backslash is part
// of a name, and only "/" starts an absolute path; a root keeps its slash.
TEST(PathSplitTest, SplitsAtTheSystemsSeparatorsOnly) {
  struct Split {
    const char* folder;
    const char* leaf;
    std::size_t root;
  };
  struct Case {
    const char* path;
    Split posix;
    Split windows;  // either slash, drive and share roots
  };
  const Case cases[] = {
      {"/a/b", {"/a", "b", 1}, {"/a", "b", 1}},
      {"/top", {"/", "top", 1}, {"/", "top", 1}},
      {"a/b\\c", {"a", "b\\c", 0}, {"a/b", "c", 0}},
      {"C:\\Games\\x", {".", "C:\\Games\\x", 0}, {"C:\\Games", "x", 3}},
      {"C:\\top", {".", "C:\\top", 0}, {"C:\\", "top", 3}},
      {"C:name", {".", "C:name", 0}, {".", "C:name", 0}},
      {"\\\\server\\share\\f", {".", "\\\\server\\share\\f", 0}, {"\\\\server\\share\\", "f", 15}},
      {"name", {".", "name", 0}, {".", "name", 0}},
  };
  for (const Case& c : cases) {
    const Split& want = testing::IsPosixSystem() ? c.posix : c.windows;
    EXPECT_EQ(FolderOf(c.path), want.folder) << c.path;
    EXPECT_EQ(LeafOf(c.path), want.leaf) << c.path;
    EXPECT_EQ(RootLengthOf(c.path), want.root) << c.path;
  }
}

TEST_F(FileSystemTest, FindsNamesWithoutRegardToCaseThroughEveryComponent) {
  dir_.MakeDir("Resources");
  WriteTextFile(dir_ / "Resources/GlobalLoad.TXT", "x");
  WriteTextFile(dir_ / "GLOBAL_chr.S3D", "abc");

  std::string real;
  ASSERT_TRUE(files_.ResolveExisting("resources\\globalload.txt", &real));
  EXPECT_EQ(real, dir_ / "Resources/GlobalLoad.TXT");
  EXPECT_TRUE(files_.FileExists("global_chr.s3d"));
  EXPECT_TRUE(files_.FileExists(".\\Global_Chr.s3d"));
  EXPECT_FALSE(files_.FileExists("global_chr.s3"));
  EXPECT_FALSE(files_.FileExists("missing\\globalload.txt"));
  EXPECT_FALSE(files_.FileExists(""));
  EXPECT_FALSE(files_.FileExists(nullptr));

  std::uint32_t size = 0;
  ASSERT_TRUE(files_.FileSize("GLOBAL_CHR.s3d", &size));
  EXPECT_EQ(size, 3u);
}

TEST_F(FileSystemTest, PrefersTheExactSpellingWhenSeveralNamesFoldAlike) {
  ZIRA_SKIP_UNLESS_POSIX("names that differ only in letter case");
  WriteTextFile(dir_ / "abc.txt", "lower");
  WriteTextFile(dir_ / "ABC.txt", "upper");
  std::string real;
  ASSERT_TRUE(files_.ResolveExisting("ABC.txt", &real));
  EXPECT_EQ(real, dir_ / "ABC.txt");
  ASSERT_TRUE(files_.ResolveExisting("abc.txt", &real));
  EXPECT_EQ(real, dir_ / "abc.txt");
  // No exact spelling: the first in byte order, every time.
  ASSERT_TRUE(files_.ResolveExisting("Abc.txt", &real));
  EXPECT_EQ(real, dir_ / "ABC.txt");
}

TEST_F(FileSystemTest, OutputNamesReuseExistingDirectoriesAndKeepNewNamesAsWritten) {
  dir_.MakeDir("zira");
  OutputFile out;
  ASSERT_TRUE(out.Open(files_, "ZIRA\\Cobalt_ZIRA.log"));
  out.Print("%s=%d\r\n", "a", 1);
  out.Close();
  EXPECT_EQ(ReadTextFile(dir_ / "zira/Cobalt_ZIRA.log"), "a=1\r\n");
  // A file written by the program is found by later lookups at once.
  EXPECT_TRUE(files_.FileExists("zira\\cobalt_zira.LOG"));
  EXPECT_FALSE(out.Open(files_, "nowhere\\file.txt"));
}

TEST_F(FileSystemTest, MakesOneDirectoryLevelAndEntersDirectories) {
  EXPECT_TRUE(files_.MakeDirectory("Out"));
  EXPECT_TRUE(files_.IsDirectory("OUT"));
  EXPECT_FALSE(files_.MakeDirectory("a\\b"));
  EXPECT_TRUE(files_.IsEnterableFolder("out"));
  EXPECT_FALSE(files_.IsEnterableFolder("nothing-here"));
  EXPECT_FALSE(files_.IsEnterableFolder(""));
  WriteTextFile(dir_ / "Out/inner.txt", "x");
  // Entering a folder moves where relative names are taken from, and nothing else.
  const std::string processFolder = ProcessFolder();
  files_.SetRoot(dir_ / "Out");
  EXPECT_EQ(files_.Root(), dir_ / "Out");
  EXPECT_TRUE(files_.FileExists("INNER.txt"));
  EXPECT_TRUE(files_.IsEnterableFolder(".."));
  EXPECT_EQ(ProcessFolder(), processFolder);
}

TEST_F(FileSystemTest, ReadsWholeFilesAndBoundedLines) {
  WriteTextFile(dir_ / "lines.txt", "first\nsecond line\n");
  InputFile whole;
  WholeFile<char> text;
  EXPECT_EQ(whole.ReadAll(text), ResultCode::kFailed);  // nothing open
  ASSERT_TRUE(whole.Open(files_, "LINES.TXT"));
  ASSERT_EQ(whole.ReadAll(text), ResultCode::kOk);
  EXPECT_FALSE(whole.IsOpen());
  ASSERT_EQ(text.length, 18u);
  EXPECT_STREQ(text.bytes.get(), "first\nsecond line\n");  // a zero byte follows the file
  ASSERT_TRUE(whole.Open(files_, "lines.txt"));
  EXPECT_EQ(whole.ReadAll(text, 18), ResultCode::kOutOfMemory);  // at the limit it cannot be held
  WriteTextFile(dir_ / "empty.txt", "");
  files_.ForgetListings();
  ASSERT_TRUE(whole.Open(files_, "empty.txt"));
  ASSERT_EQ(whole.ReadAll(text), ResultCode::kOk);
  EXPECT_EQ(text.length, 0u);
  EXPECT_EQ(text.bytes[0], '\0');

  InputFile file;
  ASSERT_TRUE(file.Open(files_, "lines.txt"));
  EXPECT_EQ(file.Length(), 18u);
  char line[8];
  ASSERT_TRUE(file.ReadLine(line, sizeof(line)));
  EXPECT_STREQ(line, "first\n");
  ASSERT_TRUE(file.ReadLine(line, sizeof(line)));
  EXPECT_STREQ(line, "second ");  // cut at the buffer, the rest follows
  ASSERT_TRUE(file.ReadLine(line, sizeof(line)));
  EXPECT_STREQ(line, "line\n");
  EXPECT_FALSE(file.ReadLine(line, sizeof(line)));
  EXPECT_FALSE(file.Failed());
}

// A file that keeps growing while it is read is not read without end, and a
// read that fails is told from the end of the file.
TEST_F(FileSystemTest, LineReadsStopAtTheSizeAtOpenAndTellReadErrorsFromTheEnd) {
  WriteTextFile(dir_ / "growing.txt", "one\n");
  InputFile growing;
  ASSERT_TRUE(growing.Open(files_, "growing.txt"));
  WriteTextFile(dir_ / "growing.txt", "one\ntwo\n");
  char line[16];
  std::size_t length = 0;
  ASSERT_TRUE(growing.ReadLine(line, sizeof(line), &length));
  EXPECT_EQ(length, 4u);
  EXPECT_FALSE(growing.ReadLine(line, sizeof(line)));
  EXPECT_TRUE(growing.Failed());
}

// What a listing says of an entry, and what an open says of its file, is what
// a look at the path says: callers take either in its place.
TEST_F(FileSystemTest, ListingsAndOpensTellWhatALookAtThePathTells) {
  WriteTextFile(dir_ / "data.s3d", "12345");
  WriteTextFile(dir_ / "empty.txt", "");
  dir_.MakeDir("Sub");
  std::vector<std::string> names;
  std::vector<ListedInfo> listed;
  ASSERT_EQ(ListFolder(dir_.Path(), &names, &listed), 0);
  ASSERT_EQ(listed.size(), names.size());
  ASSERT_EQ(names.size(), 3u);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    PathInfo looked;
    ASSERT_TRUE(InfoOfPath(dir_ / names[i], true, &looked));
    if (listed[i].known) {
      EXPECT_EQ(listed[i].info.kind, looked.kind);
      EXPECT_EQ(listed[i].info.size, looked.size);
    }
    int error = 0;
    PathInfo opened;
    const FileHandle file = OpenForReading(dir_ / names[i], &error, &opened);
    if (file == kNoFile) continue;  // a folder need not open for reading
    EXPECT_EQ(opened.kind, looked.kind);
    EXPECT_EQ(opened.size, looked.size);
    EXPECT_EQ(CloseFile(file), 0);
  }
}

// A list read ahead and read again later in the run is read from the disk
// once: the next open gets the bytes of the first, and only that open.
TEST_F(FileSystemTest, AFileKeptForTheNextOpenIsReadFromTheDiskOnce) {
  struct Case {
    InputFile::Keeping keeping;
    const char* second;  // the first line the next open reads
  };
  const Case cases[] = {
      {InputFile::Keeping::kNone, "changed\n"},
      {InputFile::Keeping::kForNextOpen, "kept\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.second);
    WriteTextFile(dir_ / "zone_chr.txt", "kept\nlines\n");
    files_.ForgetListings();
    char line[16];
    InputFile first;
    ASSERT_TRUE(first.Open(files_, "ZONE_chr.txt", c.keeping));
    ASSERT_TRUE(first.ReadLine(line, sizeof(line)));
    EXPECT_STREQ(line, "kept\n");
    WriteTextFile(dir_ / "zone_chr.txt", "changed\n");
    InputFile second;
    ASSERT_TRUE(second.Open(files_, "zone_chr.txt"));
    ASSERT_TRUE(second.ReadLine(line, sizeof(line)));
    EXPECT_STREQ(line, c.second);
    InputFile third;
    ASSERT_TRUE(third.Open(files_, "zone_chr.txt"));
    ASSERT_TRUE(third.ReadLine(line, sizeof(line)));
    EXPECT_STREQ(line, "changed\n");
    EXPECT_FALSE(third.ReadLine(line, sizeof(line)));
    EXPECT_FALSE(third.Failed());
  }
}

// The clock the log reads is the C library's, to the second.
TEST(PlatformClockTest, CountsSecondsAsTheLibraryDoes) {
  const std::time_t before = std::time(nullptr);
  const std::time_t now = SecondsNow();
  const std::time_t after = std::time(nullptr);
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
}

// Asking the system to fetch a file ahead never waits and never fails the
// caller, whatever stands at the name.
TEST_F(FileSystemTest, AdviceToReadAheadPassesOverWhatIsNoPlainFile) {
  WriteTextFile(dir_ / "plain.s3d", "abc");
  const bool fifo = testing::MakeFifo(dir_ / "fifo.s3d");
  for (const char* name : {"plain.s3d", "fifo.s3d", "missing.s3d", "."}) {
    SCOPED_TRACE(name);
    AdviseWillRead(dir_ / name);
  }
  EXPECT_EQ(testing::ReadTextFile(dir_ / "plain.s3d"), "abc");
  if (!fifo) GTEST_SKIP() << "no FIFO on this system";
}

}  // namespace
}  // namespace zira
