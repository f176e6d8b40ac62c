// Sample-level helpers of the PCM converter: integer PCM of 8, 16 and 24 bits
// to float frames (with the channel mapping done on the way) and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace acm {

// How the channels of a file with more than two mix into outChannels (1
// or 2): outChannels rows of inChannels weights. A channel's place is the
// speaker of its bit in the WAVE channel mask (in bit order), or, where
// the file has no mask, that of the standard layout for its count (as
// ffmpeg lays them out). The usual downmix: front left and right as they
// are, the centre and the surrounds at -3 dB into both sides or their own,
// the low-frequency channel left out; the whole scaled down where a signal
// at full scale in every channel would clip, as ffmpeg does for integer
// samples. False where a channel has no known place (a mask with fewer
// speakers than channels, or speakers we do not know).
bool DownmixMatrix(int inChannels, std::uint32_t mask, int outChannels, std::vector<float>& matrix);

// Reads frames of inChannels x inBits into outChannels floats per frame in
// [-1, 1). To mono: the average of both channels; mono to stereo:
// duplicated; more than two channels: by mix (DownmixMatrix's rows).
void PcmToFloat(const std::uint8_t* in, std::size_t frames, int inBits, int inChannels,
                float* out, int outChannels, const float* mix = nullptr);

// Writes samples (already interleaved) as 8, 16 or 24-bit PCM, clipped and
// rounded to nearest (ties to even), each copies times in a row (a mono
// signal into every channel). No dither, so the same input gives the same
// bytes.
void FloatToPcm(const float* in, std::size_t samples, int outBits, std::uint8_t* out, int copies = 1);

}  // namespace acm
