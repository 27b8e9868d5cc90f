#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/output_file.h"

namespace zira {

// The one place that touches the file system. Names given by the system use
// '\' as separator and are matched without regard to letter case, component
// by component, against what exists; directory listings are cached, so a
// lookup costs no directory scan once its directory has been seen.

// The real path of an existing file or directory, or false.
bool ResolveExisting(const char* name, std::string* realPath);
// The real path to create or overwrite: existing components are matched
// without regard to case, the rest is taken as written.
std::string ResolveForWriting(const char* name);

bool FileExists(const char* name);
// Size of an existing file, cut to 32 bits as the system counts sizes.
bool FileSize(const char* name, std::uint32_t* size);
bool IsDirectory(const char* name);

bool ChangeDirectory(const char* name);
bool MakeDirectory(const char* name);
// The process's current directory, cut to capacity - 1 characters.
void CurrentDirectory(char* buffer, std::size_t capacity);

// Forgets every cached listing; tests call it after changing a tree.
void ResetFileCache();
// Forgets the cached listing of one folder (its real path) after a change in it.
void ForgetCachedListing(const std::string& folder);

// A file opened for reading, in binary; text reads are line reads.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() { Close(); }

  bool Open(const char* name);
  bool IsOpen() const { return file_ != nullptr; }
  // Length of the open file, or 0.
  std::uint64_t Length();
  // Reads up to count bytes; returns how many were read.
  std::size_t Read(void* buffer, std::size_t count);
  // Reads a whole file; false when it cannot be opened or read in full.
  static bool ReadAll(const char* name, std::vector<std::uint8_t>* contents);
  // Like the C library's fgets: up to capacity - 1 bytes, stopping after a
  // newline; false at the end of the file.
  bool ReadLine(char* buffer, std::size_t capacity);
  void Close();

 private:
  std::FILE* file_ = nullptr;
};

// Writes bytes to a file in one go (used by writers of test and sample files).
bool WriteWholeFile(const char* name, const std::vector<std::uint8_t>& contents);

}  // namespace zira
