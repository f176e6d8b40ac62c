#include "jobs/ConverterCore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "codec/ChunkLoop.h"
#include "codec/ConvertorForm.h"
#include "codec/FrameAnalysis.h"
#include "codec/LittleEndian.h"
#include "codec/WaveFile.h"
#include "jobs/Messages.h"
#include "jobs/WaveSources.h"
#include "jobs/TargetFile.h"
#include "platform/acm/mp3/Mp3InfoFrame.h"
#include "platform/acm/mp3/MpegTables.h"
#include "platform/acm/Driver.h"
#include "platform/acm/pcm/PcmSamples.h"
#include "platform/cpu/VectorState.h"
#include "tags/FileTags.h"

namespace sondrel {
namespace {

void Finish(TACMConvertor& c) {
    TACMConvertor::CheckResult("acmStreamReset", acmStreamReset(c.StreamHandle(), 0));
    c.SetActive(false);
}

bool IsMpegAudioTag(const TFrameAnalysis& a) {
    const WORD tag = GetLe16(a.WrappedFormat.data());
    return tag == WAVE_FORMAT_MPEGLAYER3 || tag == WAVE_FORMAT_MPEG;
}

// On every way out of a conversion: convertors closed, source closed, the
// target finished as the conversion ended (also after a cancel or an
// exception part way), progress back to 0, busy flag cleared.
class RunGuard {
public:
    RunGuard(TConverterCore& core, std::initializer_list<TACMConvertor*> convertors, TByteFile& source)
        : core_(core), convertors_(convertors), source_(source) {
        core_.LastCompleted = false;
    }
    ~RunGuard() {
        for (TACMConvertor* c : convertors_) {
            try {
                c->SetActive(false);
            } catch (const EACMConvertor&) {
            }
        }
        source_.Close();
        const bool complete = complete_ && !core_.State.Cancel;
        using TEnd = TTargetFile::TEnd;
        // A target that no audio ever reached (no codec would open for the
        // source's format) would be an empty file under the user's name.
        const TEnd end = complete                                                      ? TEnd::Complete
                         : discard_ || !converting_ || core_.DiscardUnfinished ? TEnd::Discard
                                                                                       : TEnd::Partial;
        if (target_.Finish(end))
            core_.LastCompleted = complete;
        else
            core_.ReportUnfinishedReplacement();
        core_.SetProStatus(0);
        core_.State.Busy = false;
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    TTargetFile& Target() { return target_; }
    // The conversion ran to its end and everything was written.
    void Completed() { complete_ = true; }
    // There is no result (the source held no audio): nothing may stay.
    void Discard() { discard_ = true; }
    // The convertors are open and the audio begins to flow: from here on a
    // cut-short target keeps what was converted.
    void Converting() { converting_ = true; }

private:
    TConverterCore& core_;
    std::vector<TACMConvertor*> convertors_;
    TByteFile& source_;
    TTargetFile target_;
    bool complete_ = false;
    bool discard_ = false;
    bool converting_ = false;
};

}  // namespace

// A conversion run: the source's bytes through one or two convertors into
// the target, chunk by chunk, with the core's progress, cancel flag and
// message pump.
struct TConverterCore::Chain final : TChunkIo {
    Chain(TConverterCore& core, TByteFile& source, TByteFile& target, TACMConvertor* first, TACMConvertor* second,
          std::int64_t base, std::int64_t length, bool silenceIsFailure = false)
        : core(core), source(source), target(target), first(first), second(second), base(base), length(length),
          silenceIsFailure(silenceIsFailure) {}
    void Read(std::uint8_t* dst, DWORD n) override {
        const std::size_t got = source.Read(dst, n);
        SwapSamples(dst, got, swap);
    }
    void Unread(DWORD n) override { source.Seek(source.Position() - n); }
    bool Write(const std::uint8_t* bytes, DWORD n) override {
        if (largest >= 0 && target.Position() + n > largest) {
            tooLarge = true;
            return false;
        }
        return target.Write(bytes, n) == n;
    }
    bool Cancelled() override { return core.State.Cancel; }
    void ChunkRead(std::int64_t remaining) override {
        core.SetProStatus(static_cast<int>((base - remaining) * 100 / base));
    }
    void ChunkDone() override {
        core.host_.ProcessMessages();
        // The front end may have painted with AVX code; the codecs are
        // legacy SSE and would run at half speed behind it.
        ClearUpperVectorState();
    }

