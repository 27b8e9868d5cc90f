#include "common/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <unordered_map>

#include "common/machine_refusal.h"
#include "common/platform.h"

namespace zira {

namespace {

std::string FoldName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool ExistsAsWritten(const std::string& dir, const std::string& component) {
  const std::string path = dir.back() == '/' ? dir + component : dir + "/" + component;
  return InfoOfPath(path, false, nullptr);
}

}  // namespace

// One directory's entries, by their case-folded name. Where several entries
// fold alike, an exact match wins, else the first in byte order.
struct ClientFolder::Listing {
  std::unordered_map<std::string, std::vector<std::string>> byFolded;
  bool listed = false;
  int refused = 0;  // the machine's errno when it would not list the folder
};

ClientFolder::ClientFolder(std::string root, MachineRefusals& refusals, FileFaults* faults)
    : root_(std::move(root)), refusals_(refusals), faults_(faults), refused_(std::make_unique<Listing>()) {}

ClientFolder::~ClientFolder() = default;

void ClientFolder::SetRoot(std::string root) {
  root_ = std::move(root);
  cache_.clear();
}

const ClientFolder::Listing* ClientFolder::ListDirectory(const std::string& dir) {
  auto found = cache_.find(dir);
  if (found != cache_.end()) return found->second.get();
  auto listing = std::make_unique<Listing>();
  std::vector<std::string> names;
  std::vector<ListedInfo> listed;
  if (const int error = ListFolder(dir, &names, &listed); error == 0) {
    listing->listed = true;
    // What the listing already told spares asking each entry again.
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";
    for (std::size_t i = 0; i < names.size() && i < listed.size(); ++i) {
      if (listed[i].known) infos_.emplace(prefix + names[i], listed[i].info);
    }
    for (std::string& name : names) listing->byFolded[FoldName(name)].push_back(std::move(name));
    for (auto& [key, alike] : listing->byFolded) std::sort(alike.begin(), alike.end());
  } else if (IsMachineRefusal(error)) {
    // Not kept: the folder is listed again once the machine has room.
    refused_->refused = error;
    return refused_.get();
  }
  const Listing* result = listing.get();
  cache_.emplace(dir, std::move(listing));
  return result;
}

// Splits a name at '\' and '/', resolving each component against the cached
// listing of the directory so far. Components that do not exist are kept as
// written when allowMissing is set; otherwise the lookup fails.
bool ClientFolder::Resolve(const char* name, bool allowMissing, std::string* out) {
  if (name == nullptr || name[0] == '\0') return false;
  std::string path;
  std::size_t i = 0;
  const std::size_t root = RootLengthOf(name);
  if (root > 1) {
    // A drive or share: its root as written, with the separator used below.
    for (std::size_t k = 0; k < root; ++k) path += name[k] == '\\' ? '/' : name[k];
    i = root;
  } else if (root == 1 || name[0] == '\\') {
    path.push_back('/');  // path is still empty
    i = 1;
  } else {
    // Without the root's path a relative name has no place.
    path = root_;
    if (path.empty()) return false;
  }
  bool missing = false;
  const std::size_t length = std::strlen(name);
  while (i <= length) {
    std::size_t j = i;
    while (j < length && name[j] != '\\' && name[j] != '/') ++j;
    std::string component(name + i, j - i);
    i = j + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      path = FolderOf(path);
      continue;
    }
    std::string chosen = component;
    if (!missing) {
      const Listing* listing = ListDirectory(path);
      auto hit = listing->byFolded.find(FoldName(component));
      if (hit == listing->byFolded.end()) {
        // A folder that can be entered but not listed still opens a name
        // spelt exactly; only letter case cannot be matched there.
        const bool exact = !listing->listed && ExistsAsWritten(path, component);
        if (!exact && listing->refused != 0) {
          refusals_.Note(listing->refused, name);
          return false;
        }
        if (!exact && !allowMissing) return false;
        missing = !exact;
      } else {
        chosen = hit->second.front();
        for (const std::string& candidate : hit->second) {
          if (candidate == component) chosen = candidate;
        }
      }
    }
    if (path.back() != '/') path += '/';
    path += chosen;
  }
  *out = path;
  return true;
}

