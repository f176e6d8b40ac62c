#include "platform/acm/mp3/Mp3BlockDecoder.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/acm/mp3/Mp3BlockEncoder.h"
#include "platform/acm/mp3/Mp3InfoFrame.h"
#include "platform/acm/mp3/MpegTables.h"

namespace acm {
namespace {

std::atomic<int> g_blockFrames{0};
std::atomic<long> g_failFrom{-1};
std::atomic<long> g_blocks{0}, g_fallbacks{0};

// Frames a block's decoder sees before the block: enough to rebuild the
// overlap and the synthesis history from a frame whose reservoir the
// silence frame holds. The last block's also spend the start the decoder
// trims away (the encoder's delay, up to 4095 samples, and its own 529).
constexpr long kPreroll = 2;
constexpr long kTrimSamples = 4095 + 529;
// Frames each block decodes past its end, for the next block to match.
constexpr long kCheckFrames = 8;
constexpr double kBlockSeconds = 5.0;
// Blocks in work beyond one a worker: the converting thread is a worker
// too while it waits, and one block more keeps the pool's threads busy
// while it joins and writes instead.
constexpr int kAhead = 1;

bool InitMpg123() {
    static const bool ok = mpg123_init() == MPG123_OK;
    return ok;
}

int Version(const std::uint8_t* h) { return (h[1] >> 3) & 3; }
bool Mpeg1(const std::uint8_t* h) { return Version(h) == 3; }
// Frames after which the synthesis ring stands where it stood: a frame
// moves it by 36 slots of 16 (18 below MPEG-1).
long RingTurn(const std::uint8_t* h) { return Mpeg1(h) ? 4 : 8; }
bool Mono(const std::uint8_t* h) { return (h[3] >> 6) == 3; }
// The fewest bytes a frame of the version can have (32 kBit/s at 48 kHz,
// 8 kBit/s at 24 kHz).
std::size_t SmallestFrame(const std::uint8_t* h) { return Mpeg1(h) ? 96 : 24; }
int SideBytes(const std::uint8_t* h) { return Mpeg1(h) ? (Mono(h) ? 17 : 32) : (Mono(h) ? 9 : 17); }
int CrcBytes(const std::uint8_t* h) { return (h[1] & 1) ? 0 : 2; }

unsigned RateOf(const std::uint8_t* h) {
    static constexpr unsigned kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    const int s = (h[2] >> 2) & 3;
    return s < 3 ? kRates[Version(h)][s] : 0;
}

// Every frame the decoder can give out now: its number and samples. False
// where its output changes to another rate than the given one (frames of
// another rate, which the codec stream's own decoder brings to its rate).
template <typename F>
bool DecodeFrames(mpg123_handle* h, unsigned rate, F&& take) {
    for (;;) {
        off_t num = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int e = mpg123_decode_frame(h, &num, &audio, &bytes);
        if (e == MPG123_NEW_FORMAT) {
            long now = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(h, &now, &channels, &encoding);
            if (static_cast<unsigned>(now) != rate) return false;
            continue;
        }
        if (e != MPG123_OK) return true;
        take(static_cast<long>(num), audio, bytes);
    }
}


}  // namespace

void SetMp3DecodeBlockFrames(int frames) { g_blockFrames = std::max(0, frames); }

void SetMp3DecodeSeamsFailFrom(long block) { g_failFrom = block; }

Mp3DecodeStats Mp3DecodeStatistics() { return {g_blocks, g_fallbacks}; }

mpg123_handle_struct* NewMpg123Decoder(int channels) {
    if (!InitMpg123()) return nullptr;
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return nullptr;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
    // Every rate is allowed, so the decoder never resamples; only the
    // stream's channel count is, so it mixes down or doubles a frame that
    // has the other one.
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    return h;
}

std::size_t Mp3BlockDecoder::HeldOutputBound(unsigned rate, int channels, int workers) {
    const long frames = g_blockFrames > 0 ? g_blockFrames.load() : static_cast<long>(kBlockSeconds * rate / SamplesPerFrame(rate));
    const auto perBlock = static_cast<std::size_t>(2 * frames + kCheckFrames + kPreroll + 2) *
                          static_cast<std::size_t>(SamplesPerFrame(rate)) * 2 * static_cast<std::size_t>(channels);
    return static_cast<std::size_t>(std::max(1, workers) + 1 + kAhead) * perBlock;
}

Mp3BlockDecoder::Mp3BlockDecoder(unsigned rate, int channels, int workers)
    : rate_(rate), channels_(channels), workers_(std::max(1, workers)) {}

Mp3BlockDecoder::~Mp3BlockDecoder() {
    *stop_ = true;
    jobs_.Drop();
}

int Mp3BlockDecoder::Length(const std::uint8_t* h) const {
    if ((h[2] >> 4) == 0) return freeBase_ > 0 ? freeBase_ + ((h[2] >> 1) & 1) : 0;
    const unsigned rate = RateOf(h);
    const int kbps = kBitrateKbps[Mpeg1(h) ? 1 : 0][1][h[2] >> 4];
    return static_cast<int>((Mpeg1(h) ? 144000u : 72000u) * static_cast<unsigned>(kbps) / rate) + ((h[2] >> 1) & 1);
}

bool Mp3BlockDecoder::Chains(const std::uint8_t* h) const {
    // A Layer III frame of the first one's version, rate, channel count
    // and kind of bitrate (free or not).
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1 || (h[2] >> 4) == 15) return false;
    return (h[1] & 0x1E) == (head_[1] & 0x1E) && (h[2] & 0x0C) == (head_[2] & 0x0C) && (h[2] & 0x0C) != 0x0C &&
           Mono(h) == Mono(head_) && ((h[2] >> 4) == 0) == ((head_[2] >> 4) == 0);
}

