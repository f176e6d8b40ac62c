// MP3 decoding on damaged streams. Two choice bytes pick the stream's
// channels and rate (as the frame analysis would have derived them), the
// PCM the decoder is asked for and the chunk size; the rest is the stream.
#include "fuzz/FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const DWORD rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    FuzzBytes in(data, size);
    const std::uint8_t a = in.Byte(), b = in.Byte();
    sondrel::TACMConvertor c;
    WAVEFORMATEX& mp3 = c.FormatIn.Wfx();
    mp3 = WAVEFORMATEX{WAVE_FORMAT_MPEGLAYER3, static_cast<WORD>(1 + a % 2), rates[(a >> 1) % 9], 16000, 1, 0, 0};
    // Mostly the stream's own PCM; sometimes another rate or channel count,
    // which puts the PCM converter behind the decoder.
    const bool own = (b & 3) != 0;
    const WORD channels = own ? mp3.nChannels : static_cast<WORD>(1 + (b >> 2) % 2);
    const DWORD rate = own ? mp3.nSamplesPerSec : rates[(b >> 3) % 9];
    c.FormatOut.Wfx() = WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * channels * 2,
                                     static_cast<WORD>(channels * 2), 16, 0};
    const DWORD chunks[] = {1, 417, 1024, 4096, 33};
    StreamThrough(c, in.Rest(), in.RestSize(), chunks[a >> 5 & 3 ? (a >> 5) % 5 : 2]);
    return 0;
}
