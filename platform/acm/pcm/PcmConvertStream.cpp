#include "platform/acm/pcm/PcmConvertStream.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/acm/blocks/InOrder.h"
#include "platform/acm/pcm/PcmSamples.h"

namespace acm {
namespace {
// Frames the resampler may hold back or add when flushed, as input frames;
// generous on purpose, since the bound has to hold for every call.
constexpr std::size_t kResamplerSlack = 16384;
}  // namespace

PcmConvertStream::PcmConvertStream(const WAVEFORMATEX& in, const WAVEFORMATEX& out)
    : inBits_(in.wBitsPerSample),
      inChannels_(in.nChannels),
      outBits_(out.wBitsPerSample),
      outChannels_(out.nChannels),
      inBlock_(static_cast<std::size_t>(in.wBitsPerSample / 8) * in.nChannels),
      outBlock_(static_cast<std::size_t>(out.wBitsPerSample / 8) * out.nChannels),
      ratio_(static_cast<double>(out.nSamplesPerSec) / in.nSamplesPerSec),
      same_(in.nSamplesPerSec == out.nSamplesPerSec && inBits_ == outBits_ &&
            inChannels_ == outChannels_) {
    if (same_) return;
    // A mono source made stereo (or more) is resampled as mono and copied
    // into its channels afterwards: the same samples for half the work.
    if (inChannels_ == 1 && in.nSamplesPerSec != out.nSamplesPerSec) work_ = 1;
    else work_ = outChannels_;
    mixed_.resize(kPiece * work_);
    if (inChannels_ > 2 && outChannels_ < inChannels_ && !DownmixMatrix(inChannels_, ChannelMask(in), outChannels_, mix_)) {
        ok_ = false;
        return;
    }
    if (in.nSamplesPerSec != out.nSamplesPerSec && BlockResampler::Suits(in.nSamplesPerSec, out.nSamplesPerSec)) {
        // A long signal is resampled on every core, in chunks (with one
        // worker, on the converting thread: a resampler's bytes depend a
        // little on how its input is cut, so it is always cut alike).
        const int work = work_, channels = outChannels_, bits = outBits_;
        blocks_ = std::make_unique<BlockResampler>(
            in.nSamplesPerSec, out.nSamplesPerSec, work_, StreamWorkers(), outBlock_,
            [work, channels, bits](const float* samples, std::size_t frames, std::uint8_t* bytes) {
                Shape(samples, frames, work, channels, bits, bytes);
            });
    } else if (in.nSamplesPerSec != out.nSamplesPerSec) {
        soxr_error_t err = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t q = soxr_quality_spec(SOXR_VHQ, 0);
        const soxr_runtime_spec_t rt = soxr_runtime_spec(1);
        soxr_ = soxr_create(in.nSamplesPerSec, out.nSamplesPerSec, work_, &err, &io, &q, &rt);
        if (err) {
            soxr_ = nullptr;
            ok_ = false;
            return;
        }
        resampled_.resize((static_cast<std::size_t>(std::ceil(kPiece * ratio_)) + 64) * work_);
    }
}

void PcmConvertStream::Shape(const float* samples, std::size_t frames, int work, int channels, int bits,
                             std::uint8_t* bytes) {
    FloatToPcm(samples, frames * static_cast<std::size_t>(work), bits, bytes, channels / work);
}

PcmConvertStream::~PcmConvertStream() {
    if (soxr_) soxr_delete(soxr_);
}

std::size_t PcmConvertStream::OutputBound(std::size_t srcBytes) const {
    const std::size_t frames = (srcBytes + inBlock_ - 1) / inBlock_ + 1;
    if (blocks_) return (static_cast<std::size_t>(std::ceil(frames * ratio_)) + blocks_->HeldFrames()) * outBlock_;
    if (!soxr_) return frames * outBlock_;
    const auto outFrames = static_cast<std::size_t>(std::ceil((frames + kResamplerSlack) * ratio_));
    return (outFrames + 16) * outBlock_;
}

std::size_t PcmConvertStream::HeldBytes(const WAVEFORMATEX& in, const WAVEFORMATEX& out) {
    const std::size_t outBlock = static_cast<std::size_t>(out.wBitsPerSample / 8) * out.nChannels;
    if (in.nSamplesPerSec == out.nSamplesPerSec) return 0;
    if (BlockResampler::Suits(in.nSamplesPerSec, out.nSamplesPerSec))
        return BlockResampler::HeldFrames(in.nSamplesPerSec, out.nSamplesPerSec, StreamWorkers()) * outBlock;
    const double ratio = static_cast<double>(out.nSamplesPerSec) / in.nSamplesPerSec;
    return (static_cast<std::size_t>(std::ceil(kResamplerSlack * ratio)) + 16) * outBlock;
}

std::size_t PcmConvertStream::InputFor(std::size_t dstBytes) const {
    const double frames = static_cast<double>(dstBytes / outBlock_) / ratio_;
    return static_cast<std::size_t>(std::ceil(frames)) * inBlock_;
}

void PcmConvertStream::Reset() {
    carried_ = 0;
    if (soxr_) soxr_clear(soxr_);
    if (blocks_) blocks_->Reset();
}

MMRESULT PcmConvertStream::Convert(const std::uint8_t* src, std::size_t len, std::size_t& used,
                                   ByteSink& out, bool end, bool blockAlignOnly) {
    if (!ok_ || (blocks_ && blocks_->Failed())) return ACMERR_NOTPOSSIBLE;
    if (blockAlignOnly) {
        const std::size_t partial = (carried_ + len) % inBlock_;
        if (partial <= len) len -= partial;
    }
    used = len;
    if (same_) {
        if (len > 0) out.Write(src, len);
    } else {
        // A frame split across calls is completed from the carry first.
        if (carried_ > 0) {
            const std::size_t take = std::min(inBlock_ - carried_, len);
            if (take > 0) std::memcpy(carry_.data() + carried_, src, take);
            carried_ += take;
            src += take;
            len -= take;
            if (carried_ == inBlock_) {
                ConvertFrames(carry_.data(), 1, out);
                carried_ = 0;
            }
        }
        const std::size_t whole = len / inBlock_;
        ConvertFrames(src, whole, out);
        const std::size_t rest = len - whole * inBlock_;
        if (rest > 0) std::memcpy(carry_.data() + carried_, src + whole * inBlock_, rest);
        carried_ += rest;
    }
    if (end) {
        carried_ = 0;  // a partial last frame has no sample to give
        if (soxr_) {
            Resample(nullptr, 0, out);
            soxr_clear(soxr_);
        }
        if (blocks_) {
            blocks_->Finish(out);
            const bool failed = blocks_->Failed();
            blocks_->Reset();
            if (failed) return ACMERR_NOTPOSSIBLE;
        }
    }
    return MMSYSERR_NOERROR;
}

void PcmConvertStream::ConvertFrames(const std::uint8_t* frames, std::size_t count, ByteSink& out) {
    while (count > 0) {
        const std::size_t n = std::min(count, kPiece);
        PcmToFloat(frames, n, inBits_, inChannels_, mixed_.data(), work_, mix_.empty() ? nullptr : mix_.data());
        if (blocks_)
            blocks_->Add(mixed_.data(), n, out);
        else if (soxr_)
            Resample(mixed_.data(), n, out);
        else
            Emit(mixed_.data(), n, out);
        frames += n * inBlock_;
        count -= n;
    }
}

void PcmConvertStream::Resample(const float* in, std::size_t frames, ByteSink& out) {
    // A null input asks the resampler to flush what it holds.
    const std::size_t cap = resampled_.size() / static_cast<std::size_t>(work_);
    std::size_t done = 0;
    for (;;) {
        std::size_t idone = 0, odone = 0;
        soxr_process(soxr_, in ? in + done * static_cast<std::size_t>(work_) : nullptr, frames - done, &idone,
                     resampled_.data(), cap, &odone);
        done += idone;
        Emit(resampled_.data(), odone, out);
        if (done >= frames && odone < cap) break;
        if (in && idone == 0 && odone == 0) break;
    }
}

void PcmConvertStream::Emit(const float* samples, std::size_t frames, ByteSink& out) {
    if (frames == 0) return;
    const std::size_t bytes = frames * outBlock_;
    Shape(samples, frames, work_, outChannels_, outBits_, out.Grab(bytes));
    out.Commit(bytes);
}

}  // namespace acm