// Walks the frames that have arrived. False where the stream's start
// shows it is none to cut; a later frame that does not chain on ends the
// cutting (the last block then takes the rest).
bool Mp3BlockDecoder::Parse() {
    const std::int64_t have = bytesAt_ + static_cast<std::int64_t>(bytes_.size());
    const auto at = [&](std::int64_t offset) { return bytes_.data() + (offset - bytesAt_); };
    while (cuttable_ && parsed_ + 4 <= have) {
        const std::uint8_t* h = at(parsed_);
        if (frames_.empty()) {
            std::memcpy(head_, h, 4);
            if (!Chains(h) || RateOf(h) != rate_) return false;
            spf_ = SamplesPerFrame(RateOf(h));
            if ((h[2] >> 4) == 0) {
                // Free format: the frames' length is the distance to the
                // next header.
                for (std::int64_t d = 24; freeBase_ == 0 && parsed_ + d + 4 <= have && d < 8192; ++d)
                    if (Chains(at(parsed_ + d))) freeBase_ = static_cast<int>(d) - ((h[2] >> 1) & 1);
                if (freeBase_ == 0) return have - parsed_ < 8192 + 4;  // wait for more, or none
            }
        } else if (!Chains(h) || (announced_ >= 0 && static_cast<long>(frames_.size()) > announced_)) {
            // (Frames past those the info frame announces are another
            // file's glued on: one decoder trims the first one's padding
            // there, which only the last block's decoder is told of.)
            cuttable_ = false;
            break;
        }
        Frame f;
        f.at = parsed_;
        f.length = Length(h);
        f.side = 4 + CrcBytes(h) + SideBytes(h);
        if (f.length <= f.side) return frames_.size() > 0 ? (cuttable_ = false, true) : false;
        if (parsed_ + f.length > have) break;  // the rest of it is still to come
        if (frames_.empty()) {
            // An info frame holds no audio; one of another writer's kind
            // (VBRI) trims where we would have to guess how.
            info_ = f.length >= f.side + 12 &&
                    (std::memcmp(h + f.side, "Xing", 4) == 0 || std::memcmp(h + f.side, "Info", 4) == 0);
            if (info_) infoFrame_.assign(h, h + f.length);
            if (info_ && (h[f.side + 7] & 1))
                announced_ = long{h[f.side + 8]} << 24 | long{h[f.side + 9]} << 16 | long{h[f.side + 10]} << 8 | h[f.side + 11];
            if (f.length >= 40 && std::memcmp(h + 36, "VBRI", 4) == 0) return false;
        }
        frames_.push_back(f);
        parsed_ += f.length;
    }
    return true;
}

