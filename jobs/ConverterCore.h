// The conversions: MP3 to WAV (as it is or in CD quality), WAV to MP3 and
// WAV to WAV, and the two batch loops. The core owns the four convertors,
// the format catalogue and the job state, and reaches its front end only
// through TJobHost.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "codec/ACMConvertor.h"
#include "codec/ByteFile.h"
#include "codec/FormatCatalogue.h"
#include "codec/WaveFile.h"
#include "jobs/JobState.h"
#include "jobs/TargetFile.h"

namespace sondrel {

struct TBatchSettings {
    std::vector<std::string> Files;
    // Per file, where it was found below a folder given to the batch
    // (TBatchListing::Subfolders); an own output folder gets the same
    // tree. Empty for a list of files given one by one.
    std::vector<std::string> Subfolders;
    bool NextToSource = true;
    std::string OutputFolder;
    bool CdQuality = false;  // MP3 to WAV only
    // Targets may replace files that were there before the batch (the user
    // said so); otherwise those get the next free name.
    bool ReplaceExisting = false;
    // A file whose target exists and is at least as new as the file is
    // done already and skipped; an older target is converted again and
    // replaced (a run again, a run that was stopped).
    bool SkipExisting = false;
};

class TConverterCore {
public:
    explicit TConverterCore(TJobHost& host);

    // Drives the progress display: the file's percentage and, from the batch
    // counters, the job's. Values outside 0..100 change nothing.
    void SetProStatus(int value);

    void ConvertMP3WAV(const std::string& source, const std::string& target);
    void ConvertMP3CDWAV(const std::string& source, const std::string& target);
    void ConvertWAVMP3(const std::string& source, const std::string& target);
    void ConvertWAV2WAV(const std::string& source, const std::string& target);

    void Gobtn2Proc(const TBatchSettings& batch);  // MP3 to WAV
    void Gobtn4Proc(const TBatchSettings& batch);  // WAV to MP3

    // A conversion or batch is under way. Every entry point above refuses to
    // start while it is: a second job inside a running one would reopen, and
    // empty, targets the first has finished or is writing.
    bool Running() const { return State.Busy || batchRunning_; }
    // A complete result could not take the earlier file's place: said as a
    // failed write, which also ends a batch.
    void ReportUnfinishedReplacement();

    TACMConvertor mp3wav, wavcd, wavtowav, wavmp3;
    TFormatCatalogue Catalogue;
    TJobState State;
    // The chosen entries of the MP3 and the PCM format list; -1 for none.
    int Mp3FormatIndex = -1;
    int WavFormatIndex = -1;
    // The source's tags go into the target (ID3v2 and ID3v1.1 in an MP3,
    // LIST/INFO and an "id3 " chunk in a WAV); off, targets are the bare
    // audio.
    bool CarryTags = true;
    // A target that does not finish (cancel, failure) is removed instead
    // of kept with what was converted: set for the files of a batch, where
    // several may be cut at once and nothing would tell them from whole
    // ones. A file it was replacing stays either way.
    bool DiscardUnfinished = false;
    // The last conversion ran to its end and its target is complete.
    bool LastCompleted = false;
    // A batch's targets are written beside their names and put in place by
    // the placer, which says through OnPlaced whether the current file's
    // took its place.
    TPlacer* Placer = nullptr;
    TPlacer::TDone OnPlaced;

private:
    struct Chain;
    void MP3ToWav(const std::string& source, const std::string& target, bool cdQuality);
    void WavToMp3(const std::string& source, const std::string& target);
    void WavToWav(const std::string& source, const std::string& target);
    bool OpenSource(TByteFile& file, const std::string& name, const std::string& failure);
    // Creates the target (beside an existing one, which a complete result
    // replaces); false after a message.
    bool CreateTarget(TTargetFile& target, TByteFile& source, const std::string& name);

    // The target format list has entries and index names one of them;
    // otherwise says why not.
    bool FormatChosen(int count, int index);
    // Opens a WAV source, finds its format and data, creates the target and
    // positions the source at its audio; false after a message.
    bool OpenWaveSource(TByteFile& source, const std::string& sourceName, TTargetFile& target,
                        const std::string& targetName, TWaveChunks& wave, std::int64_t& length);
    // Stops early, and says so, when a write to the target comes back short.
    // False then.
    bool RunChunks(Chain& chain);
    // Converts each listed file in turn, keeping the batch counters, until
    // the list ends or the user cancels.
    void RunBatch(const TBatchSettings& batch, const std::string& extension,
                  const std::function<void(const std::string&, const std::string&)>& convert);

    TJobHost& host_;
    // Set by a failed write: a full disk fails every further file of a
    // batch, so the batch ends there.
    bool writeFailed_ = false;
    bool batchRunning_ = false;
};

}  // namespace sondrel
