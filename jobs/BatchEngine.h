// A batch on several workers, for every front end (the window and
// sondrel-cli): each worker has its own core and convertors and takes the
// next file of the list until none is left, so the targets are byte for
// byte those of one worker. All target names are decided before the first
// file starts; the folders of a tree of sources below an own output folder
// are made as their first file starts, and taken away again where they
// stay empty. No file starts after a cancel or after a failure that ends
// a batch (a failed write: a full disk fails every file after it); a
// cancel stops every worker at its next chunk. Every target is written
// under a hidden name beside its place and put there only whole
// (jobs/Placer.h): a file that does not finish leaves no target (a file
// it was replacing stays as it was), whatever stopped it, a crash or kill
// -9 too; the hidden files such a run leaves are removed by the next one
// (jobs/Leftovers.h). Skipping what is done makes a run again convert
// only what is missing or outdated. Into an own output folder the
// sources' covers, playlists and cue sheets go along (jobs/Companions.h).
// Memory is bounded by the workers, not the files.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "codec/FormatCatalogue.h"
#include "jobs/BatchProgress.h"
#include "jobs/ConverterCore.h"

namespace sondrel {

struct TBatchJob {
    TBatchSettings Batch;
    bool ToWav = true;  // MP3 to WAV; otherwise WAV to MP3
    int Mp3FormatIndex = 0;
    bool CarryTags = true;
    int Workers = 1;
};

// What a front end hears of a running batch. Called from the workers'
// threads, one call at a time: the engine never calls two at once.
class TBatchEvents {
public:
    virtual ~TBatchEvents() = default;
    // The file's target is done already: it is skipped. Said of every
    // such file before the first file starts.
    virtual void FileSkipped(std::size_t /*file*/) {}
    virtual void FileStarted(std::size_t /*file*/) {}
    // The file's percentage, rising from 1 to 100.
    virtual void FilePercent(std::size_t /*file*/, int /*percent*/) {}
    // The file's conversion is over, as end says.
    virtual void FileDone(std::size_t /*file*/, TFileEnd /*end*/) {}
    // A message for a file of the list; kNoFile for the batch as a whole.
    virtual void Message(std::size_t file, const std::string& text) = 0;
    // A notice for a file that was converted all the same (TJobHost); of
    // kNoFile, about the batch (leftovers removed, playlists copied as
    // they are).
    virtual void Notice(std::size_t file, const std::string& text) = 0;
    static constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);
};

class TBatchEngine {
public:
    // Every target, in list order: set before the first file starts.
    std::vector<std::string> Targets;

    // Runs the batch on job.Workers workers (at most one a file), with a
    // copy of catalogue each; returns when every worker has stopped. An
    // output folder that is missing or cannot be written is said once,
    // naming it, and no file starts. cancel is read by every worker before
    // each chunk.
    void Run(const TBatchJob& job, const TFormatCatalogue& catalogue, TBatchEvents& events,
             const std::atomic<bool>& cancel);
};

}  // namespace sondrel
