// MPEG audio bitrates and Layer III frame sizes: what the frame analysis
// reads from headers, and what the encoder and the format list offer.
#pragma once

#include <array>

namespace acm {

// kbit/s by version bit (1 = MPEG-1, 0 = MPEG-2 and 2.5, the low sampling
// frequencies), layer code (3 = I, 2 = II, 1 = III, 0 reserved) and
// bitrate index (0 = free format, 1 to 14).
constexpr int kBitrateKbps[2][4][15] = {
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256}},
    {{0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}}};

// The Layer III rates of indices 1 to 14.
constexpr std::array<int, 14> Layer3Kbps(int versionBit) {
    std::array<int, 14> row{};
    for (int i = 0; i < 14; ++i) row[static_cast<std::size_t>(i)] = kBitrateKbps[versionBit][1][i + 1];
    return row;
}
constexpr std::array<int, 14> kMpeg1Layer3Kbps = Layer3Kbps(1);
constexpr std::array<int, 14> kMpeg2Layer3Kbps = Layer3Kbps(0);

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