bool ClientFolder::StatPath(const char* name, PathInfo* info) {
  std::string real;
  if (!Resolve(name, false, &real)) return false;
  return InfoOf(real, info);
}

// What stands at a real path the listings hold, asked of the system once:
// discovery asks after the same packages several times.
bool ClientFolder::InfoOf(const std::string& real, PathInfo* info) {
  auto known = infos_.find(real);
  if (known == infos_.end()) {
    PathInfo found;
    // Only what exists is kept: a refusal may pass.
    if (!InfoOfPath(real, true, &found)) return false;
    known = infos_.emplace(real, found).first;
  }
  if (info != nullptr) *info = known->second;
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of(PathSeparators());
  if (slash == std::string::npos) return ".";
  // A root keeps its slash: "/", "C:\", "\\server\share\".
  const std::size_t root = RootLengthOf(path);
  return slash < root ? path.substr(0, root) : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) { return path.substr(path.find_last_of(PathSeparators()) + 1); }

bool ClientFolder::ResolveExisting(const char* name, std::string* realPath) {
  std::string real;
  if (!Resolve(name, false, &real)) return false;
  if (!InfoOf(real, nullptr)) return false;
  if (realPath != nullptr) *realPath = real;
  return true;
}

std::string ClientFolder::ResolveForWriting(const char* name) {
  std::string real;
  if (!Resolve(name, true, &real)) return std::string();
  return real;
}

bool ClientFolder::FileExists(const char* name) {
  PathInfo info;
  return name != nullptr && StatPath(name, &info);
}

bool ClientFolder::FileSize(const char* name, std::uint32_t* size) {
  PathInfo info;
  if (name == nullptr || !StatPath(name, &info)) return false;
  if (size != nullptr) *size = static_cast<std::uint32_t>(info.size);
  return true;
}

bool ClientFolder::IsDirectory(const char* name) {
  PathInfo info;
  return name != nullptr && StatPath(name, &info) && info.kind == PathKind::kFolder;
}

bool ClientFolder::IsEnterableFolder(const char* name) {
  std::string real;
  PathInfo info;
  return name != nullptr && Resolve(name, false, &real) && InfoOfPath(real, true, &info) &&
         info.kind == PathKind::kFolder && CanEnterFolder(real);
}

bool ClientFolder::MakeDirectory(const char* name) {
  const std::string real = ResolveForWriting(name);
  if (real.empty()) return false;
  if (!MakeFolder(real)) return false;
  ForgetListing(FolderOf(real));
  return true;
}

std::string ProcessFolder(int* error) { return CurrentFolder(error); }

std::string RealFolderPath(const std::string& path) { return RealPathOf(path); }

void ClientFolder::ForgetListing(const std::string& folder) {
  cache_.erase(folder);
  std::erase_if(infos_, [&](const auto& known) { return FolderOf(known.first) == folder; });
  std::erase_if(kept_, [&](const auto& kept) {
    if (FolderOf(kept.first) != folder) return false;
    keptBytes_ -= kept.second.size();
    return true;
  });
}

void ClientFolder::ForgetListings() {
  cache_.clear();
  infos_.clear();
  kept_.clear();
  keptBytes_ = 0;
}

void ClientFolder::KeepContents(const std::string& real, std::string bytes) {
  // Hostile lists could be many and large: past the budget, files are read again.
  if (kept_.count(real) != 0 || bytes.size() > kKeptBytesLimit - keptBytes_) return;
  keptBytes_ += bytes.size();
  kept_.emplace(real, std::move(bytes));
}

bool ClientFolder::TakeKeptContents(const std::string& real, std::string* bytes) {
  auto kept = kept_.find(real);
  if (kept == kept_.end()) return false;
  keptBytes_ -= kept->second.size();
  *bytes = std::move(kept->second);
  kept_.erase(kept);
  return true;
}

