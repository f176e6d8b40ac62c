// WAV files of one to eight channels, as recorders, sox and film tools
// write them: every channel is heard in a stereo or mono target, where
// ffmpeg's downmix puts it; a layout whose places are unknown is refused,
// never turned into silence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "jobs/ConverterCore.h"
#include "jobs/Messages.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;

namespace {

enum class Layout { Plain, Extensible, Float };

void Put16(std::vector<std::uint8_t>& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// 0.2 s at 44.1 kHz: a tone in channel k of n, the others silent. Plain PCM
// has no mask (the standard layout for its count); the extensible records
// carry mask.
std::vector<std::uint8_t> ToneWav(int n, int k, Layout layout, std::uint32_t mask) {
    constexpr unsigned kRate = 44100;
    constexpr int kFrames = kRate / 5;
    const int bits = layout == Layout::Float ? 32 : 16;
    std::vector<std::uint8_t> data;
    for (int f = 0; f < kFrames; ++f)
        for (int c = 0; c < n; ++c) {
            const double v = c == k ? 0.5 * std::sin(2 * M_PI * 440.0 * f / kRate) : 0.0;
            if (layout == Layout::Float) {
                const float x = static_cast<float>(v);
                std::uint32_t u;
                std::memcpy(&u, &x, 4);
                Put32(data, u);
            } else {
                Put16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767))));
            }
        }
    std::vector<std::uint8_t> fmt;
    Put16(fmt, layout == Layout::Plain ? 1 : 0xFFFE);
    Put16(fmt, static_cast<unsigned>(n));
    Put32(fmt, kRate);
    Put32(fmt, kRate * static_cast<unsigned>(n * bits / 8));
    Put16(fmt, static_cast<unsigned>(n * bits / 8));
    Put16(fmt, static_cast<unsigned>(bits));
    if (layout != Layout::Plain) {
        Put16(fmt, 22);
        Put16(fmt, static_cast<unsigned>(bits));
        Put32(fmt, mask);
        Put16(fmt, layout == Layout::Float ? 3 : 1);
        fmt.insert(fmt.end(), {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    }
    std::vector<std::uint8_t> wav = {'R', 'I', 'F', 'F'};
    Put32(wav, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(wav, static_cast<std::uint32_t>(fmt.size()));
    wav.insert(wav.end(), fmt.begin(), fmt.end());
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    Put32(wav, static_cast<std::uint32_t>(data.size()));
    wav.insert(wav.end(), data.begin(), data.end());
    return wav;
}

// The standard layouts by count (ffmpeg's defaults), as sox and ffmpeg
// write their masks.
constexpr std::uint32_t kStandard[9] = {0, 0x4, 0x3, 0x7, 0x107, 0x37, 0x3F, 0x70F, 0x63F};

// One channel of a 16-bit WAV's data.
std::vector<std::int16_t> Channel(const std::vector<std::uint8_t>& wav, int channel, int channels) {
    const auto all = AsSamples(SplitWave(wav).data);
    std::vector<std::int16_t> one;
    for (std::size_t i = static_cast<std::size_t>(channel); i < all.size(); i += static_cast<std::size_t>(channels))
        one.push_back(all[i]);
    return one;
}

class Channels : public ::testing::Test {
protected:
    void SetUp() override { core.Catalogue.Build(); }
    int WavIndex(const std::string& text) const {
        const auto& list = core.Catalogue.WAVDescriptions;
        return static_cast<int>(std::find(list.begin(), list.end(), text) - list.begin());
    }
    std::string P(const std::string& name) const { return (dir / name).string(); }

    TempDir dir;
    RecordingHost host;
    TConverterCore core{host};
};

// Every channel of every count, in every layout, into stereo and mono WAV:
// from three channels on the same mix as ffmpeg's (-ac 2, -ac 1), channel
// for channel; and into MP3, heard wherever ffmpeg hears it.
TEST_F(Channels, EveryChannelIsHeardWhereFfmpegPutsIt) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
    struct Case {
        std::string name;
        int n, k, out;
    };
    std::vector<Case> cases;
    for (int n = 1; n <= 8; ++n)
        for (const Layout layout : {Layout::Plain, Layout::Extensible, Layout::Float})
            for (int k = 0; k < n; ++k) {
                const std::string name = "c" + std::to_string(n) + "_" + std::to_string(static_cast<int>(layout)) + "_" +
                                         std::to_string(k);
                WriteFile(dir / (name + ".wav"), ToneWav(n, k, layout, kStandard[n]));
                for (const int out : {2, 1}) cases.push_back({name, n, k, out});
            }
    // Layouts beside the standard ones: quad, 5.1 with side speakers.
    for (const auto& [n, mask] : {std::pair{4, 0x33u}, std::pair{6, 0x60Fu}})
        for (int k = 0; k < n; ++k) {
            const std::string name = "m" + std::to_string(mask) + "_" + std::to_string(k);
            WriteFile(dir / (name + ".wav"), ToneWav(n, k, Layout::Extensible, mask));
            for (const int out : {2, 1}) cases.push_back({name, n, k, out});
        }
    // ffmpeg once a mask: the plain and float files of a count are laid
    // out as the extensible one is.
    ASSERT_TRUE(Shell("cd " + dir.Path().string() +
                      " && for f in c?_1_*.wav m*.wav; do ffmpeg -v error -y -i $f -ac 2 -f wav ${f%.wav}.ff2 -ac 1 "
                      "-f wav ${f%.wav}.ff1 || exit 1; done"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " into " + std::to_string(c.out));
        core.WavFormatIndex = WavIndex(c.out == 2 ? "44.100 Hz, 16 Bit, Stereo" : "44.100 Hz, 16 Bit, Mono");
        host.errors.clear();
        core.ConvertWAV2WAV(P(c.name + ".wav"), P("out.wav"));
        ASSERT_TRUE(host.errors.empty()) << host.errors.front();
        const auto ours = ReadFile(dir / "out.wav");
        std::string reference = c.name;
        if (reference[0] == 'c') reference[3] = '1';
        const auto theirs = ReadFile(dir / (reference + ".ff" + std::to_string(c.out)));
        for (int side = 0; side < c.out; ++side) {
            const auto a = Channel(ours, side, c.out), b = Channel(theirs, side, c.out);
            ASSERT_EQ(a.size(), b.size());
            if (Rms(b) < 1) {
                EXPECT_LT(Rms(a), 1) << "side " << side;
            } else if (c.n <= 2) {
                // Mono doubled, stereo averaged, as they always were.
                EXPECT_GT(Rms(a), 1000) << "side " << side;
            } else {
                EXPECT_GT(SnrDb(b, a, 1, 0), 50) << "side " << side << ": " << Rms(a) << " against " << Rms(b);
            }
        }
        // Into MP3: heard where the mix holds it.
        if (c.out != 2 || c.name[0] != 'c' || c.name[3] != '1') continue;
        core.Mp3FormatIndex = 0;
        core.ConvertWAVMP3(P(c.name + ".wav"), P("out.mp3"));
        core.ConvertMP3WAV(P("out.mp3"), P("back.wav"));
        ASSERT_TRUE(host.errors.empty()) << host.errors.front();
        const double heard = Rms(AsSamples(SplitWave(ReadFile(dir / "back.wav")).data));
        if (Rms(AsSamples(SplitWave(theirs).data)) < 1) {
            EXPECT_LT(heard, 30);
        } else {
            EXPECT_GT(heard, 1000);
        }
    }
}

// Channels the mask places nowhere (a mask naming fewer speakers than
// there are channels, or speakers nobody knows) are refused with a
// message, into WAV and MP3, and leave no target.
TEST_F(Channels, AnUnknownLayoutIsRefusedNeverSilence) {
    core.Mp3FormatIndex = 0;
    core.WavFormatIndex = 0;
    for (const auto& [n, mask] : {std::pair{4, 0x3u}, std::pair{3, 0x100003u}, std::pair{6, 0x7u}}) {
        SCOPED_TRACE(std::to_string(n) + " channels, mask " + std::to_string(mask));
        WriteFile(dir / "odd.wav", ToneWav(n, n - 1, Layout::Extensible, mask));
        for (const bool toMp3 : {false, true}) {
            host.errors.clear();
            if (toMp3)
                core.ConvertWAVMP3(P("odd.wav"), P("out.mp3"));
            else
                core.ConvertWAV2WAV(P("odd.wav"), P("out.wav"));
            EXPECT_EQ(host.errors, std::vector<std::string>{msg::UnknownChannelLayout});
            EXPECT_FALSE(std::filesystem::exists(dir / (toMp3 ? "out.mp3" : "out.wav")));
        }
    }
}

}  // namespace