bool Mp3BlockDecoder::Add(const std::uint8_t* src, std::size_t len, ByteSink& out) {
    bytes_.insert(bytes_.end(), src, src + len);
    if (stopped_) return false;
    const bool started = started_;
    if (!Parse() && !started) return false;
    if (blockFrames_ == 0 && !frames_.empty()) {
        const unsigned rate = RateOf(head_);
        blockFrames_ = g_blockFrames > 0 ? g_blockFrames.load()
                                         : std::max<long>(kCheckFrames + kPreroll + 8, static_cast<long>(kBlockSeconds * rate / spf_));
    }
    if (!started && !cuttable_) return false;
    if (!cuttable_ && bytesAt_ + static_cast<std::int64_t>(bytes_.size()) - parsed_ >
                          static_cast<std::int64_t>(blockFrames_ * SmallestFrame(head_))) {
        // More past the last frame that chained on than a tag or some junk:
        // the blocks in work are joined, and one decoder goes on from the
        // last (which a rest that long would not fit one call's output).
        while (!jobs_.Empty() && !stopped_) JoinOne(out);
        if (!stopped_) Stop(lastJoined_);
        return false;
    }
    // A block goes out once the one after it is sure to be there too (a
    // short rest is the last block's); no more in work than workers and
    // the blocks ahead.
    while (cuttable_ && blockFrames_ > 0 &&
           static_cast<long>(frames_.size()) >= nextBlock_ + 2 * blockFrames_ + kCheckFrames + 2) {
        if (!MakeRoom(out)) return false;
        Dispatch(false);
    }
    while (!stopped_ && jobs_.FrontReady()) JoinOne(out);
    return !stopped_;
}

std::vector<std::uint8_t> Mp3BlockDecoder::SilenceWithReservoir(long frame) const {
    const auto at = [&](std::int64_t offset) { return bytes_.data() + (offset - bytesAt_); };
    const std::uint8_t* h = at(frames_[static_cast<std::size_t>(frame)].at);
    // The block's first frame's header, without a check sum, at the
    // version's highest bitrate (room for any reservoir), or free.
    const std::uint8_t head[4] = {h[0], static_cast<std::uint8_t>(h[1] | 1),
                                  static_cast<std::uint8_t>((h[2] & 0x0C) | ((h[2] >> 4) == 0 ? 0 : 14 << 4)), h[3]};
    const int length = (head[2] >> 4) == 0 ? freeBase_ : Length(head);
    std::vector<std::uint8_t> silence(static_cast<std::size_t>(length), 0);
    std::memcpy(silence.data(), head, 4);
    // Its main data area ends with the stream's main data before the
    // frame: what the frame and those after it reach back for.
    const std::size_t room = static_cast<std::size_t>(length - 4 - SideBytes(head));
    std::size_t filled = 0;
    const long firstAudio = info_ ? 1 : 0;
    for (long j = frame - 1; j >= firstAudio && filled < room; --j) {
        const Frame& f = frames_[static_cast<std::size_t>(j)];
        const std::size_t data = static_cast<std::size_t>(f.length - f.side);
        const std::size_t take = std::min(data, room - filled);
        std::memcpy(silence.data() + silence.size() - filled - take, at(f.at + f.length) - take, take);
        filled += take;
    }
    return silence;
}

