// Where the audio of an MP3 file begins and what it is: a stream wrapped in
// a RIFF WAVE file, zero bytes and ID3v2 tags in front, then the first
// frame header that a stream of frames follows (where decoders start). The
// result describes the stream to the decoder convertor.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codec/ACMConvertor.h"
#include "codec/ByteFile.h"
#include "codec/FormatCatalogue.h"

namespace sondrel {

struct TFrameAnalysis {
    std::array<std::uint8_t, 4> Window{};  // the four bytes at the candidate position
    std::int64_t Candidate = 0;
    bool Wrapped = false;
    // A valid frame header was found: where the frames that follow it chain
    // on, or the first lone one where none do.
    bool Found = false;
    alignas(8) std::array<std::uint8_t, 18> WrappedFormat{};
    std::int64_t AudioStart = 0;
    int Channels = 2;
    unsigned SampleRate = 44100;
    int Bitrate = 128;  // kbit/s
};

// Layer III and the other layers' bitrates, by version bit (1 = MPEG-1,
// 0 = MPEG-2 and 2.5), layer code (3 = I, 2 = II, 1 = III) and bitrate
// index 1 to 14.
int BitrateKbps(int versionBit, int layerCode, int bitrateIndex);
// By the header's two version bits (3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5)
// and sampling index 0 to 2.
unsigned SampleRateHz(int versionId, int samplingIndex);
// A frame header as the search accepts it: the sync of MPEG-1, 2 or 2.5, a
// layer, a sampling index below 3, a bitrate index below 15.
bool IsValidHeader(const std::uint8_t h[4]);
// The length in bytes of the Layer III frame this valid header begins; 0
// for another layer or a free-format frame.
int Layer3FrameBytes(const std::uint8_t h[4]);

// The frame count that an info frame ("Xing" or "Info") at the audio start
// gives; -1 where there is none. The source's position is kept.
std::int64_t InfoFrameCount(TByteFile& source, const TFrameAnalysis& a);

// Runs the RIFF probe, the zero and ID3v2 skips and the frame search on a
// source opened at position 0. A header counts as the first frame where
// the next frames follow at their lengths with its version, layer and
// rate (or the stream ends there). Raises EInOutError where a wrapped source
// ends too early.
TFrameAnalysis LocateAudio(TByteFile& source);

// Reads channels, rate and bitrate, writes them into the decoder's formats,
// takes a matching catalogue record over, and positions the source at the
// audio start.
void DeriveFormats(TFrameAnalysis& a, TByteFile& source, TACMConvertor& mp3wav,
                   const std::vector<TFormatSlot>& mp3Table);

}  // namespace sondrel
