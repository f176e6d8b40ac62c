#include "platform/acm/mp3/Mp3BlockEncoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/acm/mp3/MpegTables.h"

namespace acm {
namespace {

std::atomic<int> g_preroll{0};
std::atomic<bool> g_reach{true};
std::atomic<long> g_blocks{0}, g_again{0}, g_withoutReservoir{0}, g_raised{0}, g_reached{0}, g_reachFrames{0};

}  // namespace

lame_global_struct* NewLameEncoder(const Mp3Settings& s, bool infoFrame, bool reservoir) {
    lame_global_flags* lame = lame_init();
    if (!lame) return nullptr;
    lame_set_in_samplerate(lame, static_cast<int>(s.rate));
    lame_set_out_samplerate(lame, static_cast<int>(s.rate));
    lame_set_num_channels(lame, s.channels);
    lame_set_mode(lame, s.channels == 1 ? MONO : JOINT_STEREO);
    if (s.Vbr()) {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_quality(lame, static_cast<float>(s.vbrQuality));
    } else {
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, s.kbps);
    }
    lame_set_quality(lame, 3);
    lame_set_bWriteVbrTag(lame, infoFrame ? 1 : 0);
    lame_set_write_id3tag_automatic(lame, 0);
    if (!reservoir) lame_set_disable_reservoir(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return nullptr;
    }
    return lame;
}

std::size_t LameEncode(lame_global_struct* lame, int channels, const std::uint8_t* pcm, std::size_t frames,
                       std::uint8_t* mp3, std::size_t room) {
    // The samples are little-endian 16-bit, which is what the encoder reads
    // on the machines we build for.
    auto* samples = const_cast<short*>(reinterpret_cast<const short*>(pcm));
    const int made = channels == 2
        ? lame_encode_buffer_interleaved(lame, samples, static_cast<int>(frames), mp3, static_cast<int>(room))
        : lame_encode_buffer(lame, samples, samples, static_cast<int>(frames), mp3, static_cast<int>(room));
    return made > 0 ? static_cast<std::size_t>(made) : 0;
}

void SetMp3BlockPreroll(int frames, bool reach) {
    g_preroll = std::max(0, frames);
    g_reach = reach;
}

Mp3BlockStats Mp3BlockStatistics() { return {g_blocks, g_again, g_withoutReservoir, g_raised, g_reached, g_reachFrames}; }

long Mp3BlockEncoder::BlockFrames(std::uint64_t totalFrames, bool mpeg1) {
    const long target = (mpeg1 ? 1 : 2) * kBlockFrames;
    if (totalFrames == 0) return target;
    // Blocks of about the target length, an even number of them (two at
    // the least), all of one length.
    const auto pair = static_cast<std::uint64_t>(2 * target);
    const std::uint64_t blocks = 2 * std::max<std::uint64_t>(1, (totalFrames + pair / 2) / pair);
    const auto frames = static_cast<long>((totalFrames + blocks - 1) / blocks);
    return std::clamp<long>(frames, kSeamFrames + kLookahead + 1, LongestBlockFrames(mpeg1));
}

Mp3BlockEncoder::Mp3BlockEncoder(const Mp3Settings& settings, int workers, std::uint64_t totalFrames)
    : settings_(settings), workers_(std::max(1, workers)), spf_(SamplesPerFrame(settings.rate)),
      // Frames of MPEG-1, twice as many of the half-length MPEG-2 frames:
      // the same stretch of signal before every block.
      preroll_((IsMpeg1Rate(settings.rate) ? 1 : 2) * (g_preroll > 0 ? g_preroll.load() : kPrerollFrames)),
      reach_(g_reach),
      longPreroll_(IsMpeg1Rate(settings.rate) ? kLongPrerollFrames : 2 * kLongPrerollFrames),
      blockFrames_(BlockFrames(totalFrames, IsMpeg1Rate(settings.rate))),
      joiner_(IsMpeg1Rate(settings.rate), settings.Vbr()) {
    // What pending_ holds at most: a block with its pre-roll and its
    // frames past the end, and a chunk more. Room for it once, instead of
    // a vector that doubles (and copies) as it grows.
    const std::size_t perFrame = static_cast<std::size_t>(spf_) * 2 * static_cast<std::size_t>(settings_.channels);
    pending_.reserve(perFrame * static_cast<std::size_t>(longPreroll_ + blockFrames_ + kSeamFrames + kLookahead) +
                     8192 * 4 * static_cast<std::size_t>(settings_.channels));
}