FilePlace PlaceOf(const std::string& path) {
  FilePlace place;
  PathInfo info;
  if (!path.empty() && InfoOfPathWithIdentity(path, false, &info)) {
    place.device = info.device;
    place.inode = info.inode;
    place.size = info.size;
    switch (info.kind) {
      case PathKind::kRegular: place.kind = FilePlace::Kind::kRegular; break;
      case PathKind::kFolder: place.kind = FilePlace::Kind::kFolder; break;
      case PathKind::kLink: place.kind = FilePlace::Kind::kLink; break;
      case PathKind::kFifo: place.kind = FilePlace::Kind::kOther; place.what = "a FIFO"; break;
      case PathKind::kSocket: place.kind = FilePlace::Kind::kOther; place.what = "a socket"; break;
      case PathKind::kDevice: place.kind = FilePlace::Kind::kOther; place.what = "a device"; break;
    }
    return place;
  }
  // Up to the nearest folder that is there; what is missing below it is kept by name.
  std::string folder = std::filesystem::path(path.empty() ? "." : path).lexically_normal().string();
  // A trailing separator names the same place; a root keeps its own.
  const std::size_t root = std::max<std::size_t>(RootLengthOf(folder), 1);
  while (folder.size() > root && std::strchr(PathSeparators(), folder.back()) != nullptr) folder.pop_back();
  while (!InfoOfPathWithIdentity(folder, true, &info)) {
    const std::string leaf = FoldName(LeafOf(folder));
    place.rest = place.rest.empty() ? leaf : leaf + "/" + place.rest;
    const std::string up = FolderOf(folder);
    // A root that is not there (a drive without a disk) ends the climb.
    if (up == folder || (up == "/" && !InfoOfPathWithIdentity("/", true, &info))) break;
    folder = up;
  }
  place.device = info.device;
  place.inode = info.inode;
  return place;
}

bool IsReadableRegularFile(const std::string& path, std::string* reason) {
  int error = 0;
  const FileHandle file = OpenForReading(path, &error);
  if (file == kNoFile) {
    *reason = std::strerror(error);
    return false;
  }
  PathInfo info;
  const bool known = InfoOfFile(file, &info);
  const bool regular = known && info.kind == PathKind::kRegular;
  if (!regular) {
    *reason = known && info.kind == PathKind::kFifo     ? "a FIFO, not a regular file"
              : known && info.kind == PathKind::kFolder ? "a folder, not a regular file"
                                                        : "a device or socket, not a regular file";
  }
  static_cast<void>(CloseFile(file));
  return regular;
}

bool InputFile::Open(ClientFolder& folder, const char* name, Keeping keeping) {
  Close();
  std::string real;
  if (name == nullptr || !folder.ResolveExisting(name, &real)) return false;
  if (folder.TakeKeptContents(real, &memory_)) {
    inMemory_ = true;
    refusals_ = &folder.Refusals();
    openedLength_ = memory_.size();
    name_ = name;
    if (keeping == Keeping::kForNextOpen) folder.KeepContents(real, memory_);
    return true;
  }
  if (!OpenResolved(real, name, folder.Refusals())) return false;
  if (keeping == Keeping::kForNextOpen && openedLength_ <= kKeptFileLimit && ReadIntoMemory()) {
    folder.KeepContents(real, memory_);
  }
  return true;
}

