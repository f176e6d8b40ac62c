// One long signal resampled on several cores. The input is cut into
// chunks whose starts fall on the grid where input and output samples
// coincide (every M input samples, for output rate / input rate = L / M in
// lowest terms); each chunk is resampled by a resampler of its own on the
// shared pool, fed a run-in before the chunk and a run-out after it that
// cover the filter's reach both ways, and only the output of the chunk's
// own stretch is kept. A resampler started on the grid puts its output
// samples where one resampler over the whole signal would, so the chunks
// join without a seam to hear; the last chunk is flushed as one resampler
// would be at the end, and a signal of one chunk is exactly one resampler's.
// (Not always to the last bit: a resampler's float sums depend a little on
// how its input is cut, and now and then a sample rounds a step otherwise,
// as it would for one resampler fed in other pieces.)
//
// Chunks depend on the rates alone, never on the number of workers, so the
// bytes do not either; with one worker the chunks are resampled on the
// calling thread. Each chunk's output is also made into the target's bytes
// on its worker; they come out in order, a chunk at a time. Few chunks are
// in work at a time (InWork()), and their buffers are used again from
// chunk to chunk (fresh pages would cost the kernel more than the work).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "platform/acm/Driver.h"
#include "platform/acm/blocks/SpareBuffers.h"
#include "platform/acm/blocks/InOrder.h"

namespace acm {

// Input frames of a chunk; 0 (the default) for kChunkFrames. Short ones
// make many seams in a short signal, for tests.
void SetResampleChunkFrames(std::size_t frames);

class BlockResampler {
public:
    static constexpr std::size_t kChunkFrames = 1u << 17;  // about 3 s at 44.1 kHz
    static constexpr std::size_t kRunFrames = 4096;        // run-in and run-out, at least
    // Whether the rates' grid is fine enough for chunks of about that
    // length (odd rates with a grid of seconds are resampled in one piece).
    static bool Suits(unsigned inRate, unsigned outRate);

    // Makes frames of interleaved float samples (of channels channels) into
    // the target's bytes, bytesPerFrame of them a frame; called on the
    // workers, a piece of a chunk at a time.
    using Shape = std::function<void(const float* samples, std::size_t frames, std::uint8_t* bytes)>;

    BlockResampler(unsigned inRate, unsigned outRate, int channels, int workers, std::size_t bytesPerFrame, Shape shape);
    ~BlockResampler();
    BlockResampler(const BlockResampler&) = delete;
    BlockResampler& operator=(const BlockResampler&) = delete;

    bool Failed() const { return failed_; }
    // Output frames one call may hand out beyond what its own input gives:
    // the chunks in work and the one filling; the second for a resampler
    // of those rates and workers that is yet to be made.
    std::size_t HeldFrames() const;
    static std::size_t HeldFrames(unsigned inRate, unsigned outRate, int workers);

    // Takes frames of input; the bytes of chunks done go to out, in order.
    void Add(const float* in, std::size_t frames, ByteSink& out);
    // The rest of the signal, flushed.
    void Finish(ByteSink& out);
    // Everything dropped, for a new signal.
    void Reset();

private:
    struct Chunk {
        std::vector<float> input;  // from the run-in's first frame on
        std::size_t skip = 0;      // output frames of the run-in
        std::size_t keep = 0;      // output frames of the chunk; all that come for the last
        bool last = false;
    };
    struct Done {
        std::vector<std::uint8_t> bytes;
        bool ok = true;
    };
    // Buffers of chunks done, for the next ones.
    struct Spare {
        SpareBuffers<float> inputs;
        SpareBuffers<std::uint8_t> bytes;
    };
    static Done Resample(unsigned inRate, unsigned outRate, int channels, Chunk& chunk, const Shape& shape,
                         std::size_t bytesPerFrame, Spare& spare);
    void EmitFront(ByteSink& out);
    void Dispatch(bool last);
    void Drain(bool wait, ByteSink& out);
    // Chunks in work at most: one a worker, and two more on the pool. The
    // converting thread, a worker itself while it waits, takes a queued
    // chunk and then writes out the one it waited for; with one spare the
    // pool's threads ran dry meanwhile (48 to 44.1 kHz on two cores took
    // 0.57 of one core's time, 0.53 with two).
    int InWork() const { return workers_ > 1 ? workers_ + 2 : workers_; }

    unsigned inRate_, outRate_;
    int channels_, workers_;
    std::size_t bytesPerFrame_;
    Shape shape_;
    std::shared_ptr<Spare> spare_ = std::make_shared<Spare>();
    std::size_t up_, down_;  // output / input = up_ / down_, in lowest terms
    std::size_t chunk_, run_;
    std::vector<float> pending_;  // input from frame pendingFrom_ on
    std::size_t pendingFrom_ = 0;
    std::size_t nextChunk_ = 0;  // input frame where the next chunk begins
    struct Job {
        std::future<Done> result;
    };
    InOrder<Job> jobs_;
    bool failed_ = false;
};

}  // namespace acm
