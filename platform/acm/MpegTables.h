// Layer III bitrates and frame sizes of MPEG-1 and MPEG-2 (low sampling
// frequencies), as the encoder and the format list need them.
#pragma once

#include <array>

namespace acm {

constexpr std::array<int, 14> kMpeg1Layer3Kbps = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> kMpeg2Layer3Kbps = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

constexpr bool IsMpeg1Rate(unsigned rate) { return rate == 32000 || rate == 44100 || rate == 48000; }
constexpr bool IsMpeg2Rate(unsigned rate) { return rate == 16000 || rate == 22050 || rate == 24000; }
constexpr bool IsMpeg25Rate(unsigned rate) { return rate == 8000 || rate == 11025 || rate == 12000; }

constexpr int SamplesPerFrame(unsigned rate) { return IsMpeg1Rate(rate) ? 1152 : 576; }

// Bytes of one frame without padding.
constexpr int FrameBytes(int kbps, unsigned rate) {
    return static_cast<int>(SamplesPerFrame(rate) / 8 * kbps * 1000 / rate);
}

inline bool IsLayer3Bitrate(int kbps, unsigned rate) {
    const auto& table = IsMpeg1Rate(rate) ? kMpeg1Layer3Kbps : kMpeg2Layer3Kbps;
    for (int k : table)
        if (k == kbps) return true;
    return false;
}

}  // namespace acm