    TConverterCore& core;
    TByteFile& source;
    TByteFile& target;
    TACMConvertor* first;
    TACMConvertor* second;  // null for a single stage
    std::int64_t base;      // what the percentage is of
    std::int64_t length;    // source bytes to convert
    // A WAV source whose data decodes to no audio at all failed: its codec
    // is one the decoder library names but cannot really decode.
    bool silenceIsFailure;
    // Of the first stage's output, the bytes that are audio; -1 for all.
    std::int64_t keep = -1;
    // A big-endian source's sample size: its samples are turned round as
    // they are read (chunks are whole blocks, so each read starts on one).
    int swap = 0;
    // The largest the target may grow (a WAV file with a plain header);
    // -1 for no bound. Reached, the conversion stops with a message.
    std::int64_t largest = -1;
    bool tooLarge = false;
    TChunkRun run;
};

TConverterCore::TConverterCore(TJobHost& host) : host_(host) {
    LoadStoredConvertor(mp3wav, "mp3wav");
    LoadStoredConvertor(wavcd, "wavcd");
    LoadStoredConvertor(wavtowav, "wavtowav");
    LoadStoredConvertor(wavmp3, "wavmp3");
}

void TConverterCore::SetProStatus(int value) {
    if (value < 0 || value > 100) return;
    host_.ShowProgress(value, OverallPercent(State.ItemIndex, State.ItemTotal, value));
    ClearUpperVectorState();
}

bool TConverterCore::OpenSource(TByteFile& file, const std::string& name, const std::string& failure) {
    // One immediate retry: a file just written by another program may still
    // be held for a moment.
    if (file.OpenRead(name) || file.OpenRead(name)) return true;
    host_.ShowError(failure);
    return false;
}

void TConverterCore::ReportUnfinishedReplacement() {
    writeFailed_ = true;
    host_.ShowError(msg::CannotWrite);
}

bool TConverterCore::CreateTarget(TTargetFile& target, TByteFile& source, const std::string& name) {
    // Creating the target empties it; were it the source, nothing would be
    // left to convert.
    std::uint64_t dev = 0, ino = 0, tdev = 0, tino = 0;
    TByteFile probe;
    if (source.Identity(dev, ino) && probe.OpenRead(name) && probe.Identity(tdev, tino) && dev == tdev &&
        ino == tino) {
        host_.ShowError(msg::SameFile);
        return false;
    }
    probe.Close();
    if (target.Create(name, Placer, OnPlaced)) return true;
    host_.ShowError(msg::CannotCreate);
    return false;
}

bool TConverterCore::FormatChosen(int count, int index) {
    // Both encodings refuse with the same text when no codec offers a
    // format (it has always read so for WAV to WAV, too); an index that
    // names no entry is never used to read the table.
    if (count == 0) {
        host_.ShowError(msg::NoMp3Encoder);
        return false;
    }
    if (index < 0 || index >= count) {
        host_.ShowError(msg::ChooseFormat);
        return false;
    }
    return true;
}

bool TConverterCore::OpenWaveSource(TByteFile& source, const std::string& sourceName, TTargetFile& target,
                                    const std::string& targetName, TWaveChunks& wave, std::int64_t& length) {
    if (!OpenSource(source, sourceName, msg::CannotOpenNamed(sourceName))) return false;
    try {
        WalkChunks(source, wave);
    } catch (const EInOutError&) {
        // Trailing junk: what was found before it still converts.
    }
    if (!wave.Found) {
        host_.ShowError(msg::NoValidWav);
        return false;
    }
    // More than two channels mix into the target's by where they belong;
    // where that is not known, nothing is made rather than silence.
    const WAVEFORMATEX& f = wave.Wfx();
    std::vector<float> mix;
    if (f.nChannels > 2 && f.nChannels <= 8 && !acm::DownmixMatrix(f.nChannels, acm::ChannelMask(f), 2, mix)) {
        host_.ShowError(msg::UnknownChannelLayout);
        return false;
    }
    // A data chunk claiming more than the file holds ends with the file.
    length = std::min<std::int64_t>(wave.DataSize, std::max<std::int64_t>(0, source.Size() - wave.DataOffset));
    if (!CreateTarget(target, source, targetName)) return false;
    source.Seek(wave.DataOffset);
    return true;
}

bool TConverterCore::RunChunks(Chain& ch) {
    ch.run = RunChunkLoop(*ch.first, ch.second, ch.length, ch, ch.keep);
    const TChunkRun& run = ch.run;
    if (run.written && ch.silenceIsFailure && run.read > 0 && run.firstOutput == 0)
        throw EACMConvertor("acmStreamConvert: the codec made no audio of the data");
    if (run.written) return true;
    // Never a success: the target keeps what fitted, with a header that
    // says so.
    if (ch.tooLarge) {
        host_.ShowError(msg::TooLarge);
        return false;
    }
    writeFailed_ = true;
    host_.ShowError(msg::CannotWrite);
    return false;
}

void TConverterCore::MP3ToWav(const std::string& sourceName, const std::string& targetName, bool cdQuality) {
    if (Catalogue.MP3FormatCount() == 0) {
        host_.ShowError(msg::NoMp3Decoder);
        return;
    }
    State.Busy = true;
    SetProStatus(0);
    TByteFile source;
    RunGuard guard(*this, {&wavcd, &mp3wav}, source);
    TTargetFile& target = guard.Target();
    if (!OpenSource(source, sourceName, msg::CannotOpen)) return;
    const std::int64_t size = source.Size();
    // The source is looked at before the target is made, so that a source
    // that cannot be an MP3 leaves no empty target behind.
    TFrameAnalysis analysis = LocateAudio(source);
    if (analysis.Wrapped ? !IsMpegAudioTag(analysis) : !analysis.Found) {
        // A WAVE file of PCM or another codec: decoding its samples as MP3
        // frames would give noise, not its audio. A file without a single
        // frame header holds no MP3 at all; an empty WAV would pass for a
        // success.
        host_.ShowError(msg::NoValidMp3);
        return;
    }
    DeriveFormats(analysis, source, mp3wav, Catalogue.MP3FormatTable);
    if (!CreateTarget(target, source, targetName)) return;
    TCarriedTags carried;
    if (CarryTags)
        carried = Carried(ReadSourceTags(source), analysis.SampleRate
                                                      ? double(acm::SamplesPerFrame(analysis.SampleRate)) / analysis.SampleRate
                                                      : 0);
    std::vector<std::uint8_t> tags = WaveTagTail(carried);
    // The CD-quality target's format is wavcd's stored one; when the MP3 is
    // already in it, decoding alone gives the same bytes.
    const TFormatArea& written = cdQuality ? wavcd.FormatOut : mp3wav.FormatOut;
    const bool secondStage = cdQuality && std::memcmp(mp3wav.FormatOut.Bytes.data(), wavcd.FormatOut.Bytes.data(), 16) != 0;
    std::uint8_t format16[16];
    std::memcpy(format16, written.Bytes.data(), 16);
    // The target's length from the stream's length at its first frame's
    // bitrate, decoded at its first frame's rate (or CD quality's).
    // (A damaged wrapper's figures are no measure: never past what 48 kHz
    // stereo gives.)
    const std::int64_t perSecond = std::min<std::int64_t>(
        192000, cdQuality ? 176400 : std::int64_t{analysis.SampleRate} * std::max(1, analysis.Channels) * 2);
    // Nothing is longer than its bytes at 8 kbit/s, the lowest bitrate: a
    // damaged count or header is no measure.
    const std::int64_t bytes = size - analysis.AudioStart;
    const std::int64_t frames = InfoFrameCount(source, analysis);
    const std::int64_t estimate = std::min(
        bytes / 1000 * perSecond,
        frames >= 0 ? frames * acm::SamplesPerFrame(analysis.SampleRate) * perSecond / std::max(1u, analysis.SampleRate)
                    : bytes * 8 / std::max(8, analysis.Bitrate) * perSecond / 1000);
    const std::int64_t largest = target.BeginWave(format16, estimate, std::move(tags));

    mp3wav.SetInputBufferSize(std::max<DWORD>(1, mp3wav.FormatIn.Wfx().nBlockAlign) * 1024);
    mp3wav.SetActive(true);
    if (secondStage) {
        wavcd.FormatIn.Bytes = mp3wav.FormatOut.Bytes;
        wavcd.SetInputBufferSize(mp3wav.OutputBufferSize());
        wavcd.SetActive(true);
    }
    Chain chain(*this, source, target.File(), &mp3wav, secondStage ? &wavcd : nullptr, size,
                size - analysis.AudioStart);
    chain.largest = largest;
    guard.Converting();
    const bool whole = RunChunks(chain);
    Finish(mp3wav);
    if (secondStage) Finish(wavcd);
    if (whole && !State.Cancel && chain.run.firstOutput == 0) {
        // A chance frame header in bytes that are no MP3 (random data,
        // another kind of file): the decoder found no audio behind it. An
        // empty WAV would pass for a success.
        host_.ShowError(msg::NoValidMp3);
        guard.Discard();
        return;
    }
    if (whole) guard.Completed();
    if (whole && !State.Cancel && carried.Id3v2LeftBehind) host_.ShowNotice(msg::TagLeftBehind);
}

void TConverterCore::WavToMp3(const std::string& sourceName, const std::string& targetName) {
    if (!FormatChosen(Catalogue.MP3FormatCount(), Mp3FormatIndex)) return;
    State.Busy = true;
    SetProStatus(0);
    TByteFile source;
    RunGuard guard(*this, {&wavmp3, &wavtowav}, source);
    TTargetFile& target = guard.Target();
    TWaveChunks wave;
    std::int64_t length = 0;
    if (!OpenWaveSource(source, sourceName, target, targetName, wave, length)) return;
    // The source's tags: an ID3v2 tag in front of the stream, so that
    // players show them at once, and an ID3v1.1 tag at its end.
    TCarriedTags tags;
    if (CarryTags) tags = Carried(ReadWaveTags(source));
    const std::vector<std::uint8_t>& front = tags.Id3v2;
    if (!front.empty()) target.File().Write(front.data(), front.size());

    TFormatCatalogue::CopySlot(Catalogue.MP3FormatTable, Mp3FormatIndex, wavmp3.FormatOut);
    const WAVEFORMATEX& mp3 = wavmp3.FormatOut.Wfx();
    WAVEFORMATEX& pcm = wavmp3.FormatIn.Wfx();
    pcm.nChannels = mp3.nChannels;
    pcm.nSamplesPerSec = mp3.nSamplesPerSec;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(mp3.nChannels * 16 / 8);
    pcm.nAvgBytesPerSec = mp3.nSamplesPerSec * mp3.nChannels * 16 / 8;
    pcm.cbSize = 0;
    const WAVEFORMATEX& src = wave.Wfx();
    // A source already in the encoder's PCM goes to the encoder directly.
    const bool direct = src.wFormatTag == WAVE_FORMAT_PCM && src.nChannels == pcm.nChannels &&
                        src.nSamplesPerSec == pcm.nSamplesPerSec && src.wBitsPerSample == 16 &&
                        src.nBlockAlign == pcm.nBlockAlign;
    TACMConvertor* first = &wavmp3;
    if (!direct) {
        wavtowav.FormatIn.Bytes.fill(0);
        std::memcpy(wavtowav.FormatIn.Bytes.data(), wave.Format.data(), wave.Format.size());
        std::memcpy(wavtowav.FormatOut.Bytes.data(), wavmp3.FormatIn.Bytes.data(), sizeof(WAVEFORMATEX));
        wavtowav.SetInputBufferSize(WavChunk(src, 8192));
        wavtowav.SetActive(true);
        wavmp3.FormatIn.Bytes = wavtowav.FormatOut.Bytes;
        wavmp3.SetInputBufferSize(wavtowav.OutputBufferSize());
        first = &wavtowav;
    } else {
        wavmp3.SetInputBufferSize(WavChunk(src, 8192));
    }
    wavmp3.SetActive(true);
    // How long the signal will be, so that a long one is cut into even
    // blocks for the cores.
    const double sourceFrames =
        wave.FactSamples > 0 && src.wFormatTag != WAVE_FORMAT_PCM
            ? static_cast<double>(wave.FactSamples)
            : static_cast<double>(length) * src.nSamplesPerSec / static_cast<double>(SourceBytesPerSecond(src));
    acmStreamMessage(wavmp3.StreamHandle(), ACMDM_MP3_LENGTH,
                     static_cast<LPARAM>(sourceFrames * mp3.nSamplesPerSec / std::max<DWORD>(1, src.nSamplesPerSec)), 0);
    Chain chain(*this, source, target.File(), first, direct ? nullptr : &wavmp3, length, length, true);
    chain.swap = wave.SwapBytes;
    if (!direct) chain.keep = AudioBytes(wave, wavtowav.FormatOut.Wfx());
    guard.Converting();
    bool whole = RunChunks(chain);
    if (whole)
        target.WriteMp3InfoFrame(wavmp3.StreamHandle(), static_cast<std::int64_t>(front.size()));
    else
        target.SealCutMp3(wavmp3.StreamHandle(), static_cast<std::int64_t>(front.size()));
    if (whole && !tags.Summary.empty()) {
        const TTagRecord record = Id3v1Record(tags.Summary);
        whole = target.File().Write(record.data(), record.size()) == record.size() && whole;
    }
    if (!direct) Finish(wavtowav);
    Finish(wavmp3);
    if (whole) guard.Completed();
    if (whole && !State.Cancel && tags.Id3v2LeftBehind) host_.ShowNotice(msg::TagLeftBehind);
}

void TConverterCore::WavToWav(const std::string& sourceName, const std::string& targetName) {
    if (!FormatChosen(Catalogue.WAVFormatCount(), WavFormatIndex)) return;
    State.Busy = true;
    SetProStatus(0);
    TByteFile source;
    RunGuard guard(*this, {&wavtowav}, source);
    TTargetFile& target = guard.Target();
    TWaveChunks wave;
    std::int64_t length = 0;
    if (!OpenWaveSource(source, sourceName, target, targetName, wave, length)) return;

    wavtowav.FormatIn.Bytes.fill(0);
    std::memcpy(wavtowav.FormatIn.Bytes.data(), wave.Format.data(), wave.Format.size());
    TFormatArea chosen;
    TFormatCatalogue::CopySlot(Catalogue.WAVFormatTable, WavFormatIndex, chosen);
    std::memcpy(wavtowav.FormatOut.Bytes.data(), chosen.Bytes.data(), sizeof(WAVEFORMATEX));
    wavtowav.SetInputBufferSize(WavChunk(wave.Wfx(), 1024));
    wavtowav.SetActive(true);
    std::uint8_t format16[16];
    std::memcpy(format16, wavtowav.FormatOut.Bytes.data(), 16);
    const WAVEFORMATEX& out = wavtowav.FormatOut.Wfx();
    const std::int64_t keep = AudioBytes(wave, out);
    // No real codec packs more than a hundredth of a second of PCM into a
    // byte; a header claiming so is damaged, not a measure.
    const std::int64_t estimate =
        keep >= 0 ? keep : length * std::min<std::int64_t>(128, out.nAvgBytesPerSec / SourceBytesPerSecond(wave.Wfx()) + 1);
    const std::int64_t largest = target.BeginWave(
        format16, estimate, CarryTags ? WaveTagTail(FindWaveTagChunks(source)) : std::vector<std::uint8_t>{});
    Chain chain(*this, source, target.File(), &wavtowav, nullptr, length, length, true);
    chain.swap = wave.SwapBytes;
    chain.keep = keep;
    chain.largest = largest;
    guard.Converting();
    const bool whole = RunChunks(chain);
    Finish(wavtowav);
    if (whole) guard.Completed();
}

}  // namespace sondrel
