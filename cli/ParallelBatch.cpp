#include "cli/ParallelBatch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "jobs/BatchEngine.h"
#include "jobs/Messages.h"

namespace sondrel::cli {
namespace {

// The terminal's side of a batch: messages as whole lines naming their
// file, never mixed with another worker's, and a progress line.
class TerminalEvents final : public TBatchEvents {
public:
    explicit TerminalEvents(const std::vector<std::string>& files)
        : files_(files), progress_(files), drawing_(isatty(STDERR_FILENO) != 0) {}

    bool shown = false;

    void Message(std::size_t file, const std::string& text) override {
        ClearLine();
        if (file == kNoFile)
            std::cerr << text << '\n';
        else
            std::cerr << files_[file] << ": " << text << '\n';
        shown = true;
        DrawLine();
    }
    // Said, but the file was converted: no failure.
    void Notice(std::size_t file, const std::string& text) override {
        ClearLine();
        std::cerr << (file == kNoFile ? "" : files_[file] + ": ") << text << '\n';
        DrawLine();
    }
    void FileSkipped(std::size_t file) override { progress_.Skipped(file); }
    void FileStarted(std::size_t file) override { progress_.Started(file); }
    void FilePercent(std::size_t file, int percent) override {
        progress_.Percent(file, percent);
        DrawLine();
    }
    void FileDone(std::size_t file, TFileEnd end) override {
        progress_.Done(file, end);
        DrawLine();
    }
    // How many files were converted, and every one that was not (failed,
    // stopped, or never started), by the name it was given.
    void Finish(bool stopped) {
        ClearLine();
        // A batch that never began (its output folder) has said why.
        if (!progress_.AnyStarted()) return;
        const std::vector<std::size_t> left = progress_.Unfinished();
        std::string names;
        for (std::size_t k = 0; k < left.size(); ++k) names += (k ? ", " : "") + files_[left[k]];
        std::cerr << msg::BatchSummary(progress_.Finished(), static_cast<int>(files_.size()), names,
                                       progress_.Failed(), progress_.SkippedCount(), stopped)
                  << '\n';
    }

private:
    // "3 von 8 Dateien fertig, gesamt 45 %": files done and the share of
    // the whole batch's work.
    void DrawLine() {
        if (!drawing_) return;
        const int overall = progress_.Overall(), done = progress_.Finished();
        if (overall == drawn_ && done == drawnDone_ && dirty_) return;
        drawn_ = overall;
        drawnDone_ = done;
        std::fprintf(stderr, "\r%d von %zu Dateien fertig, gesamt %3d %%", done, files_.size(), overall);
        std::fflush(stderr);
        dirty_ = true;
    }
    void ClearLine() {
        if (!dirty_) return;
        std::fprintf(stderr, "\r%*s\r", 48, "");
        dirty_ = false;
    }

    const std::vector<std::string>& files_;
    TBatchProgress progress_;
    bool drawing_;
    bool dirty_ = false;
    int drawn_ = -1;
    int drawnDone_ = 0;
};

}  // namespace

int DefaultJobs() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

bool RunParallelBatch(TOptions&& o, int jobs, int mp3Index, const TFormatCatalogue& catalogue,
                      const std::atomic<bool>& interrupted) {
    TBatchJob job;
    job.ToWav = o.command == "batch-mp3-to-wav";
    job.CarryTags = !o.noTags;
    job.Batch = BatchOf(std::move(o));
    job.Mp3FormatIndex = mp3Index;
    job.Workers = jobs;
    TerminalEvents events(job.Batch.Files);
    TBatchEngine engine;
    engine.Run(job, catalogue, events, interrupted);
    events.Finish(interrupted);
    return events.shown;
}

}  // namespace sondrel::cli
