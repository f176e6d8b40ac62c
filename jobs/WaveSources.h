// What a conversion reads of a WAV source's format: how it is cut into
// chunks, what it gives a second, and how much of a compressed format's
// decoded output is its audio.
#pragma once

#include <cstdint>

#include "codec/WaveFile.h"
#include "platform/acm/msacm.h"

namespace sondrel {

// Chunk size for a WAV source: blocks times the block alignment (taken
// from the sample format where the header gives none), never zero and
// never huge.
DWORD WavChunk(const WAVEFORMATEX& f, std::uint64_t blocks);

// What the source gives per second (its own figure, or its PCM's).
std::int64_t SourceBytesPerSecond(const WAVEFORMATEX& f);

// For compressed data with a sound "fact" count, the bytes of out (the
// PCM it decodes to) that are its audio: the last block's padding is not.
// -1 where the whole output counts. Sound: at most what the blocks hold,
// and less by no more than a block and a bit.
std::int64_t AudioBytes(const TWaveChunks& wave, const WAVEFORMATEX& out);

}  // namespace sondrel
