// RIFF WAVE files: the fixed 44-byte header in front of every WAV target
// (RF64 past 4 GiB), and the chunk walk that finds a source's format and
// data.
#pragma once

#include <array>
#include <cstdint>

#include "codec/ByteFile.h"
#include "platform/acm/FormatArea.h"
#include "platform/acm/msacm.h"

namespace sondrel {

constexpr std::int64_t kWaveDataStart = 44;
// A target that may grow past 4 GiB reserves room for the 64-bit sizes of
// an RF64 file (EBU Tech 3306): a 28-byte JUNK chunk between "WAVE" and
// "fmt ", which becomes the "ds64" chunk should the file pass 4 GiB.
constexpr std::int64_t kReservedWaveDataStart = 80;
// The largest file a plain RIFF header can describe.
constexpr std::int64_t kLargestPlainWave = 0xFFFFFFFFll + 8;

// The 44 header bytes for a target of the given total length; the sizes
// are clamped to 32 bits for targets of 4 GiB and more.
std::array<std::uint8_t, 44> WaveHeader(const std::uint8_t format16[16], std::int64_t targetLength);

// At position 0 of a still empty target: the header with zero sizes, 44
// bytes, or 80 with the room for RF64 sizes reserved. The data follows.
void WriteProvisionalHeader(TByteFile& target, const std::uint8_t format16[16], bool reserve64 = false);
// Again at position 0, now with the sizes of the target's length. Where
// other chunks follow the data, dataEnd is where the data ends; the RIFF
// size still counts the whole file. A target with the reserved room
// becomes an RF64 file where its sizes do not fit 32 bits, and stays a
// RIFF file with a JUNK chunk where they do.
void WriteFinalHeader(TByteFile& target, const std::uint8_t format16[16], std::int64_t dataEnd = -1,
                      std::int64_t dataStart = kWaveDataStart);

struct TWaveChunks {
    bool Found = false;
    // The "fmt " body: its first 18 bytes are the WAVEFORMATEX record, what
    // follows (up to the format area's size) are the codec's extra bytes.
    alignas(8) std::array<std::uint8_t, acm::kFormatAreaSize> Format{};
    std::uint32_t FormatBytes = 0;
    std::int64_t DataOffset = 0;
    std::int64_t DataSize = 0;
    // The sample frames a "fact" chunk gives for compressed data; -1 for
    // none.
    std::int64_t FactSamples = -1;
    // A big-endian file (RIFX): its format record is given here in the
    // usual order, and its samples are this many bytes each, to be turned
    // round as they are read; 0 where they are as they should be.
    int SwapBytes = 0;

    const WAVEFORMATEX& Wfx() const { return *reinterpret_cast<const WAVEFORMATEX*>(Format.data()); }
};

// Walks the chunks from position 0 and goes back to 0. Raises EInOutError
// on a cut-off chunk header or "fmt " body; what was found before stays in
// result. A zero pad byte after an odd-sized chunk is skipped, so files
// written with and without the pad both read. RF64 and BW64 files give
// their data's 64-bit size; a data size of 0xFFFFFFFF (a writer that could
// not say more) runs to the end of the file, as does the data of a RIFF
// file whose own size was clamped at 0xFFFFFFFF past 4 GiB.
bool WalkChunks(TByteFile& source, TWaveChunks& result);

// Turns each sample of bytes (bytesPerSample each) round, from big- to
// little-endian; n is a whole number of samples.
void SwapSamples(std::uint8_t* bytes, std::size_t n, int bytesPerSample);

// What the start of a 64-bit WAVE file (RF64, BW64) says in its "ds64"
// chunk: the sizes its 32-bit fields of 0xFFFFFFFF stand for.
struct TWaveChunkSizes {
    bool Rf64 = false;
    bool BigEndian = false;  // RIFX: every number big-endian, samples too
    std::int64_t Riff = -1, Data = -1;  // from ds64; -1 where not given
};
// "RIFF", "RIFX", "RF64" or "BW64" and "WAVE" at position 0, with the
// ds64 sizes of the 64-bit forms; false for anything else.
bool ReadWaveStart(TByteFile& source, TWaveChunkSizes& sizes);

}  // namespace sondrel
