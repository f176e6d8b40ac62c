#include "platform/acm/pcm/PcmSamples.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Clipped before it is rounded, so that an infinity or a value too large
// for the integer lands on the end it is nearest (NaN on the lower end);
// rounding is to nearest, ties to even, as the processor rounds.
inline long Quantise(float v, float scale, float lo, float hi) {
    float x = v * scale;
    x = x > lo ? x : lo;
    x = x < hi ? x : hi;
    return std::lrintf(x);
}

// Speaker bits of the WAVE channel mask that we can place: front left and
// right, centre, low frequency, back left and right, left and right of
// centre, back centre, side left and right, and the six top speakers.
constexpr int kKnownSpeakers = 18;

// The mask of the standard layout for a channel count.
std::uint32_t StandardMask(int channels) {
    switch (channels) {
    case 1: return 0x4;    // centre
    case 2: return 0x3;    // left, right
    case 3: return 0x7;    // and centre
    case 4: return 0x107;  // left, right, centre, back centre
    case 5: return 0x37;   // left, right, centre, back left and right
    case 6: return 0x3F;   // 5.1: and the low-frequency channel
    case 7: return 0x70F;  // 6.1: left, right, centre, LFE, back centre, sides
    case 8: return 0x63F;  // 7.1: 5.1 and the sides
    default: return 0;
    }
}

}  // namespace

bool DownmixMatrix(int inChannels, std::uint32_t mask, int outChannels, std::vector<float>& matrix) {
    if (inChannels < 1 || outChannels < 1 || outChannels > 2) return false;
    // "All speakers" and no mask at all say nothing about the places.
    if (mask == 0 || mask == 0x80000000u) mask = StandardMask(inChannels);
    constexpr float c = 0.70710678f;  // -3 dB
    // Into left and right, by speaker bit.
    constexpr float kLeft[kKnownSpeakers] = {1, 0, c, 0, c, 0, 1, 0, c * c, c, 0, c * c, c, c * c, 0, c, c * c, 0};
    constexpr float kRight[kKnownSpeakers] = {0, 1, c, 0, 0, c, 0, 1, c * c, 0, c, c * c, 0, c * c, c, 0, c * c, c};
    // Into one channel: the front ones at -3 dB, the centre whole, those
    // behind at -6 dB.
    constexpr float kMono[kKnownSpeakers] = {c, c, 1, 0, c * c, c * c, c, c, c * c, c * c, c * c, c, c * c, c, c * c, c * c, c, c * c};
    std::vector<float> left, right, mono;
    for (int bit = 0; bit < 32 && static_cast<int>(left.size()) < inChannels; ++bit) {
        if (!(mask & (1u << bit))) continue;
        if (bit >= kKnownSpeakers) return false;
        left.push_back(kLeft[bit]);
        right.push_back(kRight[bit]);
        mono.push_back(kMono[bit]);
    }
    if (static_cast<int>(left.size()) < inChannels) return false;
    matrix.clear();
    if (outChannels == 2) {
        matrix.insert(matrix.end(), left.begin(), left.end());
        matrix.insert(matrix.end(), right.begin(), right.end());
    } else {
        matrix = mono;
    }
    float loudest = 0;
    for (int row = 0; row < outChannels; ++row) {
        float sum = 0;
        for (int i = 0; i < inChannels; ++i) sum += matrix[static_cast<std::size_t>(row * inChannels + i)];
        loudest = std::max(loudest, sum);
    }
    if (loudest > 1)
        for (float& w : matrix) w /= loudest;
    return true;
}

void PcmToFloat(const std::uint8_t* in, std::size_t frames, int inBits, int inChannels,
                float* out, int outChannels, const float* mix) {
    const int width = inBits / 8;
    const std::size_t block = static_cast<std::size_t>(width) * inChannels;
    if (inChannels == outChannels) {
        const std::size_t n = frames * inChannels;
        if (inBits == 16) {
            std::size_t i = 0;
#if defined(__SSE2__)
            // Eight little-endian samples a step (the processor's own order
            // here): each widened to 32 bits with its sign, then scaled.
            const __m128 scale = _mm_set1_ps(1.0f / 32768.0f);
            for (; i + 8 <= n; i += 8, in += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
                const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
                const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
                _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(lo), scale));
                _mm_storeu_ps(out + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(hi), scale));
            }
#endif
            for (; i < n; ++i, in += 2) out[i] = ReadSample(in, 16);
        } else {
            for (std::size_t i = 0; i < n; ++i, in += width) out[i] = ReadSample(in, inBits);
        }
        return;
    }
    if (mix && inChannels > 2) {
        float s[8];
        for (std::size_t f = 0; f < frames; ++f, in += block) {
            for (int c = 0; c < inChannels && c < 8; ++c) s[c] = ReadSample(in + c * width, inBits);
            for (int row = 0; row < outChannels; ++row) {
                const float* w = mix + row * inChannels;
                float v = 0;
                for (int c = 0; c < inChannels && c < 8; ++c) v += w[c] * s[c];
                *out++ = v;
            }
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

void FloatToPcm(const float* in, std::size_t samples, int outBits, std::uint8_t* out, int copies) {
    const auto n = static_cast<std::size_t>(std::max(1, copies));
    std::size_t i = 0;
#if defined(__SSE2__)
    // 16 bits, the common target, eight samples a step: the same clip and
    // rounding as Quantise (MAXPS gives its second operand for a NaN).
    if (outBits == 16 && n <= 2) {
        const __m128 scale = _mm_set1_ps(32768.0f), lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
        for (; i + 8 <= samples; i += 8) {
            const __m128 a = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(in + i), scale), lo), hi);
            const __m128 b = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(in + i + 4), scale), lo), hi);
            const __m128i v = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
            if (n == 1) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
                out += 16;
            } else {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(v, v));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(v, v));
                out += 32;
            }
        }
    }
#endif
    for (; i < samples; ++i) {
        switch (outBits) {
        case 8: {
            const auto v = static_cast<std::uint8_t>(Quantise(in[i], 128.0f, -128.0f, 127.0f) + 128);
            for (std::size_t c = 0; c < n; ++c) *out++ = v;
            break;
        }
        case 16: {
            const long v = Quantise(in[i], 32768.0f, -32768.0f, 32767.0f);
            for (std::size_t c = 0; c < n; ++c, out += 2) {
                out[0] = static_cast<std::uint8_t>(v);
                out[1] = static_cast<std::uint8_t>(v >> 8);
            }
            break;
        }
        default: {
            const long v = Quantise(in[i], 8388608.0f, -8388608.0f, 8388607.0f);
            for (std::size_t c = 0; c < n; ++c, out += 3) {
                out[0] = static_cast<std::uint8_t>(v);
                out[1] = static_cast<std::uint8_t>(v >> 8);
                out[2] = static_cast<std::uint8_t>(v >> 16);
            }
            break;
        }
        }
    }
}

}  // namespace acm
