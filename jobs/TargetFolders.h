// The folders a batch makes below its output folder for a tree of
// sources: each made when the first file that goes there starts, and
// those left empty at the end (every file for them failed or was stopped)
// taken away again, deepest first. Folders that were there before are
// never touched. Safe for several workers at once.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace sondrel {

class TTargetFolders {
public:
    // The folder of target exists afterwards, made as far as needed; false
    // where it could not be made (the conversion then says it cannot
    // create its target).
    bool Prepare(const std::string& target);
    // Takes away the folders made here that are empty now.
    void RemoveEmpty();

private:
    std::mutex mutex_;
    std::vector<std::string> made_;  // in the order made: parents first
};

}  // namespace sondrel
