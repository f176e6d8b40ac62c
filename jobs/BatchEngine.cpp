#include "jobs/BatchEngine.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>

#include "jobs/Messages.h"
#include "jobs/Naming.h"
#include "jobs/TargetFolders.h"

namespace sondrel {
namespace {

// What the workers share: the list, the next file to take, the front end.
struct Shared {
    const TBatchJob& job;
    TBatchEvents& events;
    const std::atomic<bool>& cancel;
    const std::vector<std::string>& targets;
    TTargetFolders& folders;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};  // a write failed: no further file starts
    std::mutex mutex;               // one event at a time
};

// One worker's front end for its core.
class WorkerHost final : public TJobHost {
public:
    explicit WorkerHost(Shared& shared) : shared_(shared) {}
    void ShowError(const std::string& text) override {
        if (text == msg::CannotWrite) shared_.stop = true;
        std::lock_guard<std::mutex> lock(shared_.mutex);
        shared_.events.Message(file_, text);
    }
    void ShowNotice(const std::string& text) override {
        std::lock_guard<std::mutex> lock(shared_.mutex);
        shared_.events.Notice(file_, text);
    }
    void ShowProgress(int filePercent, int /*overallPercent*/) override {
        if (filePercent <= 0) return;
        std::lock_guard<std::mutex> lock(shared_.mutex);
        shared_.events.FilePercent(file_, filePercent);
    }
    void ProcessMessages() override {
        if (shared_.cancel && state) state->Cancel = true;
    }

    TJobState* state = nullptr;
    std::size_t file_ = 0;

private:
    Shared& shared_;
};

void Work(Shared& shared, const TFormatCatalogue& catalogue) {
    WorkerHost host(shared);
    TConverterCore core(host);
    host.state = &core.State;
    core.Catalogue = catalogue;
    core.Mp3FormatIndex = shared.job.Mp3FormatIndex;
    core.CarryTags = shared.job.CarryTags;
    core.DiscardUnfinished = true;
    const TBatchSettings& batch = shared.job.Batch;
    for (;;) {
        if (shared.stop || shared.cancel) break;
        const std::size_t i = shared.next++;
        if (i >= batch.Files.size()) break;
        host.file_ = i;
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.events.FileStarted(i);
        }
        const std::string& source = batch.Files[i];
        const std::string& target = shared.targets[i];
        shared.folders.Prepare(target);
        try {
            if (!shared.job.ToWav)
                core.ConvertWAVMP3(source, target);
            else if (batch.CdQuality)
                core.ConvertMP3CDWAV(source, target);
            else
                core.ConvertMP3WAV(source, target);
        } catch (const std::exception& e) {
            // This file failed; the others go on.
            host.ShowError(msg::ConversionFailed + " (" + e.what() + ")");
        }
        const TFileEnd end = core.LastCompleted ? TFileEnd::Finished
                             : core.State.Cancel ? TFileEnd::Stopped
                                                 : TFileEnd::Failed;
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.events.FileDone(i, end);
    }
}

// Empty when the folder can take the targets; otherwise what to say.
std::string FolderProblem(const std::string& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return msg::NoOutputFolder(folder);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return msg::OutputFolderNotWritable(folder);
    return {};
}

}  // namespace

void TBatchEngine::Run(const TBatchJob& job, const TFormatCatalogue& catalogue, TBatchEvents& events,
                       const std::atomic<bool>& cancel) {
    const TBatchSettings& batch = job.Batch;
    if (!batch.NextToSource && !batch.OutputFolder.empty()) {
        if (const std::string problem = FolderProblem(batch.OutputFolder); !problem.empty()) {
            events.Message(TBatchEvents::kNoFile, problem);
            return;
        }
    }
    Targets = BatchTargets(batch.Files, job.ToWav ? ".wav" : ".mp3", batch.NextToSource, batch.OutputFolder,
                           batch.ReplaceExisting, batch.Subfolders);
    TTargetFolders folders;
    Shared shared{job, events, cancel, Targets, folders, {}, {}, {}};
    const int workers = std::max(1, std::min<int>(job.Workers, static_cast<int>(batch.Files.size())));
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) threads.emplace_back(Work, std::ref(shared), std::cref(catalogue));
    for (std::thread& t : threads) t.join();
    folders.RemoveEmpty();
}

}  // namespace sondrel