// The whole file, read now into memory, if it reads exactly as long as it
// was when opened; otherwise the stream is left at its start for line reads,
// which then meet the read error or the growth themselves.
bool InputFile::ReadIntoMemory() {
  std::string bytes(static_cast<std::size_t>(openedLength_), '\0');
  const bool whole = std::fread(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
                     std::fgetc(file_) == EOF && std::ferror(file_) == 0;
  if (!whole) {
    std::clearerr(file_);
    if (std::fseek(file_, 0, SEEK_SET) != 0) failed_ = true;
    return false;
  }
  std::fclose(file_);
  file_ = nullptr;
  memory_ = std::move(bytes);
  inMemory_ = true;
  return true;
}

bool InputFile::OpenResolved(const std::string& real, const char* name, MachineRefusals& refusals) {
  Close();
  if (name == nullptr) return false;
  refusals_ = &refusals;
  // Non-blocking, so that opening a FIFO without a writer returns at once;
  // the check that follows refuses it anyway.
  int error = 0;
  PathInfo info;
  const FileHandle file = OpenForReading(real, &error, &info);
  if (file == kNoFile) {
    refusals_->Note(error, name);
    return false;
  }
  if (info.kind != PathKind::kRegular || !MakeReadsBlocking(file)) {
    static_cast<void>(CloseFile(file));
    return false;
  }
  file_ = StreamOverFile(file, "rb");
  if (file_ == nullptr) {
    refusals_->Note(errno, name);
    static_cast<void>(CloseFile(file));
    return false;
  }
  openedLength_ = info.size;
  name_ = name;
  return true;
}

std::uint64_t InputFile::Length() { return IsOpen() ? openedLength_ : 0; }

template <typename Byte>
Result InputFile::ReadAll(WholeFile<Byte>& contents, std::uint64_t refuseFrom) {
  static_assert(sizeof(Byte) == 1);
  if (!IsOpen()) return Fail("file not open");
  const std::uint64_t length = Length();
  if (length >= refuseFrom || length >= SIZE_MAX) return OutOfMemory("file too long to hold");
  std::unique_ptr<Byte[]> bytes(new (std::nothrow) Byte[static_cast<std::size_t>(length) + 1]);
  if (!bytes) {
    if (refusals_ != nullptr) refusals_->Note(ENOMEM, name_.c_str());
    return OutOfMemory("no memory for the file");
  }
  const std::size_t size = static_cast<std::size_t>(length);
  const Result read = ReadAllInto({reinterpret_cast<std::uint8_t*>(bytes.get()), size});
  if (zira::Failed(read)) return read;
  bytes[size] = Byte{0};
  contents.bytes = std::move(bytes);
  contents.length = size;
  return kSuccess;
}

Result InputFile::ReadAllInto(std::span<std::uint8_t> buffer) {
  if (!IsOpen()) return Fail("file not open");
  // An empty file is an empty buffer, not a failed read.
  if (inMemory_) {
    if (buffer.size() > memory_.size()) return Fail("short read");
    std::memcpy(buffer.data(), memory_.data(), buffer.size());
  } else if (!buffer.empty() && std::fread(buffer.data(), 1, buffer.size(), file_) != buffer.size()) {
    return Fail("short read");
  }
  Close();
  return kSuccess;
}

bool InputFile::ReadHead(std::uint8_t* buffer, std::size_t count) {
  if (inMemory_) {
    if (count > memory_.size()) return false;
    std::memcpy(buffer, memory_.data(), count);
    return true;
  }
  if (file_ == nullptr) return false;
  const bool read = std::fread(buffer, 1, count, file_) == count;
  return std::fseek(file_, 0, SEEK_SET) == 0 && read;
}

template Result InputFile::ReadAll(WholeFile<char>&, std::uint64_t);
template Result InputFile::ReadAll(WholeFile<std::uint8_t>&, std::uint64_t);

bool InputFile::ReadLine(char* buffer, std::size_t capacity, std::size_t* length) {
  if (length != nullptr) *length = 0;
  if (!IsOpen() || buffer == nullptr || capacity < 2 || failed_) return false;
  std::size_t n = 0;
  while (n + 1 < capacity) {
    const int c = inMemory_ ? (lineBytes_ < memory_.size() ? static_cast<unsigned char>(memory_[lineBytes_]) : EOF)
                            : std::getc(file_);
    if (c == EOF) break;
    // A file that yields more than it held when opened is being written
    // without end; stop rather than read forever.
    if (++lineBytes_ > openedLength_) {
      failed_ = true;
      break;
    }
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  if (!inMemory_ && std::ferror(file_) != 0) failed_ = true;
  if (failed_) return false;
  if (length != nullptr) *length = n;
  return n > 0;
}

void InputFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  memory_.clear();
  inMemory_ = false;
  openedLength_ = 0;
  lineBytes_ = 0;
  failed_ = false;
}

bool WriteWholeFile(const char* name, const std::vector<std::uint8_t>& contents) {
  MachineRefusals refusals;
  ClientFolder here(ProcessFolder(), refusals);
  OutputFile file;
  if (!file.Open(here, name)) return false;
  file.Write(contents.data(), contents.size());
  return file.Commit() == 0;
}

}  // namespace zira
