// PCM to PCM: sample rate through libsoxr (very high quality; a long signal
// in chunks on every core, platform/acm/BlockResampler.h), sample size and
// channel count by hand. Mixing down happens before resampling, so the
// resampler never works on channels that are mixed away. More than two
// channels mix down by the source's channel mask (an extensible PCM
// record's), or by the standard layout for their count.
#pragma once

#include <array>
#include <vector>

#include "platform/acm/pcm/BlockResampler.h"
#include "platform/acm/Driver.h"

struct soxr;

namespace acm {

class PcmConvertStream final : public CodecStream {
public:
    PcmConvertStream(const WAVEFORMATEX& in, const WAVEFORMATEX& out);
    ~PcmConvertStream() override;
    PcmConvertStream(const PcmConvertStream&) = delete;
    PcmConvertStream& operator=(const PcmConvertStream&) = delete;

    bool Ok() const { return ok_; }
    std::size_t OutputBound(std::size_t srcBytes) const override;
    // What a stream from in to out, yet to be made, may give out at most
    // beyond its own input's samples (what its resampler holds).
    static std::size_t HeldBytes(const WAVEFORMATEX& in, const WAVEFORMATEX& out);
    std::size_t InputFor(std::size_t dstBytes) const override;
    MMRESULT Convert(const std::uint8_t* src, std::size_t len, std::size_t& used, ByteSink& out,
                     bool end, bool blockAlignOnly) override;
    void Reset() override;

private:
    void ConvertFrames(const std::uint8_t* frames, std::size_t count, ByteSink& out);
    void Resample(const float* in, std::size_t frames, ByteSink& out);
    void Emit(const float* samples, std::size_t frames, ByteSink& out);
    // Frames of samples in work channels into the target's bytes: a mono
    // signal (work 1) quantised into every channel.
    static void Shape(const float* samples, std::size_t frames, int work, int channels, int bits,
                      std::uint8_t* bytes);

    static constexpr std::size_t kPiece = 4096;  // frames converted per step

    int inBits_, inChannels_, outBits_, outChannels_;
    int work_ = 0;  // channels while mixed and resampled
    std::size_t inBlock_, outBlock_;
    double ratio_;
    bool same_;  // identical formats: bytes pass through unchanged
    bool ok_ = true;
    soxr* soxr_ = nullptr;  // where the rates' grid is too coarse for blocks
    std::unique_ptr<BlockResampler> blocks_;
    std::array<std::uint8_t, 64> carry_{};
    std::size_t carried_ = 0;
    std::vector<float> mixed_;
    std::vector<float> mix_;  // more than two channels: the downmix
    std::vector<float> resampled_;
};

}  // namespace acm
