#include "jobs/WaveSources.h"

#include <algorithm>
#include <cmath>

namespace sondrel {
namespace {

// Chunks never grow past this, whatever block alignment a damaged header
// claims; real formats stay far below it.
constexpr std::uint64_t kLargestChunk = 1 << 20;

}  // namespace

DWORD WavChunk(const WAVEFORMATEX& f, std::uint64_t blocks) {
    std::uint64_t align = f.nBlockAlign;
    if (align == 0) align = std::max<std::uint64_t>(1, std::uint64_t{f.nChannels} * f.wBitsPerSample / 8);
    std::uint64_t chunk = align * blocks;
    if (chunk > kLargestChunk) chunk = std::max(align, kLargestChunk / align * align);
    return static_cast<DWORD>(chunk);
}

std::int64_t SourceBytesPerSecond(const WAVEFORMATEX& f) {
    if (f.nAvgBytesPerSec > 0) return f.nAvgBytesPerSec;
    return std::max<std::int64_t>(1, std::int64_t{f.nSamplesPerSec} * std::max<WORD>(1, f.nBlockAlign));
}

std::int64_t AudioBytes(const TWaveChunks& wave, const WAVEFORMATEX& out) {
    const WAVEFORMATEX& in = wave.Wfx();
    if (wave.FactSamples <= 0 || in.wFormatTag == WAVE_FORMAT_PCM || in.wFormatTag == 3 /* float */ ||
        in.wFormatTag == 0xFFFE /* extensible */ || in.nSamplesPerSec == 0 || out.nSamplesPerSec == 0)
        return -1;
    const double perSecond = static_cast<double>(SourceBytesPerSecond(in));
    const double held = static_cast<double>(wave.DataSize) * in.nSamplesPerSec / perSecond;
    const double block = std::max(1.0, static_cast<double>(std::max<WORD>(1, in.nBlockAlign)) * in.nSamplesPerSec / perSecond);
    const double fact = static_cast<double>(wave.FactSamples);
    if (fact > held + block || fact < held - 2 * block) return -1;
    const auto frames = static_cast<std::int64_t>(std::llround(fact * out.nSamplesPerSec / in.nSamplesPerSec));
    return frames * std::max<WORD>(1, out.nBlockAlign);
}

}  // namespace sondrel
