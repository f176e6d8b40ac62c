#include "jobs/BatchEngine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "jobs/Companions.h"
#include "jobs/Leftovers.h"
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
    TPlacer& placer;
    const std::vector<bool>& skipped;
    std::vector<bool> placed;       // the file's target took its place
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
    core.Placer = &shared.placer;
    const TBatchSettings& batch = shared.job.Batch;
    for (;;) {
        if (shared.stop || shared.cancel) break;
        const std::size_t i = shared.next++;
        if (i >= batch.Files.size()) break;
        if (shared.skipped[i]) continue;
        host.file_ = i;
        // A complete target is done once it took its place, which the
        // placer says later, from its thread.
        core.OnPlaced = [&shared, i](bool placed) {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.placed[i] = placed;
            if (!placed) {
                shared.stop = true;
                shared.events.Message(i, msg::CannotWrite);
            }
            shared.events.FileDone(i, placed ? TFileEnd::Finished : TFileEnd::Failed);
        };
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
        if (core.LastCompleted) continue;
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.events.FileDone(i, core.State.Cancel ? TFileEnd::Stopped : TFileEnd::Failed);
    }
}

// The files whose targets are there and at least as new as they are.
std::vector<bool> DoneAlready(const std::vector<std::string>& sources, const std::vector<std::string>& targets) {
    std::vector<bool> done(sources.size(), false);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        struct stat source {}, target {};
        if (::stat(targets[i].c_str(), &target) != 0 || !S_ISREG(target.st_mode) || ::stat(sources[i].c_str(), &source) != 0)
            continue;
        const auto& t = target.st_mtim;
        const auto& s = source.st_mtim;
        done[i] = t.tv_sec > s.tv_sec || (t.tv_sec == s.tv_sec && t.tv_nsec >= s.tv_nsec);
    }
    return done;
}

// The folders the targets go to, each once.
std::vector<std::string> TargetFolders(const std::vector<std::string>& targets) {
    std::set<std::string> folders;
    for (const std::string& t : targets) folders.insert(std::filesystem::path(t).parent_path().string());
    return {folders.begin(), folders.end()};
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
    // Skipping, a target that is there is the file's own: no "(2)".
    Targets = BatchTargets(batch.Files, job.ToWav ? ".wav" : ".mp3", batch.NextToSource, batch.OutputFolder,
                           batch.ReplaceExisting || batch.SkipExisting, batch.Subfolders);
    if (const int removed = RemoveLeftovers(TargetFolders(Targets)); removed > 0)
        events.Notice(TBatchEvents::kNoFile, msg::LeftoversRemoved(removed));
    const std::vector<bool> skipped =
        batch.SkipExisting ? DoneAlready(batch.Files, Targets) : std::vector<bool>(batch.Files.size(), false);
    for (std::size_t i = 0; i < skipped.size(); ++i)
        if (skipped[i]) events.FileSkipped(i);
    TTargetFolders folders;
    TPlacer placer;
    Shared shared{job, events, cancel, Targets, folders, placer, skipped, std::vector<bool>(skipped.size(), false), {}, {}, {}};
    const int workers = std::max(1, std::min<int>(job.Workers, static_cast<int>(batch.Files.size())));
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) threads.emplace_back(Work, std::ref(shared), std::cref(catalogue));
    for (std::thread& t : threads) t.join();
    placer.Drain();
    folders.RemoveEmpty();
    // A batch stopped part way is taken up again by a run that skips what
    // is done; its companions come then.
    if (batch.NextToSource || batch.OutputFolder.empty() || cancel || shared.stop) return;
    std::vector<bool> there(skipped.size());
    for (std::size_t i = 0; i < there.size(); ++i) there[i] = skipped[i] || shared.placed[i];
    const TCompanions companions =
        CarryCompanions(batch.Files, Targets, there, {batch.ReplaceExisting, batch.SkipExisting}, placer);
    if (!companions.Unreadable.empty()) events.Notice(TBatchEvents::kNoFile, msg::PlaylistsCopied(companions.Unreadable));
}

}  // namespace sondrel
