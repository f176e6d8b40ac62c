// The window's batches on the core's batch engine: one worker a core, in a
// thread of its own, so that the window stays responsive (moving,
// repainting, Cancel answered at once). The window's thread reads the
// workers' progress on a short tick: the upper bar and the status line
// follow the lowest-numbered file still running (the one the user waits
// on), the lower bar the whole batch's share. Messages name their file
// and come one at a time, lowest-numbered file first.
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "app/MainUnit.h"
#include "jobs/BatchEngine.h"
#include "jobs/Messages.h"
#include "platform/acm/Mp3BlockEncoder.h"

namespace sondrel {
namespace {

class WindowEvents final : public TBatchEvents {
public:
    explicit WindowEvents(std::size_t files) : percent_(files, 0), state_(files, kWaiting) {}

    void FileStarted(std::size_t file) override {
        std::lock_guard<std::mutex> lock(mutex_);
        state_[file] = kRunning;
    }
    void FilePercent(std::size_t file, int percent) override {
        std::lock_guard<std::mutex> lock(mutex_);
        percent_[file] = percent;
    }
    void FileDone(std::size_t file, bool whole) override {
        std::lock_guard<std::mutex> lock(mutex_);
        state_[file] = whole ? kDone : kStopped;
        if (whole) percent_[file] = 100;
    }
    void Message(std::size_t file, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        // The batch's own message (its output folder) before any file's.
        messages_.emplace(file == kNoFile ? 0 : file + 1, std::make_pair(file, text));
    }

    struct Progress {
        std::size_t watched = 0;  // the file the upper bar shows
        int filePercent = 0;
        int overallPercent = 0;
        int whole = 0;  // files converted (or failed) whole
    };
    Progress Read() {
        std::lock_guard<std::mutex> lock(mutex_);
        Progress p;
        long sum = 0;
        p.watched = state_.size();
        for (std::size_t i = 0; i < state_.size(); ++i) {
            sum += percent_[i];
            if (state_[i] == kDone) ++p.whole;
            if (state_[i] == kRunning && p.watched == state_.size()) p.watched = i;
        }
        if (p.watched == state_.size()) {
            // Between files: the next one to start, or the last.
            p.watched = 0;
            while (p.watched + 1 < state_.size() && state_[p.watched] != kWaiting) ++p.watched;
        }
        p.filePercent = state_[p.watched] == kRunning ? percent_[p.watched] : 0;
        p.overallPercent = static_cast<int>(sum / static_cast<long>(std::max<std::size_t>(1, state_.size())));
        return p;
    }
    // The next message to show, lowest-numbered file first.
    bool NextMessage(std::size_t& file, std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (messages_.empty()) return false;
        file = messages_.begin()->second.first;
        text = messages_.begin()->second.second;
        messages_.erase(messages_.begin());
        return true;
    }

private:
    enum State { kWaiting, kRunning, kDone, kStopped };
    std::mutex mutex_;
    std::vector<int> percent_;
    std::vector<State> state_;
    std::multimap<std::size_t, std::pair<std::size_t, std::string>> messages_;
};

}  // namespace

void TMainForm::RunBatch(int mode, const TBatchSettings& batch) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    TBatchJob job;
    job.Batch = batch;
    job.ToWav = mode == 2;
    job.Mp3FormatIndex = core_.Mp3FormatIndex;
    job.CarryTags = core_.CarryTags;
    job.Workers = cores;
    const std::size_t n = batch.Files.size();
    // The files share the cores; a long WAV file is not split further.
    acm::SetMp3EncoderWorkers(std::max(1, cores / std::max(1, std::min<int>(cores, static_cast<int>(n)))));
    // No second job while this one runs (the accessibility bus can press a
    // Go button behind the modal progress window).
    core_.State.Busy = true;
    core_.State.ItemTotal = static_cast<int>(n);

    WindowEvents events(n);
    TBatchEngine engine;
    std::atomic<bool> cancel{false}, finished{false};
    QEventLoop loop;
    QTimer tick;
    // Cancel reaches the workers at once, not at the next tick.
    const auto stop = connect(statusForm_, &TStatusForm::cancelRequested, &loop, [&] { cancel = true; });
    tick.setInterval(30);
    bool showing = false;
    std::function<void()> step = [&] {
        // Cancel, Escape and closing the progress window set the core's
        // flag; every worker stops at its next chunk.
        if (core_.State.Cancel) cancel = true;
        const WindowEvents::Progress p = events.Read();
        core_.State.ItemIndex = static_cast<int>(p.watched);
        ShowStatusText(msg::BatchStatus(static_cast<int>(p.watched) + 1, static_cast<int>(n)));
        ShowProgress(p.filePercent, p.overallPercent);
        if (showing) return;  // a message is on screen; the bars go on
        std::size_t file = 0;
        std::string text;
        if (events.NextMessage(file, text)) {
            showing = true;
            const bool ofFile = file != TBatchEvents::kNoFile;
            if (ofFile) jobNotice_.Failed(static_cast<int>(file));
            ShowError(ofFile ? batch.Files[file] + ":\n" + text : text);
            showing = false;
            return;
        }
        if (finished) {
            // What was converted whole, for the job's closing notice.
            core_.State.ItemIndex = p.whole;
            loop.quit();
        }
    };
    connect(&tick, &QTimer::timeout, &loop, step);
    std::thread runner([&] {
        engine.Run(job, core_.Catalogue, events, cancel);
        finished = true;
        // The end is seen at once, not at the next tick.
        QMetaObject::invokeMethod(&loop, [&step] { step(); }, Qt::QueuedConnection);
    });
    tick.start();
    loop.exec();
    disconnect(stop);
    runner.join();
    acm::SetMp3EncoderWorkers(0);
    ShowStatusText("");
    core_.State.Busy = false;
}

}  // namespace sondrel
