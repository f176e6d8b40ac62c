// The codec streams fed garbage: the first bytes choose a source format,
// the rest goes through a stream to 16-bit PCM in odd-sized chunks, as a
// damaged file would.
#include <cstring>
#include <vector>

#include "codec/ACMConvertor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    static const WORD tags[] = {WAVE_FORMAT_MPEGLAYER3, WAVE_FORMAT_ADPCM, WAVE_FORMAT_IMA_ADPCM, WAVE_FORMAT_ALAW,
                                WAVE_FORMAT_MULAW,      WAVE_FORMAT_GSM610, WAVE_FORMAT_IEEE_FLOAT, WAVE_FORMAT_PCM};
    static const DWORD rates[] = {8000, 11025, 22050, 24000, 44100, 48000};
    sondrel::TACMConvertor c;
    WAVEFORMATEX& in = c.FormatIn.Wfx();
    in.wFormatTag = tags[data[0] % 8];
    in.nChannels = static_cast<WORD>(1 + data[1] % 2);
    in.nSamplesPerSec = rates[data[2] % 6];
    in.nBlockAlign = static_cast<WORD>(data[3] % 3 == 0 ? 1 : (data[3] | (data[4] << 8)) % 2048 + 1);
    in.wBitsPerSample = static_cast<WORD>(data[5] % 4 * 8);
    in.nAvgBytesPerSec = 16000;
    in.cbSize = static_cast<WORD>(data[6] % 40);
    std::memcpy(c.FormatIn.Bytes.data() + 18, data + 8, std::min<std::size_t>(size - 8, 40));
    WAVEFORMATEX& out = c.FormatOut.Wfx();
    out = WAVEFORMATEX{WAVE_FORMAT_PCM, in.nChannels, data[7] % 2 ? in.nSamplesPerSec : 44100, 0,
                       static_cast<WORD>(2 * in.nChannels), 16, 0};
    const DWORD chunk = 1 + data[7] % 700;
    c.SetInputBufferSize(chunk);
    try {
        c.SetActive(true);
    } catch (const sondrel::EACMConvertor&) {
        return 0;
    }
    std::size_t pos = 8;
    bool first = true;
    while (pos < size) {
        const DWORD n = static_cast<DWORD>(std::min<std::size_t>(chunk, size - pos));
        std::memcpy(c.InputBuffer(), data + pos, n);
        c.StreamHeader.cbSrcLength = n;
        c.StreamHeader.cbSrcLengthUsed = n;
        const bool last = pos + n >= size;
        acmStreamConvert(c.StreamHandle(), &c.StreamHeader,
                         (first ? ACM_STREAMCONVERTF_START : 0) | (last ? ACM_STREAMCONVERTF_END : 0));
        if (c.StreamHeader.cbDstLengthUsed > c.OutputBufferSize()) __builtin_trap();
        pos += n;
        first = false;
    }
    acmStreamReset(c.StreamHandle(), 0);
    c.SetActive(false);
    return 0;
}
