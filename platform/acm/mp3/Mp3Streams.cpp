#include "platform/acm/mp3/Mp3Streams.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>
#include <cstring>

#include "platform/acm/mp3/MpegTables.h"
#include "platform/acm/pcm/PcmConvertStream.h"

namespace acm {
namespace {

// Free-format frames may carry up to 640 kbit/s; at 32 kHz that is 2880 bytes.
constexpr std::size_t kLargestFrame = 2881;

}  // namespace

Mp3DecodeStream::Mp3DecodeStream(unsigned rate, int channels)
    : rate_(rate), channels_(channels), workers_(StreamWorkers()), handle_(NewMpg123Decoder(channels)) {}

Mp3DecodeStream::~Mp3DecodeStream() {
    if (handle_) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
}

std::size_t Mp3DecodeStream::OutputBound(std::size_t srcBytes) const {
    // The smallest Layer III frames yield the most samples per byte: below
    // MPEG-1, 8 kbit/s gives rate / 1000 samples a byte, at any rate once
    // brought to the stream's (a stream can go on in another format: files
    // glued together). What the decoder holds back is less than two of the
    // largest frames.
    const std::size_t samples = (srcBytes + 2 * kLargestFrame) * rate_ / 1000 + 2 * 1152;
    const std::size_t own = samples * 2 * static_cast<std::size_t>(channels_);
    // Frames of another rate go through a resampler, which gives out what
    // it holds when the rate changes again or the stream ends.
    std::size_t fix = 0;
    for (const unsigned rate : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
        fix = std::max(fix, PcmConvertStream::HeldBytes(PcmFormat(rate, static_cast<WORD>(channels_), 16),
                                                        PcmFormat(rate_, static_cast<WORD>(channels_), 16)));
    // Blocks decoded on other cores come out a few at a time.
    return own + fix + (workers_ > 1 ? Mp3BlockDecoder::HeldOutputBound(rate_, channels_, workers_) : 0);
}

std::size_t Mp3DecodeStream::InputFor(std::size_t dstBytes) const {
    // At 128 kbit/s: a rough guide only, as the real rate varies.
    return dstBytes / (static_cast<std::size_t>(rate_) * 2 * channels_ / 16000 + 1);
}

void Mp3DecodeStream::Reset() {
    blocks_.reset();
    alone_ = false;
    skipBelow_ = 0;
    if (!handle_) return;
    mpg123_close(handle_);
    mpg123_open_feed(handle_);
    rateFix_.reset();
}

void Mp3DecodeStream::FlushRateFix(ByteSink& out) {
    if (!rateFix_) return;
    std::size_t used = 0;
    rateFix_->Convert(nullptr, 0, used, out, true, false);
    rateFix_.reset();
}

void Mp3DecodeStream::FormatChanged(ByteSink& out) {
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(handle_, &rate, &channels, &encoding);
    FlushRateFix(out);
    if (static_cast<unsigned>(rate) != rate_ && rate > 0)
        rateFix_ = std::make_unique<PcmConvertStream>(
            PcmFormat(static_cast<DWORD>(rate), static_cast<WORD>(channels_), 16),
            PcmFormat(rate_, static_cast<WORD>(channels_), 16));
}

MMRESULT Mp3DecodeStream::Convert(const std::uint8_t* src, std::size_t len, std::size_t& used,
                                  ByteSink& out, bool end, bool /*blockAlignOnly*/) {
    if (!handle_) return ACMERR_NOTPOSSIBLE;
    used = len;
    if (!alone_ && workers_ > 1) {
        if (!blocks_) blocks_ = std::make_unique<Mp3BlockDecoder>(rate_, channels_, workers_);
        const bool cut = blocks_->Add(src, len, out);
        if (cut && !end) return MMSYSERR_NOERROR;
        if (cut && blocks_->Started() && blocks_->Finish(out)) {
            blocks_.reset();
            return MMSYSERR_NOERROR;
        }
        // None to cut (or too short for it), or the blocks stopped: this
        // decoder takes over where they left off, this call's bytes among
        // what it is fed.
        const Mp3BlockDecoder::Rest rest = blocks_->TakeRest();
        blocks_.reset();
        alone_ = !end;
        skipBelow_ = rest.skipBelow;
        return DecodeAlone(rest.bytes.data(), rest.bytes.size(), out, end);
    }
    const MMRESULT r = DecodeAlone(src, len, out, end);
    if (end) alone_ = false;
    return r;
}

MMRESULT Mp3DecodeStream::DecodeAlone(const std::uint8_t* src, std::size_t len, ByteSink& out, bool end) {
    if (len > 0 && mpg123_feed(handle_, src, len) != MPG123_OK) return MMSYSERR_NOMEM;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int r = mpg123_decode_frame(handle_, &frameNumber, &audio, &bytes);
        if (r == MPG123_NEW_FORMAT) {
            FormatChanged(out);
            continue;
        }
        if (r == MPG123_OK) {
            if (bytes == 0 || frameNumber < skipBelow_) continue;
            if (rateFix_) {
                std::size_t fixUsed = 0;
                rateFix_->Convert(audio, bytes, fixUsed, out, false, false);
            } else {
                out.Write(audio, bytes);
            }
            continue;
        }
        // NEED_MORE waits for the next call; anything else is damage the
        // decoder has already stepped over or will resynchronise behind.
        break;
    }
    if (end) {
        skipBelow_ = 0;
        FlushRateFix(out);
        // What is left is a partial frame that no later byte will complete.
        mpg123_close(handle_);
        mpg123_open_feed(handle_);
    }
    return MMSYSERR_NOERROR;
}

Mp3EncodeStream::Mp3EncodeStream(unsigned rate, int channels, int kbps, int vbrQuality)
    : rate_(rate), channels_(channels), kbps_(kbps), vbr_(vbrQuality), workers_(StreamWorkers()) {
    Start();
}

Mp3EncodeStream::~Mp3EncodeStream() {
    if (lame_) lame_close(lame_);
}

bool Mp3EncodeStream::Start() {
    if (lame_) lame_close(lame_);
    // An info frame in front (its values filled in at the end, see
    // ACMDM_MP3_INFOFRAME), so that decoders give back exactly the source's
    // samples; no tag behind.
    lame_ = NewLameEncoder(Settings(), true);
    if (!lame_) return false;
    carried_ = 0;
    expectedFrames_ = 0;  // told again for the next signal
    stopping_ = false;
    bytesOut_ = 0;
    musicCrc_ = 0;
    placeholderSent_ = false;
    held_.clear();
    blocks_.reset();
    blockInfo_.reset();
    ownInfo_.reset();
    // (A VBR stream's Xing frame has a bitrate of its own that holds it.)
    if (vbr_ < 0 && !EncoderWritesInfoFrame(rate_, channels_, kbps_)) ownInfo_ = OwnInfoFrame(rate_, channels_, kbps_);
    return true;
}

std::unique_ptr<InfoFrame> Mp3EncodeStream::BuiltInfoFrame() const {
    if (vbr_ < 0 && !EncoderWritesInfoFrame(rate_, channels_, kbps_)) return OwnInfoFrame(rate_, channels_, kbps_);
    // The library's own frame for these settings, from a stream of a few
    // frames of silence: its header, quality and method fields, lowpass,
    // stereo mode and bitrate are those of every stream in the format.
    std::unique_ptr<InfoFrame> frame;
    if (lame_global_flags* lame = NewLameEncoder(Settings(), true)) {
        std::vector<std::uint8_t> stream(16 * 1024), model(kLargestFrame);
        const std::vector<std::uint8_t> silence(static_cast<std::size_t>(SamplesPerFrame(rate_)) * 4 * channels_, 0);
        LameEncode(lame, channels_, silence.data(), silence.size() / (2 * channels_), stream.data(), stream.size());
        lame_encode_flush(lame, stream.data(), static_cast<int>(stream.size()));
        model.resize(std::min(lame_get_lametag_frame(lame, model.data(), model.size()), model.size()));
        lame_close(lame);
        frame = LibraryInfoFrame(std::move(model));
    }
    return frame ? std::move(frame) : OwnInfoFrame(rate_, channels_, kbps_);
}

InfoFrameValues Mp3EncodeStream::BaseValues() const {
    InfoFrameValues v;
    v.delay = lame_get_encoder_delay(lame_);
    v.lowpass = lame_get_lowpassfreq(lame_);
    v.kbps = kbps_;
    v.encoder = std::string("LAME") + get_lame_short_version();
    return v;
}

std::size_t Mp3EncodeStream::OutputBound(std::size_t srcBytes) const {
    const std::size_t samples = srcBytes / (2 * channels_) + 1;
    // What the stream may hold back and give out in one call: the start
    // of the signal, then the blocks in work and the one being joined.
    const bool mpeg1 = IsMpeg1Rate(rate_);
    const std::size_t heldFrames = static_cast<std::size_t>(Mp3BlockEncoder::ThresholdFrames(mpeg1)) +
        static_cast<std::size_t>(workers_ + 2) *
            static_cast<std::size_t>(Mp3BlockEncoder::LongestBlockFrames(mpeg1) + Mp3BlockEncoder::kSeamFrames);
    // (VBR frames may each take the version's highest bitrate.)
    const std::size_t held = heldFrames * static_cast<std::size_t>(FrameBytes(vbr_ >= 0 ? 320 : kbps_, rate_) + 1);
    // The encoder's own worst case, the flush, and our info frame's
    // placeholder.
    return samples * 5 / 4 + 7200 + 7200 + kLargestFrame + held;
}

std::size_t Mp3EncodeStream::InputFor(std::size_t dstBytes) const {
    const std::size_t seconds1000 = dstBytes * 8 / static_cast<std::size_t>(kbps_);
    return seconds1000 * rate_ / 1000 * 2 * channels_;
}

void Mp3EncodeStream::SendPlaceholder(ByteSink& out) {
    if (!ownInfo_ || placeholderSent_) return;
    const std::vector<std::uint8_t> frame = ownInfo_->Placeholder();
    if (!frame.empty()) out.Write(frame.data(), frame.size());
    bytesOut_ += frame.size();
    placeholderSent_ = true;
}

void Mp3EncodeStream::Reset() {
    infoFrame_.clear();
    Start();
}

MMRESULT Mp3EncodeStream::CutInfoFrame(MP3INFOFRAMECUT& cut) {
    if (!lame_) return ACMERR_NOTPOSSIBLE;
    const std::unique_ptr<InfoFrame> built = BuiltInfoFrame();
    InfoFrameValues v = BaseValues();
    v.frames = cut.dwFrames;
    v.bytes = cut.dwBytes;
    v.musicCrc = cut.wMusicCrc;
    v.lastHeaderByte = cut.iLastHeader;
    if (vbr_ >= 0 && cut.pwFrameKbps) v.framesKbps.assign(cut.pwFrameKbps, cut.pwFrameKbps + cut.dwFrames);
    // The file ends where the audio that reached it ends: nothing to drop
    // there.
    v.padding = 0;
    const std::vector<std::uint8_t> frame = built->Filled(v);
    if (!cut.pbFrame || cut.cbFrame < frame.size()) {
        cut.cbFrame = static_cast<DWORD>(frame.size());
        return MMSYSERR_INVALPARAM;
    }
    std::memcpy(cut.pbFrame, frame.data(), frame.size());
    cut.cbFrame = static_cast<DWORD>(frame.size());
    return MMSYSERR_NOERROR;
}

MMRESULT Mp3EncodeStream::Message(UINT msg, LPARAM lParam1, LPARAM lParam2) {
    if (msg == ACMDM_STREAM_STOP) {
        stopping_ = true;
        return MMSYSERR_NOERROR;
    }
    if (msg == ACMDM_MP3_LENGTH) {
        if (held_.empty() && !blocks_) expectedFrames_ = static_cast<std::uint64_t>(lParam1);
        return MMSYSERR_NOERROR;
    }
    if (msg == ACMDM_MP3_INFOFRAME_CUT) {
        auto* cut = reinterpret_cast<MP3INFOFRAMECUT*>(lParam1);
        return cut ? CutInfoFrame(*cut) : MMSYSERR_INVALPARAM;
    }
    if (msg != ACMDM_MP3_INFOFRAME) return MMSYSERR_NOTSUPPORTED;
    auto* buffer = reinterpret_cast<std::uint8_t*>(lParam1);
    auto* size = reinterpret_cast<DWORD*>(lParam2);
    if (!size) return MMSYSERR_INVALPARAM;
    if (infoFrame_.empty()) return ACMERR_NOTPOSSIBLE;
    if (!buffer || *size < infoFrame_.size()) {
        *size = static_cast<DWORD>(infoFrame_.size());
        return MMSYSERR_INVALPARAM;
    }
    std::memcpy(buffer, infoFrame_.data(), infoFrame_.size());
    *size = static_cast<DWORD>(infoFrame_.size());
    return MMSYSERR_NOERROR;
}

void Mp3EncodeStream::Encode(const std::uint8_t* frames, std::size_t count, ByteSink& out) {
    constexpr std::size_t kStep = 8192;
    SendPlaceholder(out);
    while (count > 0) {
        const std::size_t n = std::min(count, kStep);
        const std::size_t room = n * 5 / 4 + 7200;
        std::uint8_t* mp3 = out.Grab(room);
        const std::size_t made = LameEncode(lame_, channels_, frames, n, mp3, room);
        if (ownInfo_) musicCrc_ = InfoCrc16(musicCrc_, mp3, made);
        out.Commit(made);
        bytesOut_ += made;
        frames += n * 2 * channels_;
        count -= n;
    }
}

void Mp3EncodeStream::Feed(const std::uint8_t* frames, std::size_t count, ByteSink& out) {
    if (count == 0) return;  // an END call brings no samples
    const std::size_t block = 2 * static_cast<std::size_t>(channels_);
    if (!blocks_) {
        held_.insert(held_.end(), frames, frames + count * block);
        const std::size_t threshold = static_cast<std::size_t>(Mp3BlockEncoder::ThresholdFrames(IsMpeg1Rate(rate_))) *
                                      static_cast<std::size_t>(SamplesPerFrame(rate_));
        if (held_.size() / block < threshold) return;
        blocks_ = std::make_unique<Mp3BlockEncoder>(Settings(), workers_,
                                                    expectedFrames_ / static_cast<std::uint64_t>(SamplesPerFrame(rate_)));
        // Frames from several encoders: the info frame is built here.
        blockInfo_ = BuiltInfoFrame();
        const std::vector<std::uint8_t> placeholder = blockInfo_->Placeholder();
        if (!placeholder.empty()) out.Write(placeholder.data(), placeholder.size());
        bytesOut_ += placeholder.size();
        frames = held_.data();
        count = held_.size() / block;
    }
    blocks_->Add(frames, count, out);
    if (!held_.empty() && frames == held_.data()) {
        held_.clear();
        held_.shrink_to_fit();
    }
}

MMRESULT Mp3EncodeStream::Convert(const std::uint8_t* src, std::size_t len, std::size_t& used,
                                  ByteSink& out, bool end, bool blockAlignOnly) {
    if (!lame_) return ACMERR_NOTPOSSIBLE;
    const std::size_t block = 2 * static_cast<std::size_t>(channels_);
    if (blockAlignOnly) {
        const std::size_t partial = (carried_ + len) % block;
        if (partial <= len) len -= partial;
    }
    used = len;
    if (carried_ > 0) {
        const std::size_t take = std::min(block - carried_, len);
        if (take > 0) std::memcpy(carry_ + carried_, src, take);
        carried_ += take;
        src += take;
        len -= take;
        if (carried_ == block) {
            alignas(short) std::uint8_t frame[4];
            std::memcpy(frame, carry_, block);
            Feed(frame, 1, out);
            carried_ = 0;
        }
    }
    const std::size_t whole = len / block;
    Feed(src, whole, out);
    carried_ = len - whole * block;
    if (carried_ > 0) std::memcpy(carry_, src + whole * block, carried_);
    if (end && blocks_) {
        InfoFrameValues v = BaseValues();
        if (stopping_)
            blocks_->Abandon(out, v);
        else
            blocks_->Finish(out, v);
        v.bytes = static_cast<std::uint32_t>(bytesOut_ + blocks_->BytesOut());
        infoFrame_ = blockInfo_->Filled(v);
        Start();
        return MMSYSERR_NOERROR;
    }
    if (end) {
        // A signal shorter than a block: one encoder, as it always was.
        Encode(held_.data(), held_.size() / block, out);
        held_.clear();
        SendPlaceholder(out);
        std::uint8_t* mp3 = out.Grab(7200);
        const int r = lame_encode_flush(lame_, mp3, 7200);
        const std::size_t made = r > 0 ? static_cast<std::size_t>(r) : 0;
        if (ownInfo_) musicCrc_ = InfoCrc16(musicCrc_, mp3, made);
        out.Commit(made);
        bytesOut_ += made;
        // The info frame knows the stream's length only now, and the
        // encoder is spent after its flush: keep the frame, start afresh.
        if (ownInfo_) {
            InfoFrameValues v = BaseValues();
            v.frames = static_cast<std::uint32_t>(lame_get_frameNum(lame_));
            v.bytes = static_cast<std::uint32_t>(bytesOut_);
            v.padding = lame_get_encoder_padding(lame_);
            v.musicCrc = musicCrc_;
            infoFrame_ = ownInfo_->Filled(v);
        } else {
            infoFrame_.assign(kLargestFrame, 0);
            const std::size_t n = lame_get_lametag_frame(lame_, infoFrame_.data(), infoFrame_.size());
            infoFrame_.resize(n <= kLargestFrame ? n : 0);
        }
        Start();
    }
    return MMSYSERR_NOERROR;
}

}  // namespace acm
