#include "platform/acm/pcm/BlockResampler.h"

#include <soxr.h>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace acm {
namespace {

std::atomic<std::size_t> g_chunkFrames{0};

// Each worker keeps its last resampler and clears it for the next chunk
// of the same rates: designing the filter costs more than a chunk's work.
struct Kept {
    unsigned in = 0, out = 0;
    int channels = 0;
    soxr_t soxr = nullptr;
    ~Kept() {
        if (soxr) soxr_delete(soxr);
    }
};

soxr_t ResamplerFor(unsigned in, unsigned out, int channels) {
    thread_local Kept kept;
    if (kept.soxr && kept.in == in && kept.out == out && kept.channels == channels) {
        soxr_clear(kept.soxr);
        return kept.soxr;
    }
    if (kept.soxr) soxr_delete(kept.soxr);
    kept.soxr = nullptr;
    soxr_error_t err = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t q = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t rt = soxr_runtime_spec(1);
    soxr_t soxr = soxr_create(in, out, static_cast<unsigned>(channels), &err, &io, &q, &rt);
    if (err) return nullptr;
    kept.soxr = soxr;
    kept.in = in;
    kept.out = out;
    kept.channels = channels;
    return soxr;
}

std::size_t RoundUp(std::size_t frames, std::size_t grid) { return (frames + grid - 1) / grid * grid; }

// The grid of input samples where output samples fall too.
std::size_t Grid(unsigned inRate, unsigned outRate) { return inRate / std::gcd(inRate, outRate); }

std::size_t ChunkFrames(std::size_t grid) {
    return RoundUp(g_chunkFrames > 0 ? g_chunkFrames.load() : BlockResampler::kChunkFrames, grid);
}

std::size_t RunFrames(unsigned inRate, unsigned outRate, std::size_t grid) {
    return RoundUp(BlockResampler::kRunFrames * std::max<std::size_t>(1, (inRate + outRate - 1) / outRate), grid);
}

// Output frames at most in the chunks in work, the one filling and a spare.
std::size_t Held(int inWork, std::size_t chunk, std::size_t run, std::size_t up, std::size_t down) {
    return (static_cast<std::size_t>(inWork) + 2) * (chunk + 2 * run) * up / down + 16;
}

}  // namespace

void SetResampleChunkFrames(std::size_t frames) { g_chunkFrames = frames; }

bool BlockResampler::Suits(unsigned inRate, unsigned outRate) {
    return inRate > 0 && outRate > 0 && Grid(inRate, outRate) <= 16384;
}

BlockResampler::BlockResampler(unsigned inRate, unsigned outRate, int channels, int workers, std::size_t bytesPerFrame,
                               Shape shape)
    : inRate_(inRate), outRate_(outRate), channels_(channels), workers_(std::max(1, workers)), bytesPerFrame_(bytesPerFrame),
      shape_(std::move(shape)),
      up_(outRate / std::gcd(inRate, outRate)), down_(Grid(inRate, outRate)),
      chunk_(ChunkFrames(down_)), run_(RunFrames(inRate, outRate, down_)) {}

BlockResampler::~BlockResampler() { Reset(); }

std::size_t BlockResampler::HeldFrames() const { return Held(InWork(), chunk_, run_, up_, down_); }

std::size_t BlockResampler::HeldFrames(unsigned inRate, unsigned outRate, int workers) {
    const std::size_t down = Grid(inRate, outRate);
    workers = std::max(1, workers);
    return Held(workers > 1 ? workers + 2 : workers, ChunkFrames(down), RunFrames(inRate, outRate, down),
                outRate / std::gcd(inRate, outRate), down);
}

