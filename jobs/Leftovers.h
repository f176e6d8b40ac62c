// What a run that could not clean up leaves behind: the hidden files its
// conversions were writing beside their targets (TTargetFile names them
// ".Name.mp3.sondrel-<process>-<n>"), under no target's name. A later run
// removes them from the folders it writes to, where their process is gone.
#pragma once

#include <string>
#include <vector>

namespace sondrel {

// Removes such files of processes that no longer run from the folders;
// returns how many went. (A tag save's copy of a file, named without the
// "-<n>", may be all that is left of that file: it stays.)
int RemoveLeftovers(const std::vector<std::string>& folders);

}  // namespace sondrel
