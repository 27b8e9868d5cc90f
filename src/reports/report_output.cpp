#include "reports/report_output.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "common/machine_refusal.h"
#include "common/session_log.h"
#include "common/text.h"
#include "common/worker_pool.h"

namespace zira {

bool OpenReportFile(ClientFolder& folder, OutputFile& file, const char* editionShort, const char* outputPath,
                    const char* fixedName, char* baseName) {
  std::snprintf(baseName, kPathCapacity, "%s_%s", editionShort ? editionShort : "", fixedName);
  char path[kPathCapacity];
  if (JoinPath(outputPath ? outputPath : "", baseName, path, sizeof(path)) == nullptr) return false;
  return file.OpenReplacing(folder, path);
}

bool CommitReportFile(SessionLog& log, OutputFile& file, const char* openFailure, const char* baseName) {
  const int error = file.Commit();
  if (error == 0) return true;
  // A refusal's reason line follows the failure line through the log.
  log.refusals().Note(error, baseName);
  log.Both(openFailure, baseName);
  if (!IsMachineRefusal(error)) log.Both("  %s: %s", baseName, std::strerror(error));
  return false;
}

void WriteSectionsInParts(TaskRunner& runner, OutputFile& file, std::size_t count,
                          const std::function<void(OutputFile&, std::size_t)>& section) {
  // Many runs for each thread: a few sections cost far more than the rest,
  // and a run that holds several would hold the others up.
  constexpr std::size_t kPartsPerThread = 64;
  const std::size_t threads = runner.Workers();
  if (threads <= 1 || count < 2) {
    for (std::size_t at = 0; at < count; ++at) section(file, at);
    return;
  }
  struct Parts {
    const std::function<void(OutputFile&, std::size_t)>& section;
    std::size_t count;
    std::vector<std::string> texts;
    std::atomic<bool> outOfMemory{false};
  } parts{section, count, std::vector<std::string>(std::min(count, threads * kPartsPerThread)), {}};
  runner.ForEach(parts.texts.size(), [](void* context, std::size_t index, unsigned) {
    Parts& of = *static_cast<Parts*>(context);
    const std::size_t partCount = of.texts.size();
    // Another thread's exception would end the process: it is passed on below.
    try {
      // Written here and stored once: parts side by side would share cache lines.
      OutputFile text;
      text.OpenInMemory();
      for (std::size_t at = index * of.count / partCount; at < (index + 1) * of.count / partCount; ++at) {
        of.section(text, at);
      }
      of.texts[index] = text.TakeText();
    } catch (const std::bad_alloc&) {
      of.outOfMemory = true;
    }
  }, &parts);
  if (parts.outOfMemory) throw std::bad_alloc();
  for (const std::string& text : parts.texts) file.Write(text.data(), text.size());
}

char GenderLetter(Gender gender) {
  static constexpr char kLetters[] = {'M', 'F', 'N'};
  return IsGender(gender) ? kLetters[GenderNumber(gender) - 1] : 0;
}

}  // namespace zira
