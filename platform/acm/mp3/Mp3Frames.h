// Layer III frames cut out of an encoder's stream so that each carries its
// own main data, and joined again into one valid stream. The main data of
// a frame may begin in the frames before it (the bit reservoir, reached
// back through main_data_begin); cutting gathers it, joining places it
// again as early as the reservoir allows and rewrites main_data_begin.
// This lets blocks of one signal be encoded side by side by separate
// encoders and still give one stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace acm {

struct L3Frame {
    std::vector<std::uint8_t> head;  // header, CRC and side information
    std::vector<std::uint8_t> main;  // the frame's main data, whole bytes
    std::size_t size = 0;            // the frame's length in the stream
    std::size_t side = 0;            // where the side information begins in head
    unsigned reservoir = 0;          // main_data_begin in the stream it came from
    unsigned lastWindows = 0;        // block types of the last granule, by channel
};

// Cuts a stream of Layer III frames (no info frame) into frames; false
// where the stream is not what an encoder writes. An encoder that has not
// been flushed may have written part of a frame, or a frame whose main data
// is still to come: with open, such frames at the end are left out.
bool CutFrames(const std::vector<std::uint8_t>& stream, std::vector<L3Frame>& frames, bool open = false);

// A frame's bitrate from its header, kbit/s.
int FrameKbps(const L3Frame& frame);
// The frame made larger (a higher bitrate index in its header, its CRC
// made anew where it has one) so that its data area holds at least area
// bytes; false where even the highest bitrate does not.
bool RaiseFrame(L3Frame& frame, std::size_t area);

// Places frames one after another into a stream.
class FrameJoiner {
public:
    // variable: the frames may have any bitrate (VBR); a frame whose main
    // data does not fit where it comes is then made larger (RaiseFrame)
    // instead.
    explicit FrameJoiner(bool mpeg1, bool variable = false) : maxBack_(mpeg1 ? 511 : 255), variable_(variable) {}
    // Whether frames[from...] can follow what is joined so far: each one's
    // main data fits before its frame's end (a larger frame's, where the
    // bitrate may vary), until the reservoir is at least what its own
    // stream had (from there on every frame fits as it did there).
    bool Fits(const std::vector<L3Frame>& frames, std::size_t from) const;
    void Append(const L3Frame& frame);
    // The bytes no later frame can change any more, handed out once.
    std::vector<std::uint8_t> TakeFinished();
    // Everything, at the end of the stream.
    std::vector<std::uint8_t> TakeAll();
    std::uint64_t Frames() const { return frames_; }
    // The bitrate of every frame joined, in order.
    const std::vector<std::uint16_t>& FramesKbps() const { return kbps_; }
    // Frames made larger to hold their main data.
    long Raised() const { return raised_; }
    // The fourth header byte of the last frame joined; -1 before the first.
    int LastHeaderByte() const { return lastHeaderByte_; }

private:
    // Reservoir positions count the frames' data areas only (what follows
    // each header and side information), as main_data_begin does.
    struct Open {
        std::uint64_t dataStart;  // of its data area
        std::size_t at;           // of its data area in out_
        std::size_t area;
    };
    unsigned maxBack_;
    bool variable_;
    std::vector<std::uint16_t> kbps_;
    long raised_ = 0;
    std::vector<std::uint8_t> out_;  // whole frames not handed out yet
    std::vector<Open> open_;         // the frames in out_
    std::uint64_t dataEnd_ = 0;      // where the next data area starts
    std::uint64_t mainEnd_ = 0;      // where placed main data ends
    std::uint64_t frames_ = 0;
    int lastHeaderByte_ = -1;
};

}  // namespace acm
