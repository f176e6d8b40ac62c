// Tags around the audio in files: where a source keeps them, and the bytes
// a target gets. Reads are bounded (kLargestCarriedTag) and never throw;
// what cannot be read is no tag.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/ByteFile.h"
#include "tags/CarriedTags.h"

namespace sondrel {

// The file begins "RIFF....WAVE" (or RF64, BW64; read from position 0,
// left after it).
bool IsRiffWave(TByteFile& file);

// The tag chunks of a RIFF WAVE file, as found (bodies without their
// chunk headers); empty where there is none or it runs past the file.
struct TWaveTagChunks {
    std::vector<std::uint8_t> Id3;   // "id3 " or "ID3 "
    std::vector<std::uint8_t> Info;  // a LIST chunk of type INFO
    bool Empty() const { return Id3.empty() && Info.empty(); }
};
TWaveTagChunks FindWaveTagChunks(TByteFile& source);
// The fields of a WAVE file: its ID3 chunk where that has any, else its
// LIST/INFO chunk.
TId3Fields WaveFileFields(const TWaveTagChunks& chunks);

// The fields of an MP3 file: its ID3v2 tag (behind leading zero bytes)
// where that has any, else its ID3v1.1 tag; a RIFF-wrapped stream's come
// from its chunks.
TId3Fields Mp3FileFields(TByteFile& source);

// The chunks a WAV target gets after its data: LIST/INFO and an ID3v2.3
// tag in an "id3 " chunk; empty for no fields.
std::vector<std::uint8_t> WaveTagTail(const TId3Fields& fields);
// The same for chunks taken over from a WAVE source as they are.
std::vector<std::uint8_t> WaveTagTail(const TWaveTagChunks& chunks);

}  // namespace sondrel
