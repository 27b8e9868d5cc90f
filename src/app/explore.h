#pragma once

namespace zira {

// Exit codes of `zira explore`, as a run has them.
inline constexpr int kExploreWritten = 0;
inline constexpr int kExploreNoDatabase = 1;  // missing, not an inventory, or of another schema version
inline constexpr int kExploreNotWritten = 6;

// `zira explore INVENTORY.db PAGE.html`: args are the words after "explore".
int RunExploreCommand(int argc, char** argv);

}  // namespace zira
