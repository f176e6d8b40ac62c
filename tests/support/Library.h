// A music collection as people keep one, for the tests of a collection
// converted as a whole (sondrel-cli and the window alike): albums of WAVs
// with covers, playlists (relative, absolute, Latin-1 and missing
// entries, Windows line endings), a single-file cue sheet with clicks at
// its INDEX times and per-track ones, and an output folder from earlier
// runs (a stale target, one another program made, a killed run's hidden
// leftovers). Check says what is wrong with the output folder after a
// run that converted and skipped as it should; empty when nothing is.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

struct Library {
    std::filesystem::path given, out;
    std::vector<std::string> targets;  // relative to out, every one once
    // Made by another program, newer than its source: a run that skips
    // what is done keeps it byte for byte.
    std::string foreign;
    std::vector<std::uint8_t> foreignBytes;

    explicit Library(const std::filesystem::path& root);
    // The output folder as a run with skipping leaves it: every target
    // there once, whole (its source's exact length), the foreign one kept,
    // no numbered twin, no hidden file; covers with their bytes and times;
    // playlists and cue sheets renamed; a click at each INDEX time on the
    // same sample in the decoded target.
    std::string Check() const;
};

}  // namespace testing_support
