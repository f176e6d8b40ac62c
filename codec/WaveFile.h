// RIFF WAVE files: the fixed 44-byte header in front of every WAV target,
// and the chunk walk that finds a source's format and data.
#pragma once

#include <array>
#include <cstdint>

#include "codec/ByteFile.h"
#include "platform/acm/FormatArea.h"
#include "platform/acm/msacm.h"

namespace sondrel {

constexpr std::int64_t kWaveDataStart = 44;

// The 44 header bytes for a target of the given total length; the sizes
// are clamped to 32 bits for targets of 4 GiB and more.
std::array<std::uint8_t, 44> WaveHeader(const std::uint8_t format16[16], std::int64_t targetLength);

// At position 0 of a still empty target: the header with zero sizes.
void WriteProvisionalHeader(TByteFile& target, const std::uint8_t format16[16]);
// Again at position 0, now with the sizes of the target's length. Where
// other chunks follow the data, dataEnd is where the data ends; the RIFF
// size still counts the whole file.
void WriteFinalHeader(TByteFile& target, const std::uint8_t format16[16], std::int64_t dataEnd = -1);

struct TWaveChunks {
    bool Found = false;
    // The "fmt " body: its first 18 bytes are the WAVEFORMATEX record, what
    // follows (up to the format area's size) are the codec's extra bytes.
    alignas(8) std::array<std::uint8_t, acm::kFormatAreaSize> Format{};
    std::uint32_t FormatBytes = 0;
    std::int64_t DataOffset = 0;
    std::uint32_t DataSize = 0;

    const WAVEFORMATEX& Wfx() const { return *reinterpret_cast<const WAVEFORMATEX*>(Format.data()); }
};

// Walks the chunks from position 0 and goes back to 0. Raises EInOutError
// on a cut-off chunk header or "fmt " body; what was found before stays in
// result. A zero pad byte after an odd-sized chunk is skipped, so files
// written with and without the pad both read.
bool WalkChunks(TByteFile& source, TWaveChunks& result);

}  // namespace sondrel
