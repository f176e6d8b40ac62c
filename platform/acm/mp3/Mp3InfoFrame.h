// The info frame at the start of an MP3 stream: a frame without audio
// whose "Info" tag tells decoders and other tools the stream's frame and
// byte counts, a seek table, and (in the encoder's extension) the encoder
// delay and padding, so that they give back exactly the source's samples
// and read its length and bitrate right.
//
// The encoder library writes this frame itself for a stream it encoded
// alone. For a stream we put together ourselves (encoded in blocks, or cut
// short by a failed write) the frame is built here: the library's own
// frame for the same settings, with the values of our stream filled in.
// Every frame of a constant-bitrate stream has its bitrate, the info frame
// too: where that frame is too small for the library's tag (the lowest
// bitrates), ours goes in without the seek table and quality word; where
// not even that fits, the stream has no info frame, as the library's has
// none there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace acm {

// Whether the encoder library fits its own info frame into a frame of the
// stream's bitrate.
bool EncoderWritesInfoFrame(unsigned rate, int channels, int kbps);

// CRC-16 as the encoder's extension uses it (polynomial 0x8005, bits
// reflected), continued from crc; start with 0.
std::uint16_t InfoCrc16(std::uint16_t crc, const std::uint8_t* bytes, std::size_t n);

// The seek table of a stream whose audio frames have these bitrates, as
// the encoder library builds it: 100 entries, entry i the stream's
// position at i % of its length in 256ths (reckoned, as the library does,
// from sums of the frames' bitrates).
std::array<std::uint8_t, 100> SeekTable(const std::vector<std::uint16_t>& framesKbps);
// The same for a constant-bitrate stream of frames audio frames.
std::array<std::uint8_t, 100> CbrSeekTable(std::uint32_t frames, int kbps);

struct InfoFrameValues {
    std::uint32_t frames = 0;  // audio frames after the info frame
    std::uint32_t bytes = 0;   // the whole stream, info frame included
    int delay = 0;             // encoder delay, samples
    int padding = 0;           // samples added after the end
    int lowpass = 0;           // Hz
    int kbps = 0;              // the stream's bitrate
    std::string encoder;       // "LAME3.100": which encoder made the audio
    std::uint16_t musicCrc = 0;  // over the audio frames
    // The fourth header byte of the last audio frame, whose mode extension
    // the library's frame repeats; -1 where there is none.
    int lastHeaderByte = -1;
    // A variable-bitrate stream's frames' bitrates, for its seek table;
    // empty for a constant bitrate.
    std::vector<std::uint16_t> framesKbps;
};

// The frame in both its states: a placeholder (the frame's header, no
// values) written first, and the same frame filled in once the values are
// known.
class InfoFrame {
public:
    virtual ~InfoFrame() = default;
    virtual std::vector<std::uint8_t> Placeholder() const = 0;
    virtual std::vector<std::uint8_t> Filled(const InfoFrameValues& v) const = 0;
};

// The library's frame: model is the frame the encoder library wrote for a
// stream of the same settings; every value that depends on the stream is
// replaced. Null where model is not such a frame.
std::unique_ptr<InfoFrame> LibraryInfoFrame(std::vector<std::uint8_t> model);

// Ours, for the formats whose frames are too small for the library's:
// Placeholder and Filled are empty where the frame cannot hold even this.
std::unique_ptr<InfoFrame> OwnInfoFrame(unsigned rate, int channels, int kbps);

}  // namespace acm