std::vector<std::uint8_t> Mp3BlockDecoder::InfoFrameFor(long fed) const {
    std::vector<std::uint8_t> info = infoFrame_;
    const std::size_t tag = static_cast<std::size_t>(frames_[0].side);
    if (!(info[tag + 7] & 1)) return info;  // no frame count: nothing to trim at the end
    // The decoder that gets this frame counts the silence frame and the
    // frames from fed on as the stream; one decoder counted from the first
    // audio frame. The same end, in its own count.
    std::uint32_t count = std::uint32_t{info[tag + 8]} << 24 | std::uint32_t{info[tag + 9]} << 16 |
                          std::uint32_t{info[tag + 10]} << 8 | info[tag + 11];
    count -= static_cast<std::uint32_t>(fed - 2);  // the frames from the first audio one to fed, less the silence
    for (int i = 0; i < 4; ++i) info[tag + 8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(count >> (24 - 8 * i));
    // The encoder's extension checks the frame up to itself.
    for (std::size_t ext = tag + 8; ext + 36 <= info.size(); ++ext)
        if (std::memcmp(&info[ext], "LAME", 4) == 0 || std::memcmp(&info[ext], "Lavc", 4) == 0 ||
            std::memcmp(&info[ext], "Lavf", 4) == 0) {
            const std::uint16_t crc = InfoCrc16(0, info.data(), ext + 34);
            info[ext + 34] = static_cast<std::uint8_t>(crc >> 8);
            info[ext + 35] = static_cast<std::uint8_t>(crc);
            break;
        }
    return info;
}

void Mp3BlockDecoder::Dispatch(bool last, long length) {
    started_ = true;
    Block b;
    b.first = nextBlock_;
    b.end = last ? -1 : nextBlock_ + (length > 0 ? length : blockFrames_);
    if (!last) {
        // The next block's decoder is fed from kPreroll frames before it
        // (after the silence frame); a block that ends where that frame
        // finds the synthesis ring in step spares the next decoder the
        // frames it would otherwise have to start earlier.
        const long turn = RingTurn(head_), inStep = kPreroll + (info_ ? 1 : 0) + 1;
        const long early = ((b.end - inStep) % turn + turn) % turn;
        if (b.end - early > b.first) b.end -= early;
    }
    const long firstAudio = info_ ? 1 : 0;
    std::vector<std::uint8_t> prefix;
    if (b.first == 0) {
        b.fed = 0;
        b.numOffset = firstAudio;
    } else {
        // Fed from some frames before: a frame where one decoder's
        // synthesis ring would stand as this decoder's will after the
        // silence frame (its slots per frame are 36 or 18 of 16).
        const long modulus = RingTurn(head_);
        long fed = b.first - kPreroll;
        if (last && info_) fed = std::min(fed, b.first - (kTrimSamples + spf_ - 1) / spf_ - 1);
        while (fed > firstAudio + 1 && ((fed - firstAudio - 1) % modulus + modulus) % modulus != 0) --fed;
        b.fed = std::max(firstAudio + 1, fed);
        b.numOffset = b.fed - 1;  // the silence frame is the decoder's frame 0
        if (last && info_) prefix = InfoFrameFor(b.fed);
        const std::vector<std::uint8_t> silence = SilenceWithReservoir(b.fed);
        prefix.insert(prefix.end(), silence.begin(), silence.end());
    }
    b.prefix = std::make_shared<const std::vector<std::uint8_t>>(std::move(prefix));
    b.from = frames_[static_cast<std::size_t>(b.fed)].at;
    const long upTo = b.end + kCheckFrames + 1;  // one more, so that the last one checked is whole
    b.to = last || upTo >= static_cast<long>(frames_.size()) ? bytesAt_ + static_cast<std::int64_t>(bytes_.size())
                                                           : frames_[static_cast<std::size_t>(upTo)].at;
    b.streamAt = bytesAt_;
    b.stream = std::make_shared<const std::vector<std::uint8_t>>(bytes_.begin() + (b.from - bytesAt_),
                                                                 bytes_.begin() + (b.to - bytesAt_));
    b.streamAt = b.from;
    // (Frames at the end that do not chain on may still give samples.)
    b.frames = (last ? static_cast<long>(frames_.size()) - b.first : b.end - b.first) + kCheckFrames;
    if (!last) nextBlock_ = b.end;
    Job job;
    job.block = b;
    const int channels = channels_;
    const unsigned rate = rate_;
    job.result = jobs_.Pool().Submit([b, rate, channels, stop = stop_, spare = spare_] {
        return Decode(b, rate, channels, kCheckFrames, *stop, *spare);
    });
    jobs_.Push(std::move(job));
}

Mp3BlockDecoder::Result Mp3BlockDecoder::Decode(const Block& b, unsigned rate, int channels, long checkFrames,
                                                const std::atomic<bool>& stop, SpareBuffers<std::uint8_t>& spare) {
    Result r;
    r.kept = spare.Take();
    r.check = spare.Take();
    // Room for the block's samples at once: growing would copy them.
    const long frames = b.frames;
    const std::size_t perFrame = 1152 * 2 * static_cast<std::size_t>(channels);
    r.kept.reserve(static_cast<std::size_t>(frames) * perFrame);
    r.check.reserve(static_cast<std::size_t>(checkFrames) * perFrame);
    mpg123_handle* h = NewMpg123Decoder(channels);
    if (!h) {
        r.ok = false;
        return r;
    }
    const auto drain = [&] {
        r.ok = r.ok && DecodeFrames(h, rate, [&](long num, const unsigned char* audio, std::size_t bytes) {
            const long g = num + b.numOffset;
            if (g >= b.first && (b.end < 0 || g < b.end))
                r.kept.insert(r.kept.end(), audio, audio + bytes);
            else if (b.end >= 0 && g >= b.end && g < b.end + checkFrames)
                r.check.insert(r.check.end(), audio, audio + bytes);
        });
    };
    if (!b.prefix->empty()) mpg123_feed(h, b.prefix->data(), b.prefix->size());
    drain();
    constexpr std::size_t kStep = 16384;
    for (std::size_t at = 0; at < b.stream->size() && !stop && r.ok; at += kStep) {
        mpg123_feed(h, b.stream->data() + at, std::min(kStep, b.stream->size() - at));
        drain();
    }
    mpg123_close(h);
    mpg123_delete(h);
    return r;
}

void Mp3BlockDecoder::Emit(std::vector<std::uint8_t>& samples, ByteSink& out) {
    if (!samples.empty()) out.Write(samples.data(), samples.size());
}

void Mp3BlockDecoder::JoinOne(ByteSink& out) {
    Job job = jobs_.PopFront();
    Result r = jobs_.Await(job.result);
    ++g_blocks;
    // The block's first samples are those the block before it decoded past
    // its end: then its decoder stood where one decoder would.
    const std::size_t n = std::min(pendingCheck_.size(), r.kept.size());
    const bool forced = g_failFrom >= 0 && job.block.first >= g_failFrom * blockFrames_ && job.block.first > 0;
    const bool holds = r.ok && !forced && (!anyJoined_ || (std::equal(pendingCheck_.begin(), pendingCheck_.begin() + static_cast<long>(n),
                                                            r.kept.begin()) &&
                                                 (pendingCheck_.size() == n || job.block.end < 0)));
    if (!holds) {
        ++g_fallbacks;
        Stop(lastJoined_);
        return;
    }
    Emit(r.kept, out);
    spare_->Give(std::move(r.kept));
    spare_->Give(std::move(pendingCheck_));
    pendingCheck_ = std::move(r.check);
    lastJoined_ = job.block;
    anyJoined_ = true;
    // What no later block, nor one decoder going on from this one, needs.
    const long oldest = std::max(0L, job.block.fed - 64);
    const std::int64_t keep = std::min(job.block.from, frames_[static_cast<std::size_t>(oldest)].at);
    frames_.Forget(static_cast<std::size_t>(oldest));
    if (keep > bytesAt_ + (1 << 20)) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + (keep - bytesAt_));
        bytesAt_ = keep;
    }
}

