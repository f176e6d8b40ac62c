// An ID3v2 tag as its frames, whatever its header says: version 2.2, 2.3
// or 2.4, an extended header (with or without a CRC), unsynchronisation
// (of the whole tag, or in 2.4 of single frames), a footer, padding, and
// 2.4 frame sizes written the 2.3 way (as some taggers do). Everything
// that reads or changes an ID3v2 tag starts here, so that a tag reads the
// same however another program laid it out, and a save keeps every frame
// it does not change byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sondrel {

struct TId3v2Frame {
    std::string id;                   // "TIT2"; three characters in 2.2 ("TT2")
    std::uint8_t flags[2] = {0, 0};   // as stored (none in 2.2), unsynchronisation cleared
    std::vector<std::uint8_t> body;   // as stored, unsynchronisation undone
    // The frame claimed more bytes than its tag holds: its body is what
    // the tag holds of it, read as forgiving readers read it, and nothing
    // after it is a frame. Rendered again it gets the size it has.
    bool cut = false;
};

struct TId3v2Layout {
    int version = 0;   // 2, 3 or 4
    int revision = 0;
    std::vector<TId3v2Frame> frames;
    // Every byte of the tag is accounted for: its headers, its frames (the
    // last one perhaps cut) and zero padding. Where not, a save would lose
    // what we cannot read.
    bool whole = false;
    // The tag as it was had something a plain rendering drops (an extended
    // header, unsynchronisation, a footer, wrongly sized 2.4 frames).
    bool rearranged = false;
};

// The tag at the start of bytes (header included). False where bytes do
// not begin with an ID3v2 header of a version we know, or its frames
// cannot be found at all.
bool ParseId3v2(const std::vector<std::uint8_t>& tag, TId3v2Layout& layout);

// One frame as a tag of version lays it out: its header, then its body.
std::vector<std::uint8_t> RenderId3v2Frame(int version, const TId3v2Frame& frame);

// The frames as a tag of the layout's version: a plain header, the frames
// one after another, padding zero bytes.
std::vector<std::uint8_t> RenderId3v2Frames(const TId3v2Layout& layout, std::size_t padding = 0);

// The tag in a form every reader takes (TagLib among them): as it is
// where nothing in it needs rearranging, otherwise rendered again from its
// frames. Empty where it cannot be parsed.
std::vector<std::uint8_t> PlainId3v2(const std::vector<std::uint8_t>& tag);

// Where the string that starts at at in a frame body of encoding (its
// first byte) ends, after its terminator; 0 where it runs past the body.
std::size_t FrameStringEnd(const std::vector<std::uint8_t>& body, std::size_t at, std::uint8_t encoding);

}  // namespace sondrel
