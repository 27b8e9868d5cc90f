#include "reports/report_output.h"

#include <cstdio>
#include <cstring>

#include "common/machine_refusal.h"
#include "common/session_log.h"
#include "common/text.h"

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

char GenderLetter(Gender gender) {
  static constexpr char kLetters[] = {'M', 'F', 'N'};
  return IsGender(gender) ? kLetters[GenderNumber(gender) - 1] : 0;
}

}  // namespace zira
