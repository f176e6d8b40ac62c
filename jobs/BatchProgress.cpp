#include "jobs/BatchProgress.h"

#include <algorithm>
#include <filesystem>

namespace sondrel {

TBatchProgress::TBatchProgress(const std::vector<std::string>& files)
    : percent_(files.size(), 0), state_(files.size(), TState::Waiting), finished_(files.size(), false),
      skippedFile_(files.size(), false) {
    for (const std::string& file : files) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(file, ec);
        // A file that cannot be read still counts: its message is work too.
        work_.push_back(std::max<std::uint64_t>(ec ? 0 : size, 1));
        total_ += work_.back();
    }
}

void TBatchProgress::Skipped(std::size_t file) {
    if (skippedFile_.at(file)) return;
    skippedFile_[file] = true;
    ++skipped_;
    state_[file] = TState::Done;
    total_ -= work_[file];
    work_[file] = 0;
}

void TBatchProgress::Started(std::size_t file) { state_.at(file) = TState::Running; }

void TBatchProgress::Percent(std::size_t file, int percent) { percent_.at(file) = std::clamp(percent, 0, 100); }

void TBatchProgress::Done(std::size_t file, TFileEnd end) {
    state_.at(file) = TState::Done;
    finished_.at(file) = end == TFileEnd::Finished;
    if (end != TFileEnd::Stopped) ++ended_;
    if (end == TFileEnd::Failed) ++failed_;
    // A file that ended is done with, whatever became of it: the share
    // reaches 100 % when the last one ends.
    percent_.at(file) = 100;
}

int TBatchProgress::Overall() const {
    if (total_ == 0) return skipped_ > 0 && ended_ + skipped_ == static_cast<int>(work_.size()) ? 100 : 0;
    // Sums of sizes times percentages stay far inside 64 bits.
    std::uint64_t done = 0;
    for (std::size_t i = 0; i < work_.size(); ++i) done += work_[i] * static_cast<std::uint64_t>(percent_[i]);
    return static_cast<int>(done / total_);
}

std::size_t TBatchProgress::Watched() const {
    for (std::size_t i = 0; i < state_.size(); ++i)
        if (state_[i] == TState::Running) return i;
    for (std::size_t i = 0; i < state_.size(); ++i)
        if (state_[i] == TState::Waiting) return i;
    return state_.empty() ? 0 : state_.size() - 1;
}

int TBatchProgress::WatchedPercent() const {
    const std::size_t w = Watched();
    return w < state_.size() && state_[w] == TState::Running ? percent_[w] : 0;
}

int TBatchProgress::Finished() const { return static_cast<int>(std::count(finished_.begin(), finished_.end(), true)); }

int TBatchProgress::Failed() const { return failed_; }

bool TBatchProgress::AnyStarted() const {
    return std::any_of(state_.begin(), state_.end(), [](TState s) { return s != TState::Waiting; });
}

int TBatchProgress::Ended() const { return ended_; }

std::vector<std::size_t> TBatchProgress::Unfinished() const {
    std::vector<std::size_t> left;
    for (std::size_t i = 0; i < finished_.size(); ++i)
        if (!finished_[i] && !skippedFile_[i]) left.push_back(i);
    return left;
}

}  // namespace sondrel
