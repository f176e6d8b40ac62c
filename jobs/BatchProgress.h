// What a front end tells the user of a running batch and after it, the
// same in the window and in a terminal: the share of the batch's work
// done, the file the user waits on, and at the end how many files were
// converted and which were not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sondrel {

// How one file of a batch ended.
enum class TFileEnd {
    Finished,  // converted: its target is complete
    Failed,    // a message said why; it left no target
    Stopped,   // cancelled part way; it left no target
};

// Not safe for several threads: a front end reads and writes it under its
// own lock.
class TBatchProgress {
public:
    // The work of each file is its size: a long file weighs as much as it
    // takes, so that the share moves evenly from 0 to 100 %.
    explicit TBatchProgress(const std::vector<std::string>& files);

    // A file whose target is done already (a run again with skipping):
    // its work leaves the batch's share, before any file starts.
    void Skipped(std::size_t file);
    void Started(std::size_t file);
    void Percent(std::size_t file, int percent);
    void Done(std::size_t file, TFileEnd end);

    // The share of the whole batch's work done, 0 to 100.
    int Overall() const;
    // The lowest-numbered file running; between files the next to start.
    std::size_t Watched() const;
    // Its percentage, 0 while it waits.
    int WatchedPercent() const;
    int Finished() const;
    int Failed() const;
    int SkippedCount() const { return skipped_; }
    // Files that ran to their end, converted or failed with a message.
    int Ended() const;
    // Whether any file has started: a batch its output folder stopped
    // before the first has nothing to sum up.
    bool AnyStarted() const;
    // The files not converted (failed, stopped, or never started), in
    // list order; skipped ones are done.
    std::vector<std::size_t> Unfinished() const;

private:
    enum class TState { Waiting, Running, Done };
    std::vector<std::uint64_t> work_;
    std::uint64_t total_ = 0;
    std::vector<int> percent_;
    std::vector<TState> state_;
    std::vector<bool> finished_;
    std::vector<bool> skippedFile_;
    int ended_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
};

}  // namespace sondrel
