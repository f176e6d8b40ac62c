// A file's tags as one model, read once: the frames of its ID3v2 tag as
// the walker finds them (tags/Id3v2Frames.h), each decoded once; frames
// for what its other tags say that the ID3v2 tag does not (APEv2 items);
// its ID3v1.1 record; and, taken from the decoded texts alone, the fields
// the tag page shows and the summary a conversion writes. The tag page,
// its save and a conversion's carry all read this model: no step reads a
// tag's bytes again. Where the model's tags are found in a file is
// tags/FileTags.h; what becomes of them, tags/CarriedTags.h (a conversion)
// and tags/PageFields.h (the tag page).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tags/Id3Tag.h"
#include "tags/Id3v2Frames.h"
#include "tags/Summary.h"

namespace sondrel {

// A tag bigger than this (a picture of that size, mostly) is left out; one
// below it travels whole, cover pictures of tens of megabytes included.
constexpr std::uint32_t kLargestCarriedTag = 64u << 20;

// Fields of the summary and the frames that hold them; the comment (the
// user's, UserComment) is read and written apart.
inline constexpr std::pair<const char*, const char*> kSummaryFrames[] = {
    {"INAM", "TIT2"}, {"IART", "TPE1"}, {"IPRD", "TALB"}, {"ICRD", "TDRC"}, {"IGNR", "TCON"},
    {"ITRK", "TRCK"}, {"IMUS", "TCOM"}, {"ICOP", "TCOP"}, {"ITCH", "TENC"}, {"ISFT", "TSSE"},
    {"ILNG", "TLAN"}, {"IWRI", "TEXT"}, {"IMED", "TMED"}, {"ISBJ", "TIT3"}};

// What one frame says, decoded when the tag is read.
struct TFrameText {
    // The frame as ID3v2.4 names it: a 2.2 "TT2" and a 2.3 "TYER" read as
    // "TIT2" and "TDRC", so that every version's frames are found alike.
    std::string key;
    // The frame decodes. One that does not (an encoding no version
    // defines, no body, bytes no reader makes sense of) stays in the
    // ID3v2 tag as its bytes and goes into no other tag.
    bool readable = false;
    std::string description;  // of a comment or user text frame (UTF-8)
    std::string language;     // of a comment frame
    std::vector<std::string> values;  // a text frame's strings; a comment's text (UTF-8)
    // The values joined by blanks, as readers show a frame of several.
    std::string Text() const;
};

// An APEv2 item: its key and its text (several values joined by "/").
struct TApeItem {
    std::string key, text;
};

struct TTagModel {
    // The ID3v2 tag's frames (version 0: there is none), then those added
    // for the file's other tags: frames [0, Own) are the tag's own.
    TId3v2Layout Id3v2;
    std::vector<TFrameText> Texts;  // one a frame
    std::size_t Own = 0;
    // The ID3v2 tag as the file holds it, where one was read.
    std::vector<std::uint8_t> Bytes;
    // An ID3v2 tag header was found; Lost: nothing of that tag could be
    // read (it cannot be walked, is larger than kLargestCarriedTag, or
    // claims more bytes than the file has). An empty tag is no loss.
    bool Found = false;
    bool Lost = false;
    // The frame of the user's comment (UserComment()), -1 for none.
    int Comment = -1;
    // The texts of the tag page's seven fields as the frames give them,
    // whole; the track its number alone, the year its first four digits.
    TId3Fields Fields;
    // The fields LIST/INFO and ID3v1.1 have room for; where the frames
    // give none, the ID3v1.1 tag's or the LIST/INFO chunk's.
    TSummary Summary;
    std::optional<TTagRecord> Id3v1;
    // A WAV file's LIST/INFO fields: its summary where the frames give none.
    TSummary Info;

    // The first readable frame of key, or -1.
    int Find(const std::string& key) const;
    bool HasOwnTag() const { return Id3v2.version != 0 && Own > 0; }
};

// Reads an ID3v2 tag (header included, as many bytes as it claims) into
// an empty model: walks it, decodes each frame, derives the fields.
void ReadId3v2(TTagModel& model, std::vector<std::uint8_t> tag);

// Adds a frame for every APEv2 item that no frame says already (TXXX for
// the items without a frame of their own, ReplayGain among them), as
// frames of the model's version (2.3 for a model without ID3v2).
void AddApeItems(TTagModel& model, const std::vector<TApeItem>& items);

// Takes the fields and the summary from the frames' texts again (after
// frames or the other tags were added).
void Derive(TTagModel& model);

// The user's comment among the frames: one without a description (in the
// user's language, as LANGUAGE, LC_ALL, LC_MESSAGES or LANG name it,
// German otherwise, where there are several), else the first that is no
// other program's data (iTunNORM, iTunSMPB, iTunPGAP and the like, which
// players keep in comment frames); -1 for none.
int UserComment(const std::vector<TFrameText>& texts);

// The size of the ID3v2 tag at the start of bytes (header, body and
// footer), 0 when there is none.
std::uint64_t Id3v2Size(const std::uint8_t* bytes, std::size_t available);

// The page's fields of an ID3v2 tag's bytes alone (for tests and tools).
TId3Fields Id3v2Fields(const std::vector<std::uint8_t>& tag);

}  // namespace sondrel
