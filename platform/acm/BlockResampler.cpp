#include "platform/acm/BlockResampler.h"

#include <soxr.h>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace acm {
namespace {

std::atomic<std::size_t> g_chunkFrames{0};

std::size_t RoundUp(std::size_t frames, std::size_t grid) { return (frames + grid - 1) / grid * grid; }

// The grid of input samples where output samples fall too.
std::size_t Grid(unsigned inRate, unsigned outRate) { return inRate / std::gcd(inRate, outRate); }

}  // namespace

void SetResampleChunkFrames(std::size_t frames) { g_chunkFrames = frames; }

bool BlockResampler::Suits(unsigned inRate, unsigned outRate) {
    return inRate > 0 && outRate > 0 && Grid(inRate, outRate) <= 16384;
}

BlockResampler::BlockResampler(unsigned inRate, unsigned outRate, int channels, int workers)
    : inRate_(inRate), outRate_(outRate), channels_(channels), workers_(std::max(1, workers)),
      up_(outRate / std::gcd(inRate, outRate)), down_(Grid(inRate, outRate)),
      chunk_(RoundUp(g_chunkFrames > 0 ? g_chunkFrames.load() : kChunkFrames, down_)),
      run_(RoundUp(kRunFrames * std::max<std::size_t>(1, (inRate + outRate - 1) / outRate), down_)), pool_(WorkerPool::Acquire()) {}

BlockResampler::~BlockResampler() { Reset(); }

std::size_t BlockResampler::HeldFrames() const {
    return (static_cast<std::size_t>(workers_) + 2) * (chunk_ + 2 * run_) * up_ / down_ + 16;
}

BlockResampler::Done BlockResampler::Resample(unsigned inRate, unsigned outRate, int channels, const Chunk& chunk) {
    Done done;
    soxr_error_t err = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t q = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t rt = soxr_runtime_spec(1);
    soxr_t soxr = soxr_create(inRate, outRate, static_cast<unsigned>(channels), &err, &io, &q, &rt);
    if (err) {
        done.ok = false;
        return done;
    }
    const auto ch = static_cast<std::size_t>(channels);
    const std::size_t frames = chunk.input.size() / ch;
    std::vector<float> piece(16384 * ch);
    std::vector<float>& out = done.output;
    out.reserve((chunk.skip + chunk.keep + 64) * ch);
    const auto take = [&](std::size_t n) { out.insert(out.end(), piece.begin(), piece.begin() + static_cast<long>(n * ch)); };
    // A null input, once the chunk is in, asks for what the resampler
    // holds: only the last chunk is flushed, the others end on their
    // run-out.
    for (std::size_t used = 0; used < frames;) {
        std::size_t idone = 0, odone = 0;
        soxr_process(soxr, chunk.input.data() + used * ch, frames - used, &idone, piece.data(), piece.size() / ch, &odone);
        used += idone;
        take(odone);
        if (idone == 0 && odone == 0) break;
    }
    if (chunk.last) {
        for (;;) {
            std::size_t odone = 0;
            soxr_process(soxr, nullptr, 0, nullptr, piece.data(), piece.size() / ch, &odone);
            if (odone == 0) break;
            take(odone);
        }
    }
    soxr_delete(soxr);
    const std::size_t have = out.size() / ch;
    const std::size_t from = std::min(chunk.skip, have);
    const std::size_t to = chunk.last ? have : chunk.skip + chunk.keep;
    // A run-out too short for the filter would leave the chunk's end out.
    if (to > have) done.ok = false;
    out.erase(out.begin() + static_cast<long>(std::min(to, have) * ch), out.end());
    out.erase(out.begin(), out.begin() + static_cast<long>(from * ch));
    return done;
}

void BlockResampler::Dispatch(bool last) {
    const auto ch = static_cast<std::size_t>(channels_);
    const std::size_t end = pendingFrom_ + pending_.size() / ch;
    Chunk chunk;
    chunk.last = last;
    const std::size_t a = nextChunk_, b = last ? end : a + chunk_;
    const std::size_t s = a > run_ ? a - run_ : 0;
    const std::size_t feedTo = last ? end : b + run_;
    chunk.input.assign(pending_.begin() + static_cast<long>((s - pendingFrom_) * ch),
                       pending_.begin() + static_cast<long>((feedTo - pendingFrom_) * ch));
    chunk.skip = (a - s) * up_ / down_;
    chunk.keep = (b - a) * up_ / down_;
    if (last) {
        pending_.clear();
        pendingFrom_ = nextChunk_ = end;
    } else {
        // What the next chunk's run-in needs stays.
        nextChunk_ = b;
        const std::size_t keepFrom = b > run_ ? b - run_ : 0;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>((keepFrom - pendingFrom_) * ch));
        pendingFrom_ = keepFrom;
    }
    const unsigned in = inRate_, out = outRate_;
    const int channels = channels_;
    jobs_.push_back(pool_->Submit([in, out, channels, chunk = std::move(chunk)] { return Resample(in, out, channels, chunk); }));
}

void BlockResampler::Drain(bool wait, const Emit& emit) {
    while (!jobs_.empty() &&
           (wait || jobs_.front().wait_for(std::chrono::seconds(0)) == std::future_status::ready)) {
        Done done = jobs_.front().get();
        jobs_.pop_front();
        if (!done.ok) failed_ = true;
        if (!done.output.empty()) emit(done.output.data(), done.output.size() / static_cast<std::size_t>(channels_));
    }
}

void BlockResampler::Add(const float* in, std::size_t frames, const Emit& emit) {
    const auto ch = static_cast<std::size_t>(channels_);
    pending_.insert(pending_.end(), in, in + frames * ch);
    while (pendingFrom_ + pending_.size() / ch >= nextChunk_ + chunk_ + run_) {
        // Bounded memory: no more chunks in work than workers.
        while (static_cast<int>(jobs_.size()) >= workers_) {
            Done done = jobs_.front().get();
            jobs_.pop_front();
            if (!done.ok) failed_ = true;
            if (!done.output.empty()) emit(done.output.data(), done.output.size() / ch);
        }
        Dispatch(false);
    }
    Drain(false, emit);
}

void BlockResampler::Finish(const Emit& emit) {
    Dispatch(true);
    Drain(true, emit);
}

void BlockResampler::Reset() {
    for (std::future<Done>& job : jobs_) job.wait();
    jobs_.clear();
    pending_.clear();
    pendingFrom_ = nextChunk_ = 0;
    failed_ = false;
}

}  // namespace acm
