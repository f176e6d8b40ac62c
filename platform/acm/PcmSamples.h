// Sample-level helpers of the PCM converter: integer PCM of 8, 16 and 24 bits
// to float frames (with the channel mapping done on the way) and back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace acm {

// Reads frames of inChannels x inBits into outChannels floats per frame in
// [-1, 1). To mono: the average of all channels; mono to stereo: duplicated;
// more than two channels to stereo: the first two.
void PcmToFloat(const std::uint8_t* in, std::size_t frames, int inBits, int inChannels,
                float* out, int outChannels);

// Writes samples (already interleaved) as 8, 16 or 24-bit PCM, rounded to
// nearest and clipped. No dither, so the same input gives the same bytes.
void FloatToPcm(const float* in, std::size_t samples, int outBits, std::uint8_t* out);

}  // namespace acm
