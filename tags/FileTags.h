// Tags around the audio in files: where a source keeps them, and the bytes
// a target gets. Reads are bounded (kLargestCarriedTag) and never throw;
// what cannot be read is no tag.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/ByteFile.h"
#include "tags/CarriedTags.h"
#include "tags/Summary.h"
#include "tags/TagModel.h"

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
// Where an MP3 file keeps its tags: the ID3v2 tag at Id3v2At (behind
// leading zero bytes), taking Id3v2Room bytes (0: none), and whether its
// last 128 bytes are an ID3v1.1 tag.
struct TMp3TagPlaces {
    std::int64_t Id3v2At = 0, Id3v2Room = 0;
    bool Id3v1 = false;
};
// An MP3 file's tags: its ID3v2 tag, with a frame for every item of an
// APEv2 tag at its end that no frame says already, and its ID3v1.1 tag.
// A tag whose stated size reaches into the audio (its frames end, and an
// MPEG frame begins, inside it) is read up to where the audio begins.
TTagModel ReadMp3Tags(TByteFile& source, TMp3TagPlaces* places = nullptr);
// A WAVE file's: its ID3 chunk, and its LIST/INFO fields.
TTagModel ReadWaveTags(TByteFile& source);
// A conversion's MP3 source's: a RIFF-wrapped stream's come from its
// chunks. The source's position is kept.
TTagModel ReadSourceTags(TByteFile& source);

// The chunks a WAV target gets after its data: LIST/INFO and the ID3v2 tag
// in an "id3 " chunk; empty for none.
std::vector<std::uint8_t> WaveTagTail(const TCarriedTags& tags);
// The same for chunks taken over from a WAVE source as they are.
std::vector<std::uint8_t> WaveTagTail(const TWaveTagChunks& chunks);

}  // namespace sondrel
