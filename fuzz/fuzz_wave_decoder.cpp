// The wave decoder on damaged compressed WAVE data: a choice byte, the
// length and bytes of a "fmt " body (block alignment, sizes and extra bytes
// as a damaged header may have them), then the data chunk's bytes. The
// body is decoded to the PCM the conversions ask for.
#include "fuzz/FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBytes in(data, size);
    const std::uint8_t choice = in.Byte();
    std::size_t formatBytes = 0;
    const std::uint8_t* format = in.Take(std::min<std::size_t>(in.Byte(), sondrel::kFormatAreaSize), formatBytes);
    sondrel::TACMConvertor c;
    std::memcpy(c.FormatIn.Bytes.data(), format, formatBytes);
    const WAVEFORMATEX& src = c.FormatIn.Wfx();
    // The decoder's PCM at the source's rate and channels, or the 16-bit
    // stereo 44.1 kHz the encoder takes (a chain through the converter).
    const WORD channels = choice & 1 ? 2 : src.nChannels;
    const DWORD rate = choice & 1 ? 44100 : src.nSamplesPerSec;
    const WORD bits = choice & 2 ? 8 : 16;
    c.FormatOut.Wfx() = WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * channels * bits / 8,
                                     static_cast<WORD>(channels * bits / 8), bits, 0};
    // Whole blocks per chunk, as the conversions size them; a block
    // alignment of 0 stands for one byte here.
    const DWORD align = std::max<DWORD>(1, src.nBlockAlign);
    const DWORD blocks = 1 + (choice >> 2) % 16;
    StreamThrough(c, in.Rest(), in.RestSize(), std::min<DWORD>(align * blocks, 1 << 20));
    return 0;
}
