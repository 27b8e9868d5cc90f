#pragma once

#include "common/file_system.h"

namespace zira {

// The two pages share one head; they differ in title and in the script's
// section names, first section and whether section 0 can be hidden.
struct PageScript {
  const char* title;        // text of the title element
  const char* sectionName;  // "Race" or "Zone": handler, variable and id stem
  int firstSection;         // section shown when the page opens
  bool hidesSectionZero;    // the zone page's globals section is number 0
};

inline constexpr PageScript kRacePageScript = {"Ombrith Race Inventory", "Race", 1, false};
inline constexpr PageScript kZonePageScript = {"Ombrith Zone/Race Inventory", "Zone", 0, true};

// Writes everything from "<html>" to the empty line after "<body>".
void WritePageHead(OutputFile& file, const PageScript& script);

}  // namespace zira