Mp3BlockEncoder::~Mp3BlockEncoder() {
    // Workers still encoding stop at their next step; blocks not started
    // yet end at once. Each is waited for: they use this encoder's flag.
    *stop_ = true;
    for (Job& job : jobs_) *job.stop = true;
    jobs_.Drop();
}

Mp3BlockEncoder::Result Mp3BlockEncoder::Encode(const Mp3Settings& s, const Block& b, long from, bool reservoir,
                                                const std::atomic<bool>& stop) {
    Result r;
    r.fed = from;
    lame_global_flags* lame = NewLameEncoder(s, false, reservoir);
    if (!lame) return r;
    const std::vector<std::uint8_t>& pcm = *b.samples;
    const std::size_t block = 2 * static_cast<std::size_t>(s.channels);
    const std::size_t total = pcm.size() / block;
    constexpr std::size_t kStep = 8192;
    std::vector<std::uint8_t> buffer(kStep * 5 / 4 + 7200);
    const std::size_t start = static_cast<std::size_t>(from - b.held) * static_cast<std::size_t>(SamplesPerFrame(s.rate));
    for (std::size_t at = start; at < total && !stop; at += kStep) {
        const std::size_t made =
            LameEncode(lame, s.channels, pcm.data() + at * block, std::min(kStep, total - at), buffer.data(), buffer.size());
        r.stream.insert(r.stream.end(), buffer.begin(), buffer.begin() + static_cast<long>(made));
    }
    r.delay = lame_get_encoder_delay(lame);
    if (b.last) {
        const int made = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
        if (made > 0) r.stream.insert(r.stream.end(), buffer.begin(), buffer.begin() + made);
        lame_close(lame);
        if (!CutFrames(r.stream, r.frames)) r.frames.clear();
        r.stream = {};
    } else {
        // Not flushed: the frames past the last candidate are never used,
        // and the encoder may go on.
        r.lame = std::shared_ptr<lame_global_struct>(lame, lame_close);
        r.fedTo = b.held + static_cast<long>(total / static_cast<std::size_t>(SamplesPerFrame(s.rate)));
        if (!CutFrames(r.stream, r.frames, true)) r.frames.clear();
    }
    return r;
}

bool Mp3BlockEncoder::Reach(const Block& block, long frames) {
    Result& r = last_;
    const std::size_t channels = static_cast<std::size_t>(settings_.channels);
    const std::size_t have = block.samples->size() / (2 * channels) / static_cast<std::size_t>(spf_);
    const long to = std::min(r.fedTo + frames, block.held + static_cast<long>(have));
    if (!r.lame || to <= r.fedTo) return false;
    const std::size_t samples = static_cast<std::size_t>(to - r.fedTo) * static_cast<std::size_t>(spf_);
    const std::uint8_t* pcm =
        block.samples->data() + static_cast<std::size_t>(r.fedTo - block.held) * static_cast<std::size_t>(spf_) * 2 * channels;
    std::vector<std::uint8_t> buffer(samples * 5 / 4 + 7200);
    const std::size_t made = LameEncode(r.lame.get(), settings_.channels, pcm, samples, buffer.data(), buffer.size());
    r.stream.insert(r.stream.end(), buffer.begin(), buffer.begin() + static_cast<long>(made));
    g_reachFrames += to - r.fedTo;
    r.fedTo = to;
    return CutFrames(r.stream, r.frames, true);
}

