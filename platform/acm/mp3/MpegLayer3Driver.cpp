// The MPEG Layer-3 codec driver: decodes MP3 to 16-bit PCM at the stream's
// own rate and channel count, and encodes 16-bit PCM into constant-bitrate
// MP3 at the rates of MPEG-1 and MPEG-2, and into the encoder library's VBR
// at its qualities 0 (best) to 9 at the rates of MPEG-1.
//
// The formats, in this order (which never changes: remembered choices are
// list positions): 128 kBit/s, 44.100 Hz, Stereo; then every constant
// bitrate by rate, mono before stereo, low to high; then the VBR entries,
// quality 0 to 9, each at 32.000, 44.100 and 48.000 Hz, Stereo then Mono.
//
// A VBR entry's record: nAvgBytesPerSec is the quality's typical average
// (for stereo the library's own figures, for mono three fifths of them),
// none of which is a constant bitrate, so that MP3 -> WAV, which finds a
// source's slot by its rate, channels and bitrate, never takes a VBR slot
// for a constant-bitrate source; nBlockSize 0 (frames of every size); and
// fdwFlags holds MPEGLAYER3_FLAG_VBR with the quality in bits 20 to 23.
#include <array>

#include "platform/acm/Driver.h"
#include "platform/acm/mp3/Mp3Streams.h"
#include "platform/acm/mp3/MpegTables.h"

namespace acm {
namespace {

constexpr std::array<DWORD, 6> kOfferedRates = {16000, 22050, 24000, 32000, 44100, 48000};

// The library's typical average bitrates of its VBR qualities 0 to 9, for
// stereo at 44.1 kHz.
constexpr std::array<int, 10> kVbrStereoKbps = {245, 225, 190, 175, 165, 130, 115, 100, 85, 65};
constexpr DWORD kVbrFlag = 0x00010000;

int VbrAverageKbps(int quality, WORD channels) {
    const int stereo = kVbrStereoKbps[static_cast<std::size_t>(quality)];
    return channels == 2 ? stereo : (stereo * 3 + 2) / 5;
}

FormatEntry MakeVbrEntry(int quality, DWORD rate, WORD channels) {
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    f.wfx.nChannels = channels;
    f.wfx.nSamplesPerSec = rate;
    f.wfx.nAvgBytesPerSec = static_cast<DWORD>(VbrAverageKbps(quality, channels)) * 1000 / 8;
    f.wfx.nBlockAlign = 1;
    f.wfx.wBitsPerSample = 0;
    f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    f.wID = MPEGLAYER3_ID_MPEG;
    f.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO | kVbrFlag | (static_cast<DWORD>(quality) << 20);
    f.nBlockSize = 0;
    f.nFramesPerBlock = 1;
    f.nCodecDelay = 1105;
    FormatEntry e;
    const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
    e.record.assign(p, p + sizeof f);
    e.description = "VBR " + std::to_string(quality) + " (ca. " + std::to_string(VbrAverageKbps(quality, channels)) +
                    " kBit/s), " + GroupThousands(rate) + " Hz, " + (channels == 1 ? "Mono" : "Stereo");
    return e;
}

FormatEntry MakeEntry(int kbps, DWORD rate, WORD channels) {
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    f.wfx.nChannels = channels;
    f.wfx.nSamplesPerSec = rate;
    f.wfx.nAvgBytesPerSec = static_cast<DWORD>(kbps) * 1000 / 8;
    f.wfx.nBlockAlign = 1;
    f.wfx.wBitsPerSample = 0;
    f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    f.wID = MPEGLAYER3_ID_MPEG;
    f.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    f.nBlockSize = static_cast<WORD>(FrameBytes(kbps, rate));
    f.nFramesPerBlock = 1;
    f.nCodecDelay = 1105;  // encoder delay plus the decoder's 529 samples
    FormatEntry e;
    const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
    e.record.assign(p, p + sizeof f);
    e.description = std::to_string(kbps) + " kBit/s, " + GroupThousands(rate) + " Hz, " +
                    (channels == 1 ? "Mono" : "Stereo");
    return e;
}

bool DecodableRate(DWORD rate) { return IsMpeg1Rate(rate) || IsMpeg2Rate(rate) || IsMpeg25Rate(rate); }

bool IsMp3(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_MPEGLAYER3 && (f.nChannels == 1 || f.nChannels == 2) &&
           DecodableRate(f.nSamplesPerSec);
}

bool IsPcm16Like(const WAVEFORMATEX& pcm, const WAVEFORMATEX& mp3) {
    return pcm.wFormatTag == WAVE_FORMAT_PCM && pcm.wBitsPerSample == 16 &&
           pcm.nChannels == mp3.nChannels && pcm.nSamplesPerSec == mp3.nSamplesPerSec;
}

// The VBR quality an encoding target asks for, or -1 for none.
int TargetVbrQuality(const WAVEFORMATEX& out) {
    if (out.cbSize < MPEGLAYER3_WFX_EXTRA_BYTES || !IsMpeg1Rate(out.nSamplesPerSec)) return -1;
    const auto& m = reinterpret_cast<const MPEGLAYER3WAVEFORMAT&>(out);
    if (!(m.fdwFlags & kVbrFlag)) return -1;
    const int quality = static_cast<int>((m.fdwFlags >> 20) & 0xF);
    return quality <= 9 ? quality : -1;
}

// The bitrate an encoding target asks for, or 0 when it names none.
int TargetKbps(const WAVEFORMATEX& out) {
    if (TargetVbrQuality(out) >= 0) return static_cast<int>(out.nAvgBytesPerSec * 8 / 1000);
    if (out.nAvgBytesPerSec * 8 % 1000 != 0) return 0;
    const int kbps = static_cast<int>(out.nAvgBytesPerSec * 8 / 1000);
    return IsLayer3Bitrate(kbps, out.nSamplesPerSec) ? kbps : 0;
}

class MpegLayer3Driver final : public Driver {
public:
    MpegLayer3Driver() {
        // Entry 0 is the everyday choice; then by rate, mono before stereo,
        // and by bitrate, from low to high.
        formats_.push_back(MakeEntry(128, 44100, 2));
        for (DWORD rate : kOfferedRates)
            for (WORD channels : {WORD{1}, WORD{2}})
                for (int kbps : IsMpeg1Rate(rate) ? kMpeg1Layer3Kbps : kMpeg2Layer3Kbps)
                    if (!(kbps == 128 && rate == 44100 && channels == 2))
                        formats_.push_back(MakeEntry(kbps, rate, channels));
        for (int quality = 0; quality <= 9; ++quality)
            for (DWORD rate : {DWORD{32000}, DWORD{44100}, DWORD{48000}})
                for (WORD channels : {WORD{2}, WORD{1}}) formats_.push_back(MakeVbrEntry(quality, rate, channels));
    }
    const char* ShortName() const override { return "MPEG Layer-3"; }
    DWORD Support() const override { return ACMDRIVERDETAILS_SUPPORTF_CODEC; }
    const std::vector<FormatEntry>& Formats() const override { return formats_; }