BlockResampler::Done BlockResampler::Resample(unsigned inRate, unsigned outRate, int channels, Chunk& chunk,
                                              const Shape& shape, std::size_t bytesPerFrame, Spare& spare) {
    Done done;
    soxr_t soxr = ResamplerFor(inRate, outRate, channels);
    if (!soxr) {
        done.ok = false;
        return done;
    }
    const auto ch = static_cast<std::size_t>(channels);
    const std::size_t frames = chunk.input.size() / ch;
    // Each step's output is made into the target's bytes at once, while it
    // is still in the core's cache; only the chunk's own stretch is kept
    // (all that comes, for the last chunk).
    constexpr std::size_t kStep = 16384;
    thread_local std::vector<float> out;
    if (out.size() < kStep * ch) out.resize(kStep * ch);
    done.bytes = spare.bytes.Take(chunk.last ? 0 : chunk.keep * bytesPerFrame);
    const std::size_t to = chunk.last ? SIZE_MAX : chunk.skip + chunk.keep;
    std::size_t have = 0, kept = 0;  // output frames made, and kept of them
    const auto take = [&](std::size_t made) {
        const std::size_t a = std::max(have, chunk.skip), b = std::min(have + made, to);
        if (b > a) {
            if (done.bytes.size() < (kept + b - a) * bytesPerFrame) done.bytes.resize((kept + b - a) * bytesPerFrame);
            shape(out.data() + (a - have) * ch, b - a, done.bytes.data() + kept * bytesPerFrame);
            kept += b - a;
        }
        have += made;
    };
    // A null input, once the chunk is in, asks for what the resampler
    // holds: only the last chunk is flushed, the others end on their
    // run-out.
    for (std::size_t used = 0; used < frames;) {
        std::size_t idone = 0, odone = 0;
        soxr_process(soxr, chunk.input.data() + used * ch, frames - used, &idone, out.data(), kStep, &odone);
        used += idone;
        take(odone);
        if (idone == 0 && odone == 0) break;
    }
    if (chunk.last) {
        for (;;) {
            std::size_t odone = 0;
            soxr_process(soxr, nullptr, 0, nullptr, out.data(), kStep, &odone);
            if (odone == 0) break;
            take(odone);
        }
    }
    // A run-out too short for the filter would leave the chunk's end out.
    if (!chunk.last && have < to) done.ok = false;
    done.bytes.resize(kept * bytesPerFrame);
    spare.inputs.Give(std::move(chunk.input));
    return done;
}

void BlockResampler::Dispatch(bool last) {
    const auto ch = static_cast<std::size_t>(channels_);
    const std::size_t end = pendingFrom_ + pending_.size() / ch;
    Chunk chunk;
    chunk.last = last;
    const std::size_t a = nextChunk_, b = last ? end : a + chunk_;
    const std::size_t s = pendingFrom_;  // a less the run-in, or 0
    const std::size_t feedTo = last ? end : b + run_;
    // The pending input begins where this chunk's run-in does: the chunk
    // takes it whole, and what the next chunk needs (its run-in and any
    // input past this chunk's run-out) goes back into a spare buffer.
    std::vector<float> rest = spare_->inputs.Take();
    const std::size_t keepFrom = last ? end : b > run_ ? b - run_ : 0;
    rest.assign(pending_.begin() + static_cast<long>((keepFrom - pendingFrom_) * ch), pending_.end());
    chunk.input = std::move(pending_);
    chunk.input.resize((feedTo - s) * ch);
    pending_ = std::move(rest);
    pendingFrom_ = keepFrom;
    nextChunk_ = b;
    chunk.skip = (a - s) * up_ / down_;
    chunk.keep = (b - a) * up_ / down_;
    const unsigned in = inRate_, out = outRate_;
    const int channels = channels_;
    if (workers_ <= 1) {
        // One worker: the chunk is resampled here, on the converting thread,
        // with the same chunks and so the same bytes as on many.
        std::promise<Done> done;
        done.set_value(Resample(in, out, channels, chunk, shape_, bytesPerFrame_, *spare_));
        jobs_.Push({done.get_future()});
        return;
    }
    jobs_.Push({jobs_.Pool().Submit(
        [in, out, channels, chunk = std::move(chunk), shape = shape_, bpf = bytesPerFrame_, spare = spare_]() mutable {
            return Resample(in, out, channels, chunk, shape, bpf, *spare);
        })});
}

void BlockResampler::EmitFront(ByteSink& out) {
    Job job = jobs_.PopFront();
    Done done = jobs_.Await(job.result);
    if (!done.ok) failed_ = true;
    if (!done.bytes.empty()) out.Write(done.bytes.data(), done.bytes.size());
    spare_->bytes.Give(std::move(done.bytes));
}

void BlockResampler::Drain(bool wait, ByteSink& out) {
    while (!jobs_.Empty() && (wait || jobs_.FrontReady())) EmitFront(out);
}

void BlockResampler::Add(const float* in, std::size_t frames, ByteSink& out) {
    const auto ch = static_cast<std::size_t>(channels_);
    pending_.insert(pending_.end(), in, in + frames * ch);
    while (pendingFrom_ + pending_.size() / ch >= nextChunk_ + chunk_ + run_) {
        // Bounded memory: no more chunks in work than InWork().
        while (static_cast<int>(jobs_.Size()) >= InWork()) EmitFront(out);
        Dispatch(false);
    }
    Drain(false, out);
}

void BlockResampler::Finish(ByteSink& out) {
    Dispatch(true);
    Drain(true, out);
}

void BlockResampler::Reset() {
    jobs_.Drop();
    pending_.clear();
    pendingFrom_ = nextChunk_ = 0;
    failed_ = false;
}

}  // namespace acm
