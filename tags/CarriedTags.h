// What a conversion carries of its source's tags (tags/TagModel.h) into
// its target: the whole ID3v2 tag (a WAV target's "id3 " chunk, an MP3
// target's ID3v2 tag), every frame as it is in a plain layout, and its
// summary (the WAV target's LIST/INFO chunk, the MP3 target's ID3v1.1
// tag). A damaged tag is left out, never a reason to fail a conversion.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/Id3Tag.h"
#include "tags/Summary.h"
#include "tags/TagModel.h"

namespace sondrel {

// The ID3v2 frames that describe positions in the MPEG stream a tag was
// written for (a location table, seek frames and points, a position
// synchronisation): another stream, or a WAV file, has none of them.
inline constexpr const char* kStreamPositionFrames[] = {"MLLT", "SEEK", "ASPI", "POSS", "MLL"};

struct TCarriedTags {
    std::vector<std::uint8_t> Id3v2;
    TSummary Summary;
    // The source has an ID3v2 tag of which nothing could travel: the
    // conversion says so.
    bool Id3v2LeftBehind = false;
    bool Empty() const { return Id3v2.empty() && Summary.empty(); }
};

// The model's frames as one ID3v2 tag, its own and those its other tags
// added, in a plain layout (no extended header, no unsynchronisation), the
// stream-position frames left out. Frames timed in MPEG frames of the old
// stream (SYLT lyrics, ETCO events) are timed in milliseconds, from
// secondsPerFrame, the source stream's frame length; where that is not
// known (0: a WAV's tag) they are left out. The tag's own bytes where
// nothing changed; a tag made of the summary where the model has no
// frames (an ID3v1.1 tag or a LIST/INFO chunk alone).
TCarriedTags Carried(const TTagModel& model, double secondsPerFrame = 0);

// An ID3v2 tag (version 3 or 4) with a frame for every field of a summary
// that has one; empty for none.
std::vector<std::uint8_t> RenderId3v2(const TSummary& summary, int version = 3);

bool NoFields(const TId3Fields& fields);

// An ID3v2 tag of the non-empty fields (version 3 or 4); empty when no
// field is set.
std::vector<std::uint8_t> RenderId3v2(const TId3Fields& fields, int version = 3);

}  // namespace sondrel
