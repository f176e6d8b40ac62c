// The window's batches on the core's batch engine: one worker a core, in a
// thread of its own, so that the window stays responsive (moving,
// repainting, Cancel answered at once). The window's thread reads the
// workers' progress on a short tick: the upper bar and the status line
// follow the lowest-numbered file still running (the one the user waits
// on), the lower bar the whole batch's share. Messages name their file
// and come one at a time, lowest-numbered file first.
#include <QEventLoop>
#include <algorithm>
#include <QTimer>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "app/FailureBox.h"
#include "app/MainUnit.h"
#include "jobs/BatchEngine.h"
#include "jobs/Messages.h"
#include "jobs/Naming.h"
#include "platform/acm/blocks/InOrder.h"
#include "ui/FileNames.h"

namespace sondrel {
namespace {

class WindowEvents final : public TBatchEvents {
public:
    explicit WindowEvents(const std::vector<std::string>& files) : progress_(files) {}

    void FileSkipped(std::size_t file) override {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_.Skipped(file);
    }
    void FileStarted(std::size_t file) override {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_.Started(file);
    }
    void FilePercent(std::size_t file, int percent) override {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_.Percent(file, percent);
    }
    void FileDone(std::size_t file, TFileEnd end) override {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_.Done(file, end);
    }
    void Message(std::size_t file, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        // The batch's own message (its output folder) before any file's.
        messages_.emplace(file == kNoFile ? 0 : file + 1, std::make_pair(file, text));
    }

    // Notices are said once after the batch, for all their files: a box a
    // file would stop a batch of hundreds at every one.
    void Notice(std::size_t file, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        notices_[text].push_back(file);
    }
    std::map<std::string, std::vector<std::size_t>> Notices() {
        std::lock_guard<std::mutex> lock(mutex_);
        return notices_;
    }

    // A copy to read without holding the workers up.
    TBatchProgress Read() {
        std::lock_guard<std::mutex> lock(mutex_);
        return progress_;
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
    std::mutex mutex_;
    TBatchProgress progress_;
    std::multimap<std::size_t, std::pair<std::size_t, std::string>> messages_;
    std::map<std::string, std::vector<std::size_t>> notices_;
};

// A file of a batch by its place below the folder the user gave (an
// artist/album tree has many "01 ..."), or by its name where it was given
// by itself.
QString Place(const TBatchSettings& batch, std::size_t file) {
    const std::string name = FileNamePart(batch.Files[file]);
    const std::string& below = file < batch.Subfolders.size() ? batch.Subfolders[file] : std::string();
    return ShownPath(below.empty() ? name : below + "/" + name);
}

// What a batch came to: on the status line with the first few files not
// converted, then how many more; with all of them in its tooltip and the
// failure box.
struct TBatchEnd {
    QString line, whole;
    QStringList unfinished;
};
TBatchEnd Ending(const TBatchProgress& p, const TBatchSettings& batch, bool stopped) {
    TBatchEnd end;
    const std::vector<std::size_t> left = p.Unfinished();
    for (const std::size_t file : left) end.unfinished << Place(batch, file);
    constexpr qsizetype kNamed = 3;
    QString named = QStringList(end.unfinished.mid(0, kNamed)).join(", ");
    if (end.unfinished.size() > kNamed)
        named += QStringLiteral(" und %1 weitere").arg(QString::fromStdString(msg::Count(end.unfinished.size() - kNamed)));
    const auto text = [&](const QString& names) {
        return QString::fromStdString(msg::BatchSummary(p.Finished(), static_cast<int>(batch.Files.size()),
                                                        names.toStdString(), p.Failed(), p.SkippedCount(), stopped));
    };
    end.line = text(named);
    end.whole = left.empty() ? end.line : text(QString()) + "\n" + end.unfinished.join('\n');
    return end;
}

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
    // The files share the cores, and a long file's blocks take the ones the
    // others leave idle.
    acm::SetStreamWorkers(cores);
    // No second job while this one runs (the accessibility bus can press a
    // Go button behind the modal progress window).
    core_.State.Busy = true;
    core_.State.ItemTotal = static_cast<int>(n);

    WindowEvents events(batch.Files);
    TBatchEngine engine;
    std::atomic<bool> cancel{false}, finished{false};
    QEventLoop loop;
    QTimer tick;
    // Cancel reaches the workers at once, not at the next tick.
    const auto stop = connect(statusForm_, &TStatusForm::cancelRequested, &loop, [&] { cancel = true; });
    tick.setInterval(30);
    bool showing = false, over = false;
    // A file's failure goes into one box beside the progress window, and
    // the batch goes on.
    TFailureBox failures(statusForm_);
    std::function<void()> step = [&] {
        // (The runner's last call may come after the loop is over, from
        // the loop of a box shown after it.)
        if (over) return;
        // Cancel, Escape and closing the progress window set the core's
        // flag; every worker stops at its next chunk.
        if (core_.State.Cancel) cancel = true;
        const TBatchProgress p = events.Read();
        core_.State.ItemIndex = static_cast<int>(p.Watched());
        ShowStatusText(msg::BatchStatus(static_cast<int>(p.Watched()) + 1, static_cast<int>(n)));
        ShowProgress(p.WatchedPercent(), p.Overall());
        if (showing) return;  // a message is on screen; the bars go on
        std::size_t file = 0;
        std::string text;
        while (events.NextMessage(file, text)) {
            if (file != TBatchEvents::kNoFile) {
                jobNotice_.Failed(static_cast<int>(file));
                failures.Add(Place(batch, file), QString::fromStdString(text));
                continue;
            }
            // The batch's own message (its output folder), before any file
            // starts: over the main window, as every message of the window.
            showing = true;
            ShowError(text, true);
            showing = false;
            return;
        }
        if (finished) {
            // What ran to its end, for the job's closing notice.
            core_.State.ItemIndex = p.Ended();
            over = true;
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
    // No tick may say "Verarbeite Datei ..." over the summary (while a
    // notice is open after the batch, say).
    tick.stop();
    disconnect(&tick, nullptr, &loop, nullptr);
    disconnect(stop);
    runner.join();
    acm::SetStreamWorkers(0);
    // What became of every file, until the next job.
    const TBatchProgress end = events.Read();
    const TBatchEnd ending = Ending(end, batch, core_.State.Cancel);
    if (end.AnyStarted()) {
        ShowStatusText(ending.line.toStdString(), ending.whole.toStdString());
    } else {
        ShowStatusText("");
    }
    if (failures.Failures() > 0) failures.End(ending.line, ending.unfinished);
    for (auto& [text, files] : events.Notices()) {
        // (A notice of the batch itself names no file.)
        files.erase(std::remove(files.begin(), files.end(), TBatchEvents::kNoFile), files.end());
        std::sort(files.begin(), files.end());
        std::string names;
        constexpr std::size_t kNamed = 10;
        for (std::size_t k = 0; k < files.size() && k < kNamed; ++k) names += "\n" + batch.Files[files[k]];
        if (files.size() > kNamed) names += "\nund " + std::to_string(files.size() - kNamed) + " weitere";
        ShowNotice(names.empty() ? text : text + "\n" + names);
    }
    core_.State.Busy = false;
}

}  // namespace sondrel