void Mp3BlockEncoder::Dispatch(bool last) {
    Block b;
    b.first = nextBlock_;
    b.end = last ? -1 : nextBlock_ + blockFrames_;
    b.last = last;
    b.fed = std::max(0L, b.first - preroll_);
    b.held = std::max(0L, b.first - longPreroll_);
    const std::size_t perFrame = static_cast<std::size_t>(spf_) * 2 * static_cast<std::size_t>(settings_.channels);
    const auto from = static_cast<std::size_t>(b.held - pendingFrom_) * perFrame;
    const std::size_t to =
        last ? pending_.size() : static_cast<std::size_t>(b.end + kSeamFrames + kLookahead - pendingFrom_) * perFrame;
    // The block takes pending_'s bytes instead of a copy of them; pending_
    // starts again with the part the next block needs too (its pre-roll,
    // or the long one where it has to be encoded again).
    std::vector<std::uint8_t> taken = std::move(pending_);
    pending_ = std::vector<std::uint8_t>();
    if (!last) {
        nextBlock_ = b.end;
        const long keepFrom = std::max(0L, nextBlock_ - longPreroll_);
        const auto keep = static_cast<std::size_t>(keepFrom - pendingFrom_) * perFrame;
        pending_.reserve(taken.capacity());
        pending_.assign(taken.begin() + static_cast<long>(keep), taken.end());
        pendingFrom_ = keepFrom;
    }
    taken.resize(to);
    taken.erase(taken.begin(), taken.begin() + static_cast<long>(from));
    b.samples = std::make_shared<const std::vector<std::uint8_t>>(std::move(taken));
    Job job;
    job.block = b;
    const Mp3Settings s = settings_;
    job.result = jobs_.Pool().Submit([s, b, stop = job.stop] { return Encode(s, b, b.fed, true, *stop); });
    jobs_.Push(std::move(job));
}

void Mp3BlockEncoder::Emit(const std::vector<std::uint8_t>& bytes, ByteSink& out) {
    if (bytes.empty()) return;
    out.Write(bytes.data(), bytes.size());
    bytesOut_ += bytes.size();
    musicCrc_ = InfoCrc16(musicCrc_, bytes.data(), bytes.size());
}

long Mp3BlockEncoder::FindSeam(const Block& block, const Result& r, Search& search) {
    // The first candidate where both encoders shaped the frame before it
    // alike and this block's frames fit what the joined stream left; the
    // last block's frames up to it are joined. Candidates run as far as
    // the last block's frames reach; a search goes on where it stopped
    // when they reach further. -1 where none fits.
    if (search.next < 0) {
        search.trial = joiner_;
        search.next = block.first;
    }
    for (long& s = search.next;; ++s) {
        const L3Frame* mine = FrameAt(r, s - 1);
        const L3Frame* theirs = FrameAt(last_, s - 1);
        // A seam past the block's end would leave the next block's start
        // to frames already joined.
        if (!mine || !theirs || !FrameAt(r, s) || (!block.last && s >= block.end)) return -1;
        if (s > block.first && s > search.appended) {
            search.trial.Append(*theirs);
            search.appended = s;
        }
        if (mine->lastWindows != theirs->lastWindows) continue;
        if (search.trial.Fits(r.frames, static_cast<std::size_t>(s - r.fed))) {
            joiner_ = std::move(search.trial);
            return s;
        }
    }
}

void Mp3BlockEncoder::Join(const Block& block, Result r, ByteSink& out) {
    ++g_blocks;
    if (delay_ == 0) delay_ = r.delay;
    long seam = block.first;
    if (block.first > 0) {
        Search search;
        seam = FindSeam(block, r, search);
        // The last block's encoder goes on, a step at a time, until the
        // new one has spent what it banked and its frames fit.
        const long scale = IsMpeg1Rate(settings_.rate) ? 1 : 2;
        for (long reached = 0; seam < 0 && reach_ && reached < scale * kReachFrames && Reach(block, scale * kReachStep);) {
            reached += scale * kReachStep;
            seam = FindSeam(block, r, search);
            if (seam >= 0) ++g_reached;
        }
        if (seam < 0) {
            // The pre-roll was too short for this signal to spend what the
            // new encoder banked: the block again from far earlier, ahead of
            // any block waiting (this thread, awaiting it, takes it up at
            // once unless a worker is free first), beside the others.
            r = EncodeAgain(block, block.held, true);
            Search again;
            seam = FindSeam(block, r, again);
            ++g_again;
        }
        if (seam < 0) {
            // Still none: this block without a reservoir, so that every
            // frame holds its own main data (and keeps the bitrate).
            r = EncodeAgain(block, block.fed, false);
            seam = block.first;
            ++g_withoutReservoir;
        }
    }
    const long stop = block.last ? r.fed + static_cast<long>(r.frames.size()) : block.end;
    for (long k = seam; k < stop; ++k)
        if (const L3Frame* f = FrameAt(r, k)) joiner_.Append(*f);
    // This block's frames before its end are joined; those past it, and
    // its encoder, wait for the next block's seam.
    last_ = std::move(r);
    if (block.last) last_ = Result{};
    Emit(joiner_.TakeFinished(), out);
}

