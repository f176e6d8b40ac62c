// The PCM converter driver. It offers the everyday PCM formats, entry 0
// being CD quality, and converts any PCM of 8, 16 or 24 bits into any other,
// mixing down up to eight channels whose places it knows.
#include <array>

#include "platform/acm/Driver.h"
#include "platform/acm/pcm/PcmConvertStream.h"
#include "platform/acm/pcm/PcmSamples.h"

namespace acm {
namespace {

constexpr std::array<DWORD, 7> kRates = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr std::array<WORD, 2> kBits = {8, 16};
constexpr std::array<WORD, 2> kChannels = {1, 2};

FormatEntry MakeEntry(DWORD rate, WORD bits, WORD channels) {
    FormatEntry e;
    const WAVEFORMATEX f = PcmFormat(rate, channels, bits);
    const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
    e.record.assign(p, p + sizeof f);
    e.description = GroupThousands(rate) + " Hz, " + std::to_string(bits) + " Bit, " +
                    (channels == 1 ? "Mono" : "Stereo");
    return e;
}

class PcmConverterDriver final : public Driver {
public:
    PcmConverterDriver() {
        // Entry 0 is what most people want; then every rate from low to
        // high, 8 before 16 bits, mono before stereo.
        formats_.push_back(MakeEntry(44100, 16, 2));
        for (DWORD rate : kRates)
            for (WORD bits : kBits)
                for (WORD channels : kChannels)
                    if (!(rate == 44100 && bits == 16 && channels == 2))
                        formats_.push_back(MakeEntry(rate, bits, channels));
    }
    const char* ShortName() const override { return "PCM-Konverter"; }
    DWORD Support() const override { return ACMDRIVERDETAILS_SUPPORTF_CONVERTER; }
    const std::vector<FormatEntry>& Formats() const override { return formats_; }

    bool Converts(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const override {
        std::vector<float> mix;
        return IsPlainPcm(in) && IsPlainPcm(out) && (out.nChannels <= 2 || out.nChannels == in.nChannels) &&
               (in.nChannels <= 2 || out.nChannels >= in.nChannels ||
                DownmixMatrix(in.nChannels, ChannelMask(in), out.nChannels, mix));
    }
    std::unique_ptr<CodecStream> Open(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const override {
        auto s = std::make_unique<PcmConvertStream>(in, out);
        if (!s->Ok()) return nullptr;
        return s;
    }

private:
    std::vector<FormatEntry> formats_;
};

}  // namespace

std::unique_ptr<Driver> MakePcmConverterDriver() { return std::make_unique<PcmConverterDriver>(); }

}  // namespace acm
