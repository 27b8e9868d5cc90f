#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "client/gender.h"
#include "common/capacities.h"
#include "common/file_system.h"
#include "common/session_log.h"

namespace zira {

class TaskRunner;

// Forms the base name "<edition short>_<fixed name>" into baseName
// (kPathCapacity bytes, used by the messages) and opens its replacement in the
// output directory. False when the joined path does not fit or the file cannot
// be created.
bool OpenReportFile(ClientFolder& folder, OutputFile& file, const char* editionShort, const char* outputPath,
                    const char* fixedName, char* baseName);

// Renames a report opened with OpenReportFile into place once it is whole.
// A report whose writing failed is reported like one that could not be
// opened (openFailure with the base name), then with the system's reason.
bool CommitReportFile(SessionLog& log, OutputFile& file, const char* openFailure, const char* baseName);

// Writes sections 0 to count - 1 into file in their order. With more than one
// thread, runs of sections are written into memory by all of them at once,
// then into the file in order: the file gets the same text either way. The
// section writer is called from several threads and must only read.
void WriteSectionsInParts(TaskRunner& runner, OutputFile& file, std::size_t count,
                          const std::function<void(OutputFile&, std::size_t)>& section);

// Present and not empty.
inline bool HasText(const char* text) { return text != nullptr && text[0] != '\0'; }
// The text, or the fallback when it is missing or empty.
inline const char* TextOr(const char* text, const char* fallback) { return HasText(text) ? text : fallback; }

// "M", "F", "N" for male, female, neutral; 0 for none.
char GenderLetter(Gender gender);

}  // namespace zira