void Mp3BlockEncoder::JoinFront(ByteSink& out) {
    Job job = jobs_.PopFront();
    Join(job.block, jobs_.Await(job.result), out);
}

Mp3BlockEncoder::Result Mp3BlockEncoder::EncodeAgain(const Block& block, long from, bool reservoir) {
    const Mp3Settings s = settings_;
    auto again =
        jobs_.Pool().Submit([s, &block, from, reservoir, this] { return Encode(s, block, from, reservoir, *stop_); }, true);
    return jobs_.Await(again);
}

void Mp3BlockEncoder::Add(const std::uint8_t* pcm, std::size_t frames, ByteSink& out) {
    const std::size_t block = 2 * static_cast<std::size_t>(settings_.channels);
    pending_.insert(pending_.end(), pcm, pcm + frames * block);
    const auto have = [&] { return pendingFrom_ + static_cast<long>(pending_.size() / (block * spf_)); };
    while (have() >= nextBlock_ + blockFrames_ + kSeamFrames + kLookahead) {
        // Bounded memory: no more blocks in work than workers (one waiting
        // to be joined frees its worker for the next, or for its own
        // second encode).
        while (static_cast<int>(jobs_.Size()) >= workers_) JoinFront(out);
        Dispatch(false);
    }
    // Whatever is done already goes out, in order.
    while (jobs_.FrontReady()) JoinFront(out);
}

void Mp3BlockEncoder::Finish(ByteSink& out, InfoFrameValues& v) {
    const std::uint64_t samples =
        static_cast<std::uint64_t>(pendingFrom_) * static_cast<std::uint64_t>(spf_) +
        pending_.size() / (2 * static_cast<std::size_t>(settings_.channels));
    // No more blocks in memory at the end than before it.
    while (static_cast<int>(jobs_.Size()) >= workers_) JoinFront(out);
    Dispatch(true);
    while (!jobs_.Empty()) JoinFront(out);
    Emit(joiner_.TakeAll(), out);
    v.frames = static_cast<std::uint32_t>(joiner_.Frames());
    const std::uint64_t coded = joiner_.Frames() * static_cast<std::uint64_t>(spf_);
    v.padding = static_cast<int>(coded > samples + static_cast<std::uint64_t>(delay_) ? coded - samples - delay_ : 0);
    v.musicCrc = musicCrc_;
    v.lastHeaderByte = joiner_.LastHeaderByte();
    if (settings_.Vbr()) v.framesKbps = joiner_.FramesKbps();
    g_raised += joiner_.Raised();
}

void Mp3BlockEncoder::Abandon(ByteSink& out, InfoFrameValues& v) {
    // Before the first block is in work there is at most a block to
    // encode: the end as always, soon enough.
    if (jobs_.Empty() && joiner_.Frames() == 0) return Finish(out, v);
    // Every encoder in work stops at its next step, but for the oldest
    // where nothing is joined yet (the file would stay empty).
    for (std::size_t i = joiner_.Frames() == 0 ? 1 : 0; i < jobs_.Size(); ++i) *jobs_[i].stop = true;
    for (Job& job : jobs_) job.result.wait();
    // The oldest block goes on from the frames joined as far as its encoder
    // came, where a seam fits; else the stream ends with the frames the
    // last joined block's encoder made past its block. Either made whole
    // frames, after any of which a stream may end.
    const Result* rest = &last_;
    long from = static_cast<long>(joiner_.Frames());
    Result front;
    if (!jobs_.Empty()) {
        front = jobs_.Front().result.get();
        if (delay_ == 0) delay_ = front.delay;
        Search search;
        const long seam = jobs_.Front().block.first == 0 ? 0 : FindSeam(jobs_.Front().block, front, search);
        if (seam >= 0) {
            rest = &front;
            from = seam;
        }
    }
    jobs_.Drop();
    for (long k = from; const L3Frame* f = FrameAt(*rest, k); ++k) joiner_.Append(*f);
    last_ = Result{};
    Emit(joiner_.TakeAll(), out);
    v.frames = static_cast<std::uint32_t>(joiner_.Frames());
    v.padding = 0;
    v.musicCrc = musicCrc_;
    v.lastHeaderByte = joiner_.LastHeaderByte();
    if (settings_.Vbr()) v.framesKbps = joiner_.FramesKbps();
}

}  // namespace acm