bool Mp3BlockDecoder::MakeRoom(ByteSink& out) {
    while (static_cast<int>(jobs_.Size()) >= workers_ + kAhead && !stopped_) JoinOne(out);
    return !stopped_;
}

void Mp3BlockDecoder::Stop(const Block& held) {
    *stop_ = true;
    jobs_.Drop();
    stopped_ = true;
    rest_ = {};
    // The decoder going on is set up as the held block's was: what it gives
    // before that block's end is out already. Only the last block's decoder
    // is told where the stream ends (by the info frame, which trims the
    // encoder's padding); this one now goes on to the end, so it gets that
    // frame too, counted from its own start. (Where no block held yet, it
    // starts at the stream's start, which bytes_ still holds.)
    std::int64_t from = bytesAt_;
    if (anyJoined_) {
        if (!held.prefix->empty()) {
            if (info_) rest_.bytes = InfoFrameFor(held.fed);
            rest_.bytes.insert(rest_.bytes.end(), held.prefix->begin(), held.prefix->end());
        }
        from = held.from;
        rest_.skipBelow = held.end - held.numOffset;
    }
    rest_.bytes.insert(rest_.bytes.end(), bytes_.begin() + (from - bytesAt_), bytes_.end());
    bytes_.clear();
    bytes_.shrink_to_fit();
}

Mp3BlockDecoder::Rest Mp3BlockDecoder::TakeRest() {
    if (stopped_) return std::move(rest_);
    Rest rest;
    rest.bytes = std::move(bytes_);
    return rest;
}

bool Mp3BlockDecoder::Finish(ByteSink& out) {
    if (!stopped_) {
        // The rest can be up to two blocks long; decoded in one piece it
        // would keep one core busy at the very end while the others wait,
        // so a long rest goes out in two halves.
        const long rest = static_cast<long>(frames_.size()) - nextBlock_;
        if (cuttable_ && rest >= blockFrames_ + kCheckFrames + 2 && MakeRoom(out)) Dispatch(false, rest / 2);
        if (MakeRoom(out)) Dispatch(true);
        while (!jobs_.Empty() && !stopped_) JoinOne(out);
    }
    return !stopped_;
}

}  // namespace acm
