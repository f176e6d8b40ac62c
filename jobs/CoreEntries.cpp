// The core's entry points: the four conversions, and the two batch loops,
// one file after the other on the core's own convertors (the batch engine,
// jobs/BatchEngine.h, runs batches on several workers).
#include "jobs/ConverterCore.h"
#include "jobs/Messages.h"
#include "jobs/Naming.h"
#include "jobs/TargetFolders.h"
#include "platform/cpu/VectorState.h"

namespace sondrel {

// The front end calls in from its own code (painting, say), which may have
// left the vector state in use; the conversion starts with it clear.
void TConverterCore::ConvertMP3WAV(const std::string& source, const std::string& target) {
    ClearUpperVectorState();
    if (!Running()) MP3ToWav(source, target, false);
}

void TConverterCore::ConvertMP3CDWAV(const std::string& source, const std::string& target) {
    ClearUpperVectorState();
    if (!Running()) MP3ToWav(source, target, true);
}

void TConverterCore::ConvertWAVMP3(const std::string& source, const std::string& target) {
    ClearUpperVectorState();
    if (!Running()) WavToMp3(source, target);
}

void TConverterCore::ConvertWAV2WAV(const std::string& source, const std::string& target) {
    ClearUpperVectorState();
    if (!Running()) WavToWav(source, target);
}

void TConverterCore::RunBatch(const TBatchSettings& batch, const std::string& extension,
                              const std::function<void(const std::string&, const std::string&)>& convert) {
    if (Running()) return;
    batchRunning_ = true;
    struct EndOfBatch {
        TConverterCore& core;
        ~EndOfBatch() {
            core.batchRunning_ = false;
            // The per-file line would otherwise outlive the batch.
            core.host_.ShowStatusText("");
        }
    } end{*this};
    const int n = static_cast<int>(batch.Files.size());
    const std::vector<std::string> targets = BatchTargets(batch.Files, extension, batch.NextToSource,
                                                          batch.OutputFolder, batch.ReplaceExisting, batch.Subfolders);
    TTargetFolders folders;
    writeFailed_ = false;
    for (int i = 0; i < n; ++i) {
        State.ItemIndex = i;
        State.ItemTotal = n;
        if (State.Cancel || writeFailed_) break;
        host_.ShowStatusText(msg::BatchStatus(i + 1, n));
        ClearUpperVectorState();
        const auto at = static_cast<std::size_t>(i);
        folders.Prepare(targets[at]);
        convert(batch.Files[at], targets[at]);
    }
    folders.RemoveEmpty();
}

void TConverterCore::Gobtn2Proc(const TBatchSettings& batch) {
    RunBatch(batch, ".wav", [&](const std::string& source, const std::string& target) {
        // The CD-quality choice is read for every file anew.
        MP3ToWav(source, target, batch.CdQuality);
    });
}

void TConverterCore::Gobtn4Proc(const TBatchSettings& batch) {
    RunBatch(batch, ".mp3",
             [&](const std::string& source, const std::string& target) { WavToMp3(source, target); });
}

}  // namespace sondrel
