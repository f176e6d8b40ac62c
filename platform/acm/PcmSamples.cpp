#include "platform/acm/PcmSamples.h"

#include <cmath>

namespace acm {
namespace {

inline float ReadSample(const std::uint8_t* p, int bits) {
    switch (bits) {
    case 8:
        return (static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
    case 16:
        return static_cast<std::int16_t>(p[0] | (p[1] << 8)) * (1.0f / 32768.0f);
    default: {
        std::int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
        if (v & 0x800000) v -= 0x1000000;
        return v * (1.0f / 8388608.0f);
    }
    }
}

inline long Quantise(float v, float scale, long lo, long hi) {
    long q = std::lrintf(v * scale);
    return q < lo ? lo : (q > hi ? hi : q);
}

}  // namespace

void PcmToFloat(const std::uint8_t* in, std::size_t frames, int inBits, int inChannels,
                float* out, int outChannels) {
    const int width = inBits / 8;
    const std::size_t block = static_cast<std::size_t>(width) * inChannels;
    if (inChannels == outChannels) {
        const std::size_t n = frames * inChannels;
        if (inBits == 16) {
            for (std::size_t i = 0; i < n; ++i, in += 2)
                out[i] = static_cast<std::int16_t>(in[0] | (in[1] << 8)) * (1.0f / 32768.0f);
        } else {
            for (std::size_t i = 0; i < n; ++i, in += width) out[i] = ReadSample(in, inBits);
        }
        return;
    }
    for (std::size_t f = 0; f < frames; ++f, in += block) {
        if (outChannels == 1) {
            float sum = 0;
            for (int c = 0; c < inChannels; ++c) sum += ReadSample(in + c * width, inBits);
            *out++ = sum / static_cast<float>(inChannels);
        } else if (inChannels == 1) {
            const float v = ReadSample(in, inBits);
            for (int c = 0; c < outChannels; ++c) *out++ = v;
        } else {
            for (int c = 0; c < outChannels; ++c)
                *out++ = c < inChannels ? ReadSample(in + c * width, inBits) : 0.0f;
        }
    }
}

void FloatToPcm(const float* in, std::size_t samples, int outBits, std::uint8_t* out) {
    switch (outBits) {
    case 8:
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = static_cast<std::uint8_t>(Quantise(in[i], 128.0f, -128, 127) + 128);
        break;
    case 16:
        for (std::size_t i = 0; i < samples; ++i, out += 2) {
            const long v = Quantise(in[i], 32768.0f, -32768, 32767);
            out[0] = static_cast<std::uint8_t>(v);
            out[1] = static_cast<std::uint8_t>(v >> 8);
        }
        break;
    default:
        for (std::size_t i = 0; i < samples; ++i, out += 3) {
            const long v = Quantise(in[i], 8388608.0f, -8388608, 8388607);
            out[0] = static_cast<std::uint8_t>(v);
            out[1] = static_cast<std::uint8_t>(v >> 8);
            out[2] = static_cast<std::uint8_t>(v >> 16);
        }
        break;
    }
}

}  // namespace acm