    bool Converts(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const override {
        if (IsMp3(in)) return IsPcm16Like(out, in);
        if (IsMp3(out) && out.nSamplesPerSec != 0) return IsPcm16Like(in, out) && TargetKbps(out) != 0;
        return false;
    }

    std::unique_ptr<CodecStream> Open(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const override {
        if (!Converts(in, out)) return nullptr;
        if (in.wFormatTag == WAVE_FORMAT_MPEGLAYER3) {
            auto s = std::make_unique<Mp3DecodeStream>(in.nSamplesPerSec, in.nChannels);
            if (!s->Ok()) return nullptr;
            return s;
        }
        auto s = std::make_unique<Mp3EncodeStream>(out.nSamplesPerSec, out.nChannels, TargetKbps(out), TargetVbrQuality(out));
        if (!s->Ok()) return nullptr;
        return s;
    }

    bool DecodesTo(const WAVEFORMATEX& in, WAVEFORMATEX& pcm) const override {
        if (!IsMp3(in)) return false;
        pcm = PcmFormat(in.nSamplesPerSec, in.nChannels, 16);
        return true;
    }
    bool EncodesFrom(const WAVEFORMATEX& out, WAVEFORMATEX& pcm) const override {
        if (!IsMp3(out) || TargetKbps(out) == 0) return false;
        pcm = PcmFormat(out.nSamplesPerSec, out.nChannels, 16);
        return true;
    }

private:
    std::vector<FormatEntry> formats_;
};

}  // namespace

std::unique_ptr<Driver> MakeMpegLayer3Driver() { return std::make_unique<MpegLayer3Driver>(); }

}  // namespace acm
