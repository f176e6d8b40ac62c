// The PCM converter with any pair of PCM formats it offers or refuses:
// eight choice bytes give the source's and the target's rate, channels and
// sample width; the rest is the samples.
#include "fuzz/FuzzStream.h"

namespace {

WAVEFORMATEX Pcm(std::uint8_t kind, std::uint8_t rateChoice) {
    static const DWORD rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000, 1, 7};
    static const WORD bits[] = {8, 16, 24, 32, 12, 0};
    const WORD channels = static_cast<WORD>(1 + kind % 8);
    const WORD width = bits[(kind >> 3) % 6];
    const DWORD rate = rates[rateChoice % 10];
    const WORD align = static_cast<WORD>(channels * ((width + 7) / 8));
    return WAVEFORMATEX{static_cast<WORD>(kind & 0x80 ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM), channels, rate,
                        rate * align, align, width, 0};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBytes in(data, size);
    const std::uint8_t inKind = in.Byte(), inRate = in.Byte(), outKind = in.Byte(), outRate = in.Byte();
    const std::uint16_t chunk = in.Word();
    sondrel::TACMConvertor c;
    c.FormatIn.Wfx() = Pcm(inKind, inRate);
    // Mostly one of the formats the list offers (mono or stereo, 8 or 16
    // bits), now and then anything.
    const std::uint8_t listed = static_cast<std::uint8_t>(outKind % 2 + (outKind >> 1) % 2 * 8);
    c.FormatOut.Wfx() = Pcm(outKind & 0x40 ? outKind : listed, outRate);
    StreamThrough(c, in.Rest(), in.RestSize(), 1 + chunk % 8192);
    return 0;
}
