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

namespace sondrel::cli {
namespace {

// The terminal's side of a batch: messages as whole lines naming their
// file, never mixed with another worker's, and a progress line.
class TerminalEvents final : public TBatchEvents {
public:
    explicit TerminalEvents(const TOptions& o)
        : options_(o), percents_(o.files.size(), 0), progress_(isatty(STDERR_FILENO) != 0) {}

    bool shown = false;

    void Message(std::size_t file, const std::string& text) override {
        ClearLine();
        if (file == kNoFile)
            std::cerr << text << '\n';
        else
            std::cerr << options_.files[file] << ": " << text << '\n';
        shown = true;
        DrawLine();
    }
    void FilePercent(std::size_t file, int percent) override {
        if (percents_[file] == percent) return;
        sum_ += percent - percents_[file];
        percents_[file] = percent;
        DrawLine();
    }
    void FileDone(std::size_t file, bool whole) override {
        if (!whole) return;  // stopped part way: not done
        sum_ += 100 - percents_[file];
        percents_[file] = 100;
        ++done_;
        DrawLine();
    }
    void Finish() { ClearLine(); }

private:
    // "3 von 8 Dateien fertig, gesamt 45 %": files done and the whole
    // batch (a count, so it starts at 0, not a file's number).
    void DrawLine() {
        if (!progress_) return;
        const long overall = sum_ / static_cast<long>(std::max<std::size_t>(1, percents_.size()));
        if (overall == drawn_ && done_ == drawnDone_ && dirty_) return;
        drawn_ = overall;
        drawnDone_ = done_;
        std::fprintf(stderr, "\r%zu von %zu Dateien fertig, gesamt %3ld %%", done_, percents_.size(), overall);
        std::fflush(stderr);
        dirty_ = true;
    }
    void ClearLine() {
        if (!dirty_) return;
        std::fprintf(stderr, "\r%*s\r", 48, "");
        dirty_ = false;
    }

    const TOptions& options_;
    std::vector<int> percents_;
    long sum_ = 0;  // of percents_, kept as they change
    std::size_t done_ = 0;
    bool progress_;
    bool dirty_ = false;
    long drawn_ = -1;
    std::size_t drawnDone_ = 0;
};

}  // namespace

int DefaultJobs() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

bool RunParallelBatch(const TOptions& o, int jobs, int mp3Index, const TFormatCatalogue& catalogue,
                      const std::atomic<bool>& interrupted) {
    TBatchJob job;
    job.Batch = BatchOf(o);
    job.ToWav = o.command == "batch-mp3-to-wav";
    job.Mp3FormatIndex = mp3Index;
    job.CarryTags = !o.noTags;
    job.Workers = jobs;
    TerminalEvents events(o);
    TBatchEngine engine;
    engine.Run(job, catalogue, events, interrupted);
    events.Finish();
    return events.shown;
}

}  // namespace sondrel::cli
