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

#include "jobs/Messages.h"
#include "jobs/Naming.h"

namespace sondrel::cli {
namespace {

// What the workers share: the list, the next file to take, the terminal.
class Shared {
public:
    Shared(const TOptions& o, const std::atomic<bool>& interrupted)
        : options(o), interrupted(interrupted), batch(BatchOf(o)), toWav(o.command == "batch-mp3-to-wav"),
          targets(BatchTargets(batch.Files, toWav ? ".wav" : ".mp3", batch.NextToSource, batch.OutputFolder,
                               batch.ReplaceExisting)),
          percents_(o.files.size(), 0), progress_(isatty(STDERR_FILENO) != 0) {}

    const TOptions& options;
    const std::atomic<bool>& interrupted;
    const TBatchSettings batch;
    const bool toWav;
    // Every file's target, named before the first worker starts.
    const std::vector<std::string> targets;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};  // a write failed: no further file starts
    std::atomic<bool> shown{false};

    // One line, never mixed with another worker's.
    void Message(const std::string& file, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        ClearLine();
        std::cerr << file << ": " << text << '\n';
        shown = true;
        DrawLine();
    }
    void Percent(std::size_t file, int percent) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (percents_[file] == percent) return;
        sum_ += percent - percents_[file];
        percents_[file] = percent;
        DrawLine();
    }
    void Done(std::size_t file) {
        std::lock_guard<std::mutex> lock(mutex_);
        sum_ += 100 - percents_[file];
        percents_[file] = 100;
        ++done_;
        DrawLine();
    }
    void Finish() {
        std::lock_guard<std::mutex> lock(mutex_);
        ClearLine();
    }

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

    std::mutex mutex_;
    std::vector<int> percents_;
    long sum_ = 0;  // of percents_, kept as they change
    std::size_t done_ = 0;
    bool progress_;
    bool dirty_ = false;
    long drawn_ = -1;
    std::size_t drawnDone_ = 0;
};

// One worker's front end for its core.
class WorkerHost final : public TJobHost {
public:
    explicit WorkerHost(Shared& shared) : shared_(shared) {}
    void ShowError(const std::string& text) override {
        if (text == msg::CannotWrite) shared_.stop = true;
        shared_.Message(File(), text);
    }
    void ShowProgress(int filePercent, int /*overallPercent*/) override {
        if (filePercent > 0) shared_.Percent(file_, filePercent);
    }
    void ProcessMessages() override {
        if (shared_.interrupted && state) state->Cancel = true;
    }

    TJobState* state = nullptr;
    void Begin(std::size_t file) { file_ = file; }
    std::string File() const { return shared_.options.files[file_]; }

private:
    Shared& shared_;
    std::size_t file_ = 0;
};

void Work(Shared& shared, int mp3Index) {
    WorkerHost host(shared);
    TConverterCore core(host);
    host.state = &core.State;
    core.Catalogue.Build();
    core.Mp3FormatIndex = mp3Index;
    core.CarryTags = !shared.options.noTags;
    const TOptions& o = shared.options;
    const TBatchSettings& batch = shared.batch;
    const bool toWav = shared.toWav;
    for (;;) {
        if (shared.stop || shared.interrupted) break;
        const std::size_t i = shared.next++;
        if (i >= o.files.size()) break;
        host.Begin(i);
        const std::string& source = o.files[i];
        const std::string& target = shared.targets[i];
        try {
            if (!toWav)
                core.ConvertWAVMP3(source, target);
            else if (batch.CdQuality)
                core.ConvertMP3CDWAV(source, target);
            else
                core.ConvertMP3WAV(source, target);
        } catch (const std::exception& e) {
            // As in the window: this file failed, the others go on.
            shared.Message(source, msg::ConversionFailed + " (" + e.what() + ")");
        }
        if (!core.State.Cancel) shared.Done(i);
    }
}

}  // namespace

int DefaultJobs() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

bool RunParallelBatch(const TOptions& o, int jobs, int mp3Index, const std::atomic<bool>& interrupted) {
    Shared shared(o, interrupted);
    const int workers = std::max(1, std::min<int>(jobs, static_cast<int>(o.files.size())));
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) threads.emplace_back(Work, std::ref(shared), mp3Index);
    for (std::thread& t : threads) t.join();
    shared.Finish();
    return shared.shown;
}

}  // namespace sondrel::cli
