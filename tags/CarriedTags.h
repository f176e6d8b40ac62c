// Tags carried across a conversion: a whole ID3v2 tag (read frame by frame
// whatever its layout, tags/Id3v2Frames.h), the fields of an APEv2 tag as
// ID3v2 frames, and their summary for LIST/INFO and ID3v1.1. TagLib parses
// and renders the frames and INFO; the ID3v1.1 tag stays ours
// (tags/Id3Tag.h).
//
// Readers take bytes already in memory, never throw, and give empty fields
// for anything they cannot make sense of: a damaged tag is left out, never
// a reason to fail a conversion.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/Id3Tag.h"
#include "tags/Summary.h"

namespace sondrel {

// A tag bigger than this (a picture of that size, mostly) is left out; one
// below it travels whole, cover pictures of tens of megabytes included.
constexpr std::uint32_t kLargestCarriedTag = 64u << 20;

// The ID3v2 frames that describe positions in the MPEG stream a tag was
// written for (a location table, seek frames and points, a position
// synchronisation): another stream, or a WAV file, has none of them.
inline constexpr const char* kStreamPositionFrames[] = {"MLLT", "SEEK", "ASPI", "POSS", "MLL"};

// A whole ID3v2 tag, as it travels with the audio: every frame as it is,
// in a plain layout (no extended header, no unsynchronisation), the
// stream-position frames left out. Frames timed in MPEG frames of the old
// stream (SYLT lyrics, ETCO events) are timed in milliseconds, from
// secondsPerFrame, the source stream's frame length; where that is not
// known (0: a WAV's tag) they are left out. The bytes as they were where
// nothing changed; empty where the tag cannot be read.
std::vector<std::uint8_t> CarriedId3v2(const std::vector<std::uint8_t>& tag, double secondsPerFrame = 0);

// An ID3v2 tag was there, but nothing of it can travel: its frames cannot
// be found, it is larger than kLargestCarriedTag, or it claims more bytes
// than there are. (An empty tag is no loss.)
bool Id3v2LeftBehind(const std::vector<std::uint8_t>& tag);

// An APEv2 item: its key and its text (several values joined by "/").
struct TApeItem {
    std::string key, text;
};
// The tag with a frame for every APEv2 item that no frame of it already
// says (TXXX for the items without a frame of their own, ReplayGain
// among them); a new ID3v2.3 tag where tag is empty.
std::vector<std::uint8_t> WithApeItems(const std::vector<std::uint8_t>& tag, const std::vector<TApeItem>& items);
// The summary of an ID3v2 tag: every field that has a place in LIST/INFO,
// the track and date as the tag gives them, the user's comment
// (UserCommentIndex).
TSummary Id3v2Summary(const std::vector<std::uint8_t>& tag);
// An ID3v2 tag (version 3 or 4) with a frame for every field of a summary
// that has one; empty for none.
std::vector<std::uint8_t> RenderId3v2(const TSummary& summary, int version = 3);

bool NoFields(const TId3Fields& fields);

// A whole ID3v2 tag (version 2.2, 2.3 or 2.4), header included.
TId3Fields Id3v2Fields(const std::vector<std::uint8_t>& tag);

// An ID3v2 tag of the non-empty fields (version 3 or 4); empty when no
// field is set.
std::vector<std::uint8_t> RenderId3v2(const TId3Fields& fields, int version = 3);

// The size of the ID3v2 tag at the start of bytes (header, body and
// footer), 0 when there is none.
std::uint64_t Id3v2Size(const std::uint8_t* bytes, std::size_t available);

}  // namespace sondrel
