#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/output_file.h"
#include "common/platform.h"
#include "common/result.h"

namespace zira {

class MachineRefusals;
struct FileFaults;

// The one place that touches the file system. Names given by the system use
// '\' as separator and are matched without regard to letter case, component
// by component, against what exists; a relative name is taken from the
// folder's root, never from the process's current folder. Directory listings
// and what the system says of each file are cached per folder object, so a
// lookup costs no directory scan or stat once its directory has been seen.
class ClientFolder {
 public:
  // root: an absolute path. faults, when given, is the test seam of the
  // outputs written through this folder.
  ClientFolder(std::string root, MachineRefusals& refusals, FileFaults* faults = nullptr);
  ~ClientFolder();
  ClientFolder(const ClientFolder&) = delete;
  ClientFolder& operator=(const ClientFolder&) = delete;

  const std::string& Root() const { return root_; }
  // Relative names are taken from root from now on; every listing is forgotten.
  void SetRoot(std::string root);
  MachineRefusals& Refusals() { return refusals_; }
  FileFaults* Faults() { return faults_; }

  // The real path of an existing file or directory, or false.
  bool ResolveExisting(const char* name, std::string* realPath);
  // The real path to create or overwrite: existing components are matched
  // without regard to case, the rest is taken as written.
  std::string ResolveForWriting(const char* name);

  bool FileExists(const char* name);
  // Size of an existing file, cut to 32 bits as the system counts sizes.
  bool FileSize(const char* name, std::uint32_t* size);
  bool IsDirectory(const char* name);
  // Whether the name is a folder that a process could enter.
  bool IsEnterableFolder(const char* name);
  bool MakeDirectory(const char* name);

  // Forgets every cached listing; tests call it after changing a tree.
  void ForgetListings();
  // Forgets the cached listing of one folder (its real path) after a change in it.
  void ForgetListing(const std::string& folder);

  // The contents of a small file read by one open, held for the next open
  // of the same real path, which takes them: a file read twice in a run is
  // read from the disk once.
  void KeepContents(const std::string& real, std::string bytes);
  bool TakeKeptContents(const std::string& real, std::string* bytes);

 private:
  struct Listing;
  const Listing* ListDirectory(const std::string& dir);
  bool Resolve(const char* name, bool allowMissing, std::string* out);
  bool StatPath(const char* name, PathInfo* info);
  bool InfoOf(const std::string& real, PathInfo* info);

  std::string root_;
  MachineRefusals& refusals_;
  FileFaults* faults_;
  std::unordered_map<std::string, std::unique_ptr<Listing>> cache_;
  std::unordered_map<std::string, PathInfo> infos_;  // by real path, while its folder's listing is kept
  std::unique_ptr<Listing> refused_;  // handed out, not kept, while the machine refuses a listing
  std::unordered_map<std::string, std::string> kept_;  // by real path
  std::size_t keptBytes_ = 0;
  static constexpr std::size_t kKeptBytesLimit = 64u << 20;
};

// The folder a plain path names its file in, and the file's own name: a
// bare name is in "." (where the system resolves it), a file at the root in "/".
std::string FolderOf(const std::string& path);
std::string LeafOf(const std::string& path);

// The process's current folder, read afresh: its path, or empty with the
// errno of the failure in *error (a path too long to read is ENAMETOOLONG).
std::string ProcessFolder(int* error = nullptr);
// The real path of a folder (links resolved, as the system names it once
// entered), or empty.
std::string RealFolderPath(const std::string& path);

// Where a plain path of this system leads, told by identity rather than by
// spelling: the file's device and inode, or, when nothing is there, those of
// its nearest existing folder and the rest of the path in lower case. Links
// are not followed at the last component.
struct FilePlace {
  enum class Kind { kMissing, kRegular, kFolder, kLink, kOther };
  Kind kind = Kind::kMissing;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::string rest;        // the missing part, folded; empty when the file is there
  const char* what = "";   // for kOther: "a FIFO", "a device", "a socket"

  bool SameAs(const FilePlace& other) const {
    return device == other.device && inode == other.inode && rest == other.rest;
  }
};
FilePlace PlaceOf(const std::string& path);

// Whether path names a regular file that can be opened for reading; opened
// without blocking, so a FIFO or device is refused at once. The reason when not.
bool IsReadableRegularFile(const std::string& path, std::string* reason);

// A whole file in one buffer of its length and one zero byte behind it, so a
// text read from it always ends.
template <typename Byte>
struct WholeFile {
  std::unique_ptr<Byte[]> bytes;
  std::size_t length = 0;
};

// A file opened for reading, in binary; text reads are line reads. Only
// regular files open: a FIFO, device, socket or directory is refused without
// blocking, as a file that cannot be opened.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() { Close(); }

  // kForNextOpen: another open of the same file follows in this run, so a
  // small file is read whole now and its bytes kept for that open, which
  // reads them as this one does.
  enum class Keeping { kNone, kForNextOpen };
  // Files up to this size are kept (the folder keeps 64 MiB at most).
  static constexpr std::uint64_t kKeptFileLimit = 1u << 20;
  bool Open(ClientFolder& folder, const char* name, Keeping keeping = Keeping::kNone);
  // The same for a name already resolved to its real path (another thread
  // resolved it): name is what refusals name.
  bool OpenResolved(const std::string& realPath, const char* name, MachineRefusals& refusals);
  bool IsOpen() const { return file_ != nullptr || inMemory_; }
  // Length of the open file when it was opened, or 0.
  std::uint64_t Length();
  // The one whole-file read: the open file, from its start, with one read into
  // a new buffer, then closed. A file of refuseFrom bytes or more cannot be
  // held (out of memory, as a failed allocation); a short read is a failure.
  template <typename Byte>
  Result ReadAll(WholeFile<Byte>& contents, std::uint64_t refuseFrom = SIZE_MAX);
  // The same into the caller's buffer, which the file's first bytes fill.
  Result ReadAllInto(std::span<std::uint8_t> buffer);
  // Reads the first count bytes and goes back to the start, so that a format
  // can refuse a file by its header before it is read whole.
  bool ReadHead(std::uint8_t* buffer, std::size_t count);
  // Like the C library's fgets: up to capacity - 1 bytes, stopping after a
  // newline; false at the end of the file or on a read error. length, when
  // given, receives the bytes read, zero bytes inside the line included.
  bool ReadLine(char* buffer, std::size_t capacity, std::size_t* length = nullptr);
  // True once a line read met a read error, or found more bytes than the
  // file held when it was opened; ReadLine's false then is not the end.
  bool Failed() const { return failed_; }
  void Close();

 private:
  bool ReadIntoMemory();

  std::FILE* file_ = nullptr;
  // The file's bytes, when they are read from memory (kept by an open before).
  std::string memory_;
  bool inMemory_ = false;
  MachineRefusals* refusals_ = nullptr;  // of the folder opened from
  std::string name_;  // as opened, for the reason line of a refused read
  std::uint64_t openedLength_ = 0;
  std::uint64_t lineBytes_ = 0;
  bool failed_ = false;
};

// Writes bytes to a file in one go (used by writers of test and sample files):
// a relative name is taken from the process's current folder.
bool WriteWholeFile(const char* name, const std::vector<std::uint8_t>& contents);

}  // namespace zira
