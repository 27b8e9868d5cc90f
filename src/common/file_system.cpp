#include "common/file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <unordered_map>

namespace zira {

namespace {

std::string FoldName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// One directory's entries, by their case-folded name. Where several entries
// fold alike, an exact match wins, else the first in byte order.
struct Listing {
  std::unordered_map<std::string, std::vector<std::string>> byFolded;
};

std::unordered_map<std::string, std::unique_ptr<Listing>>& Cache() {
  static std::unordered_map<std::string, std::unique_ptr<Listing>> cache;
  return cache;
}

std::string& CachedCwd() {
  static std::string cwd;
  return cwd;
}

const std::string& Cwd() {
  std::string& cwd = CachedCwd();
  if (cwd.empty()) {
    char buffer[4096];
    if (::getcwd(buffer, sizeof(buffer)) != nullptr) cwd = buffer;
    else cwd.assign(1, '/');
  }
  return cwd;
}

const Listing* ListDirectory(const std::string& dir) {
  auto& cache = Cache();
  auto found = cache.find(dir);
  if (found != cache.end()) return found->second.get();
  auto listing = std::make_unique<Listing>();
  if (DIR* handle = ::opendir(dir.c_str())) {
    while (const dirent* entry = ::readdir(handle)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      listing->byFolded[FoldName(name)].push_back(name);
    }
    ::closedir(handle);
    for (auto& [key, names] : listing->byFolded) std::sort(names.begin(), names.end());
  }
  const Listing* result = listing.get();
  cache.emplace(dir, std::move(listing));
  return result;
}

void ForgetDirectory(const std::string& dir) { Cache().erase(dir); }

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return Cwd();
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Splits a name at '\' and '/', resolving each component against the cached
// listing of the directory so far. Components that do not exist are kept as
// written when allowMissing is set; otherwise the lookup fails.
bool Resolve(const char* name, bool allowMissing, std::string* out) {
  if (name == nullptr || name[0] == '\0') return false;
  std::string path;
  std::size_t i = 0;
  if (name[0] == '/' || name[0] == '\\') {
    path = "/";
    i = 1;
  } else {
    path = Cwd();
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
      path = ParentOf(path);
      continue;
    }
    std::string chosen = component;
    if (!missing) {
      const Listing* listing = ListDirectory(path);
      auto hit = listing->byFolded.find(FoldName(component));
      if (hit == listing->byFolded.end()) {
        if (!allowMissing) return false;
        missing = true;
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

bool StatPath(const char* name, struct stat* info) {
  std::string real;
  if (!Resolve(name, false, &real)) return false;
  return ::stat(real.c_str(), info) == 0;
}

}  // namespace

bool ResolveExisting(const char* name, std::string* realPath) {
  std::string real;
  if (!Resolve(name, false, &real)) return false;
  struct stat info {};
  if (::stat(real.c_str(), &info) != 0) return false;
  if (realPath != nullptr) *realPath = real;
  return true;
}

std::string ResolveForWriting(const char* name) {
  std::string real;
  if (!Resolve(name, true, &real)) return std::string();
  return real;
}

bool FileExists(const char* name) {
  struct stat info {};
  return name != nullptr && StatPath(name, &info);
}

bool FileSize(const char* name, std::uint32_t* size) {
  struct stat info {};
  if (name == nullptr || !StatPath(name, &info)) return false;
  if (size != nullptr) *size = static_cast<std::uint32_t>(info.st_size);
  return true;
}

bool IsDirectory(const char* name) {
  struct stat info {};
  return name != nullptr && StatPath(name, &info) && S_ISDIR(info.st_mode);
}

bool ChangeDirectory(const char* name) {
  std::string real;
  if (name == nullptr || !Resolve(name, false, &real)) return false;
  if (::chdir(real.c_str()) != 0) return false;
  CachedCwd().clear();
  return true;
}

bool MakeDirectory(const char* name) {
  const std::string real = ResolveForWriting(name);
  if (real.empty()) return false;
  if (::mkdir(real.c_str(), 0777) != 0) return false;
  ForgetDirectory(ParentOf(real));
  return true;
}

void CurrentDirectory(char* buffer, std::size_t capacity) {
  if (buffer == nullptr || capacity == 0) return;
  const std::string& cwd = Cwd();
  const std::size_t n = std::min(cwd.size(), capacity - 1);
  std::memcpy(buffer, cwd.data(), n);
  buffer[n] = '\0';
}

void ForgetCachedListing(const std::string& folder) { ForgetDirectory(folder); }

void ResetFileCache() {
  Cache().clear();
  CachedCwd().clear();
}

bool InputFile::Open(const char* name) {
  Close();
  std::string real;
  if (name == nullptr || !ResolveExisting(name, &real)) return false;
  file_ = std::fopen(real.c_str(), "rb");
  return file_ != nullptr;
}

std::uint64_t InputFile::Length() {
  if (file_ == nullptr) return 0;
  struct stat info {};
  if (::fstat(::fileno(file_), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

std::size_t InputFile::Read(void* buffer, std::size_t count) {
  if (file_ == nullptr || buffer == nullptr || count == 0) return 0;
  return std::fread(buffer, 1, count, file_);
}

bool InputFile::ReadAll(const char* name, std::vector<std::uint8_t>* contents) {
  InputFile file;
  if (contents == nullptr || !file.Open(name)) return false;
  const std::uint64_t length = file.Length();
  contents->resize(static_cast<std::size_t>(length));
  return file.Read(contents->data(), contents->size()) == contents->size();
}

bool InputFile::ReadLine(char* buffer, std::size_t capacity) {
  if (file_ == nullptr || buffer == nullptr || capacity < 2) return false;
  const int room = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(capacity);
  return std::fgets(buffer, room, file_) != nullptr;
}

void InputFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

bool WriteWholeFile(const char* name, const std::vector<std::uint8_t>& contents) {
  OutputFile file;
  if (!file.Open(name)) return false;
  file.Write(contents.data(), contents.size());
  return file.Commit() == 0;
}

}  // namespace zira
