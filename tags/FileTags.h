// Tags around the audio in files: where a source keeps them, and the bytes
// a target gets. Reads are bounded (kLargestCarriedTag) and never throw;
// what cannot be read is no tag.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/ByteFile.h"
#include "tags/CarriedTags.h"
#include "tags/Summary.h"

namespace sondrel {

// The file begins "RIFF....WAVE" (or RF64, BW64; read from position 0,
// left after it).
bool IsRiffWave(TByteFile& file);

// The tag chunks of a RIFF WAVE file, as found (bodies without their
// chunk headers); empty where there is none or it runs past the file.
struct TWaveTagChunks {
    std::vector<std::uint8_t> Id3;   // "id3 " or "ID3 "
    std::vector<std::uint8_t> Info;  // a LIST chunk of type INFO
    // An ID3 chunk was there but could not be taken (it runs past the file,
    // is too large, or holds no tag).
    bool Id3Lost = false;
    bool Empty() const { return Id3.empty() && Info.empty(); }
};
TWaveTagChunks FindWaveTagChunks(TByteFile& source);
// What a conversion carries from its source to its target: the whole
// ID3v2 tag (the target's "id3 " chunk or its ID3v2 tag) and its summary
// (the target's LIST/INFO chunk or its ID3v1.1 tag).
struct TCarriedTags {
    std::vector<std::uint8_t> Id3v2;
    TSummary Summary;
    // The source has an ID3v2 tag of which nothing could travel
    // (Id3v2LeftBehind): the conversion says so.
    bool Id3v2LeftBehind = false;
    bool Empty() const { return Id3v2.empty() && Summary.empty(); }
};
// An MP3 file's: its ID3v2 tag (behind leading zero bytes, frames timed in
// MPEG frames of secondsPerFrame each timed in milliseconds), with a frame
// for every item of an APEv2 tag at its end that no frame says already;
// the summary from that, or where it has no fields from the ID3v1.1 tag;
// a file with only an ID3v1.1 tag gets an ID3v2 tag made of it. A
// RIFF-wrapped stream's come from its chunks.
TCarriedTags Mp3SourceTags(TByteFile& source, double secondsPerFrame = 0);
// A WAVE file's: its ID3 chunk whole, summed up; where it has none, an
// ID3v2 tag with a frame for every field of its LIST/INFO chunk.
TCarriedTags WaveSourceTags(TByteFile& source);

// The chunks a WAV target gets after its data: LIST/INFO and the ID3v2 tag
// in an "id3 " chunk; empty for none.
std::vector<std::uint8_t> WaveTagTail(const TCarriedTags& tags);
// The same for chunks taken over from a WAVE source as they are.
std::vector<std::uint8_t> WaveTagTail(const TWaveTagChunks& chunks);

}  // namespace sondrel
