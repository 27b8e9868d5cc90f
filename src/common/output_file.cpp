#include "common/output_file.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/platform.h"

namespace zira {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

FileFaults* FaultsOf(ClientFolder* folder) { return folder != nullptr ? folder->Faults() : nullptr; }

}  // namespace

bool OutputFile::Open(ClientFolder& folder, const char* name) {
  Close();
  if (name == nullptr || name[0] == '\0') return false;
  folder_ = &folder;
  path_ = folder.ResolveForWriting(name);
  if (path_.empty()) return false;
  // A new file takes the name at once and is then written in place: a link
  // standing at the name is replaced, not followed, so its target is never written.
  FileReplacement fresh;
  if (const int error = fresh.Begin(path_)) {
    folder.Refusals().Note(error, LeafOf(path_).c_str());
    return false;
  }
  fd_ = fresh.PlaceEmpty();
  if (fd_ == kNoFile) return false;
  Start(false);
  folder.ForgetListing(FolderOf(path_));
  return true;
}

bool OutputFile::OpenReplacing(ClientFolder& folder, const char* name) {
  Close();
  if (name == nullptr || name[0] == '\0') return false;
  folder_ = &folder;
  path_ = folder.ResolveForWriting(name);
  if (path_.empty()) return false;
  if (const int error = replacement_.Begin(path_, folder.Faults())) {
    folder.Refusals().Note(error, LeafOf(path_).c_str());
    return false;
  }
  fd_ = replacement_.Descriptor();
  Start(true);
  return true;
}

void OutputFile::OpenInMemory() {
  Close();
  folder_ = nullptr;
  path_.clear();
  inMemory_ = true;
  Start(false);
}

std::string OutputFile::TakeText() {
  std::string text;
  if (inMemory_) text.swap(buffer_);
  Close();
  return text;
}

void OutputFile::Start(bool replacing) {
  replacing_ = replacing;
  error_ = 0;
  flushed_ = 0;
  buffer_.clear();
  // A part kept in memory is small and one of many: it grows as it needs.
  if (!inMemory_) buffer_.reserve(kBufferSize);
}

bool OutputFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  buffer_.clear();
  return false;
}

void OutputFile::Write(const void* data, std::size_t count) {
  if ((fd_ == kNoFile && !inMemory_) || error_ != 0 || data == nullptr || count == 0) return;
  buffer_.append(static_cast<const char*>(data), count);
  if (buffer_.size() >= kBufferSize && !inMemory_) static_cast<void>(Flush());
}

void OutputFile::Write(const char* text) {
  if (text != nullptr) Write(text, std::strlen(text));
}

void OutputFile::Print(const char* format, ...) {
  if ((fd_ == kNoFile && !inMemory_) || error_ != 0 || format == nullptr) return;
  char small[1024];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof(small), format, args);
  va_end(args);
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof(small)) {
    Write(small, static_cast<std::size_t>(length));
  } else if (length >= 0) {
    std::string large(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, again);
    Write(large.data(), static_cast<std::size_t>(length));
  }
  va_end(again);
}

bool OutputFile::Flush() {
  if (fd_ == kNoFile || error_ != 0) return false;
  if (const int injected = InjectedFileFault(FaultsOf(folder_), FileOperation::kFlush)) return Fail(injected);
  std::size_t done = 0;
  while (done < buffer_.size()) {
    std::size_t written = 0;
    int error = InjectedFileFault(FaultsOf(folder_), FileOperation::kWrite);
    if (error == 0) error = WriteSome(fd_, buffer_.data() + done, buffer_.size() - done, &written);
    if (error == EINTR) continue;
    if (error != 0 || written == 0) {
      // Cut a file written in place back to where its writer last flushed.
      if (!replacing_ && !TruncateFile(fd_, flushed_)) {
        // Nothing more can be done; the error below says the file is incomplete.
      }
      return Fail(error != 0 ? error : ENOSPC);
    }
    done += written;
  }
  flushed_ += done;
  buffer_.clear();
  return true;
}

int OutputFile::Commit() {
  if (fd_ == kNoFile) return error_ != 0 ? error_ : EBADF;
  static_cast<void>(Flush());
  if (replacing_) {
    // The replacement's descriptor: it syncs and closes it, then renames.
    fd_ = kNoFile;
    replacing_ = false;
    if (error_ == 0) {
      if (const int error = replacement_.Finish()) Fail(error);
    }
    replacement_.Abandon();
    folder_->ForgetListing(FolderOf(path_));
    return error_;
  }
  const int injected = InjectedFileFault(FaultsOf(folder_), FileOperation::kClose);
  const int closeError = CloseFile(fd_);
  if (closeError != 0 || injected != 0) Fail(injected != 0 ? injected : closeError);
  fd_ = kNoFile;
  return error_;
}

void OutputFile::Close() {
  if (inMemory_) {
    inMemory_ = false;
    buffer_.clear();
  }
  if (fd_ == kNoFile) return;
  if (replacing_) {
    fd_ = kNoFile;
    replacing_ = false;
    replacement_.Abandon();
    return;
  }
  static_cast<void>(Commit());
}

FolderLock OutputFolderLock::Take(ClientFolder& files, const char* outputPath, int* error) {
  Release();
  int unused = 0;
  int& why = error != nullptr ? *error : unused;
  why = ENOENT;
  std::string folder;
  if (outputPath == nullptr || !files.ResolveExisting(outputPath, &folder)) return FolderLock::kUnavailable;
  const std::string path = folder + "/" + kOutputLockName;
  FileHandle file = kNoFile;
  const LockAttempt attempt = LockFileWithoutWaiting(path, &file, &why);
  if (attempt != LockAttempt::kTaken) {
    return attempt == LockAttempt::kHeldElsewhere ? FolderLock::kHeldElsewhere : FolderLock::kUnavailable;
  }
  fd_ = file;
  // Held here, the folder gets no reports from another run; what another
  // writer holds (a database beside the reports) stays.
  RemoveLeftoverTemporaries(folder);
  files.ForgetListing(folder);
  return FolderLock::kTaken;
}

void OutputFolderLock::Release() {
  if (fd_ != kNoFile) static_cast<void>(CloseFile(fd_));
  fd_ = kNoFile;
}

}  // namespace zira
