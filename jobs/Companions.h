// What people keep beside the audio, taken along into a batch's own
// output folder: a source folder's covers (images, copied with their
// bytes and modification time) and its playlists and cue sheets (written
// with each converted entry renamed to its target, jobs/Playlists.h).
// They follow the targets' rules: a file already there with the same
// content is left as it is; one of other content is replaced only where
// the user agreed (or, skipping what is done, where it is older than its
// source), otherwise the new one gets the next free "Name (2).ext". Each is
// written beside its place and put there whole, like the targets.
#pragma once

#include <string>
#include <vector>

#include "jobs/Placer.h"

namespace sondrel {

struct TCompanionRules {
    bool Replace = false;       // the user agreed to replace
    bool SkipExisting = false;  // one at least as new as its source is done
};

struct TCompanions {
    int Written = 0;
    // Playlists and cue sheets that could not be read as such (copied as
    // they are).
    std::vector<std::string> Unreadable;
};

// For every folder of sources whose targets go to another folder: its
// companions there. converted[i] says whether sources[i]'s target
// (targets[i]) is there: a playlist's entries of other files stay.
TCompanions CarryCompanions(const std::vector<std::string>& sources, const std::vector<std::string>& targets,
                            const std::vector<bool>& converted, const TCompanionRules& rules, TPlacer& placer);

}  // namespace sondrel
