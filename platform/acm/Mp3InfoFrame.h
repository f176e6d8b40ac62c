// The info frame at the start of an MP3 stream ("Info" with the encoder's
// extension: frame count, byte count, encoder delay and padding), written
// by hand for the formats whose frames are too small for the encoder's own:
// at low bitrates a CBR frame cannot hold it, so this one is a frame of a
// higher bitrate of the same version, rate and channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace acm {

// Whether the encoder library fits its own info frame into a frame of the
// stream's bitrate.
bool EncoderWritesInfoFrame(unsigned rate, int channels, int kbps);

struct InfoFrameValues {
    std::uint32_t frames = 0;  // audio frames after the info frame
    std::uint32_t bytes = 0;   // the whole stream, info frame included
    int delay = 0;             // encoder delay, samples
    int padding = 0;           // samples added after the end
    int lowpass = 0;           // Hz
    int kbps = 0;              // the stream's bitrate
    std::string encoder;       // "LAME3.100": which encoder made the audio
};

// The frame in both its states: a placeholder (a frame header and zeros)
// written first, and the same frame filled in once the values are known.
class OwnInfoFrame {
public:
    OwnInfoFrame(unsigned rate, int channels);
    std::vector<std::uint8_t> Placeholder() const;
    std::vector<std::uint8_t> Filled(const InfoFrameValues& v) const;
    std::size_t Size() const { return size_; }

private:
    std::vector<std::uint8_t> Header() const;
    unsigned rate_;
    int channels_;
    int kbpsIndex_ = 0;
    std::size_t sideInfo_ = 0;  // header and side information, bytes
    std::size_t size_ = 0;
};

}  // namespace acm
