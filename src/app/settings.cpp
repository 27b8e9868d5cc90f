#include "app/settings.h"

#include <cstring>

#include "common/file_names.h"
#include "common/text.h"

namespace zira {

namespace {
constexpr std::size_t kLineBuffer = 256;

void RemoveTrailingBackslashes(char* path) {
  std::size_t length = std::strlen(path);
  while (length > 0 && path[length - 1] == '\\') path[--length] = '\0';
}
}  // namespace

std::size_t ReadSettingLine(InputFile& file, char* buffer) {
  // Lengths are the bytes read, not strlen: a zero byte inside a line must
  // not make the line look over-long and swallow the next one.
  std::size_t length = 0;
  while (file.ReadLine(buffer, kLineBuffer, &length)) {
    // The rest of an over-long line is read and dropped.
    if (length > 0 && buffer[length - 1] != '\n') {
      char rest[kLineBuffer];
      std::size_t n = 0;
      while (file.ReadLine(rest, sizeof(rest), &n)) {
        if (n > 0 && rest[n - 1] == '\n') break;
      }
    }
    TrimCounted(buffer, &length);
    if (length > 0) return length;
  }
  return 0;
}

void LoadSettings(ClientFolder& folder, Settings& settings) {
  settings.workingPath[0] = '\0';
  settings.outputPath[0] = '\0';

  const char* chosen = nullptr;
  char fallback[kPathCapacity];
  if (folder.FileExists(kConfigFileName)) {
    chosen = kConfigFileName;
  } else if (JoinPath(kDefaultOutputPath, kConfigFileName, fallback, sizeof(fallback)) != nullptr &&
             folder.FileExists(fallback)) {
    chosen = fallback;
  }

  InputFile file;
  if (chosen != nullptr && file.Open(folder, chosen)) {
    char line[kLineBuffer];
    while (ReadSettingLine(file, line) > 0) {
      char copy[kLineBuffer];
      char* fields[2] = {};
      if (SplitFields(line, '=', copy, sizeof(copy), fields, 2) != 2) continue;
      std::size_t keyLength = std::strlen(fields[0]);
      std::size_t valueLength = std::strlen(fields[1]);
      TrimCounted(fields[0], &keyLength);
      TrimCounted(fields[1], &valueLength);
      LowerInPlace(fields[0]);
      if (SameText(fields[0], keyLength, "obpath", 6, false)) {
        CopyText(settings.workingPath, sizeof(settings.workingPath), fields[1]);
      } else if (SameText(fields[0], keyLength, "outpath", 7, false)) {
        CopyText(settings.outputPath, sizeof(settings.outputPath), fields[1]);
      }
    }
    // A file that cannot be read to its end is one that cannot be read: defaults.
    if (file.Failed()) {
      settings.workingPath[0] = '\0';
      settings.outputPath[0] = '\0';
    }
    file.Close();
  }

  if (settings.workingPath[0] == '\0') CopyText(settings.workingPath, sizeof(settings.workingPath), kDefaultWorkingPath);
  if (settings.outputPath[0] == '\0') CopyText(settings.outputPath, sizeof(settings.outputPath), kDefaultOutputPath);
  TrimText(settings.workingPath);
  TrimText(settings.outputPath);
  RemoveTrailingBackslashes(settings.workingPath);
  RemoveTrailingBackslashes(settings.outputPath);
}

void ApplySettingOverrides(Settings& settings, const SettingOverrides& overrides) {
  if (!overrides.workingPath.empty()) {
    CopyText(settings.workingPath, sizeof(settings.workingPath), overrides.workingPath.c_str());
  }
  if (!overrides.outputPath.empty()) {
    CopyText(settings.outputPath, sizeof(settings.outputPath), overrides.outputPath.c_str());
  }
  settings.waitForKey = overrides.waitForKey;
}

}  // namespace zira
