// One long WAV file into MP3 on several cores: blocks encoded side by side
// and joined into one stream, the same bytes whatever the number of
// workers, a clean stream of exactly the source's length, no worse than
// one encoder, and nothing to hear at the seams.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "jobs/ConverterCore.h"
#include "platform/acm/Mp3BlockEncoder.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;

namespace {

class LongFile : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"lame", "mpg123", "ffmpeg"})
            if (!HaveTool(tool)) GTEST_SKIP() << tool << " not installed";
        core.Catalogue.Build();
    }
    void TearDown() override { acm::SetMp3EncoderWorkers(0); }
    std::string P(const std::string& name) const { return (dir / name).string(); }
    // Encodes source into target in the format, on so many workers.
    std::vector<std::uint8_t> Encode(const std::string& source, const std::string& target, const char* format, int workers) {
        acm::SetMp3EncoderWorkers(workers);
        const auto& list = core.Catalogue.MP3Descriptions;
        core.Mp3FormatIndex = static_cast<int>(std::find(list.begin(), list.end(), format) - list.begin());
        core.ConvertWAVMP3(P(source), P(target));
        EXPECT_TRUE(host.errors.empty());
        return ReadFile(dir / target);
    }
    std::vector<std::int16_t> Decoded(const std::string& mp3) {
        EXPECT_TRUE(Shell("mpg123 -q -w " + P(mp3 + ".wav") + " " + P(mp3)));
        return AsSamples(SplitWave(ReadFile(dir / (mp3 + ".wav"))).data);
    }
    // Nothing mpg123's test mode or ffmpeg has to say about the stream.
    bool Clean(const std::string& mp3) {
        return Shell("! mpg123 -t " + P(mp3) + " 2>&1 | grep -qi 'error\\|warn'") &&
               Shell("test -z \"$(ffmpeg -v warning -i " + P(mp3) + " -f null - 2>&1)\"");
    }

    TempDir dir;
    RecordingHost host;
    TConverterCore core{host};
};

TEST_F(LongFile, TheSameBytesOnEveryCoreAndExactlyTheSource) {
    struct Case {
        const char* format;
        unsigned rate;
        int channels;
        bool noise;
    } cases[] = {{"128 kBit/s, 44.100 Hz, Stereo", 44100, 2, false},
                 // Swelling noise at a starved bitrate: seams where the next
                 // block's encoder saved more reservoir than the last left.
                 {"32 kBit/s, 44.100 Hz, Stereo", 44100, 2, true},
                 {"32 kBit/s, 22.050 Hz, Mono", 22050, 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const double seconds = 35.3;
        std::vector<std::int16_t> source = MakeMusic(c.rate, c.channels, seconds, 7);
        if (c.noise) {
            std::mt19937 random(5);
            std::uniform_real_distribution<double> white(-1.0, 1.0);
            for (std::size_t i = 0; i < source.size(); ++i) {
                const double t = static_cast<double>(i / 2) / c.rate;
                source[i] = static_cast<std::int16_t>(22000 * white(random) * (0.5 + 0.5 * std::sin(2 * M_PI * 3 * t)));
            }
        }
        WriteFile(dir / "long.wav", MakeWav(source, c.rate, c.channels));
        const auto one = Encode("long.wav", "one.mp3", c.format, 1);
        EXPECT_EQ(Encode("long.wav", "two.mp3", c.format, 2), one);
        EXPECT_EQ(Encode("long.wav", "three.mp3", c.format, 3), one);
        EXPECT_TRUE(Clean("one.mp3"));
        const long frames = static_cast<long>(source.size()) / c.channels;
        EXPECT_EQ(static_cast<long>(Decoded("one.mp3").size()) / c.channels, frames);
        ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + P("one.mp3") + " " + P("ff.wav")));
        EXPECT_EQ(static_cast<long>(SplitWave(ReadFile(dir / "ff.wav")).data.size()) / 2 / c.channels, frames);
        core.ConvertMP3WAV(P("one.mp3"), P("ours.wav"));
        EXPECT_EQ(static_cast<long>(SplitWave(ReadFile(dir / "ours.wav")).data.size()) / 2 / c.channels, frames);

        // No worse than one encoder over the whole file.
        const std::string kbps = std::to_string(std::atoi(c.format));
        ASSERT_TRUE(Shell("lame --quiet -q 3 -b " + kbps + " " + P("long.wav") + " " + P("single.mp3")));
        const double joined = SnrDb(source, Decoded("one.mp3"), c.channels, 0);
        const double single = SnrDb(source, Decoded("single.mp3"), c.channels, 0);
        EXPECT_GE(joined, single - 0.2) << joined << " dB against " << single << " dB";
    }
}

// A sine and a chirp across the seams: the joined stream's decode departs
// from a single encoder's no more at a seam than anywhere else.
TEST_F(LongFile, NothingToHearAtTheSeams) {
    const unsigned rate = 44100;
    const double seconds = 32.0;
    const long spf = 1152, block = acm::Mp3BlockEncoder::kBlockFrames;
    for (const bool chirp : {false, true}) {
        SCOPED_TRACE(chirp ? "chirp" : "sine");
        std::vector<std::int16_t> s;
        for (long i = 0; i < static_cast<long>(seconds * rate); ++i) {
            const double t = static_cast<double>(i) / rate;
            const double phase = chirp ? 2 * M_PI * (200 * t + 100 * t * t) : 2 * M_PI * 440 * t;
            const auto v = static_cast<std::int16_t>(12000 * std::sin(phase));
            s.push_back(v);
            s.push_back(v);
        }
        WriteFile(dir / "tone.wav", MakeWav(s, rate, 2));
        Encode("tone.wav", "tone.mp3", "128 kBit/s, 44.100 Hz, Stereo", 2);
        ASSERT_TRUE(Shell("lame --quiet -q 3 -b 128 " + P("tone.wav") + " " + P("single.mp3")));
        const auto joined = Decoded("tone.mp3"), single = Decoded("single.mp3");
        ASSERT_EQ(joined.size(), single.size());
        // The deviation in each frame-long window, seams apart.
        double atSeams = 0, elsewhere = 0;
        for (long w = 0; (w + 1) * spf * 2 <= static_cast<long>(joined.size()); ++w) {
            double e = 0;
            for (long i = w * spf * 2; i < (w + 1) * spf * 2; ++i) e += std::pow(joined[i] - single[i], 2.0);
            const long fromSeam = w % block;
            const bool seam = w >= block && (fromSeam <= 8 || fromSeam >= block - 1);
            (seam ? atSeams : elsewhere) = std::max(seam ? atSeams : elsewhere, e);
        }
        EXPECT_LE(atSeams, elsewhere);
    }
}

// Cancelled part way through a long file: every worker stops, and the
// target is a clean stream of exactly the samples that went in.
TEST_F(LongFile, ACancelLeavesACleanStreamOfWhatWasDone) {
    WriteFile(dir / "long.wav", MakeWav(MakeMusic(44100, 2, 60.0, 3), 44100, 2));
    host.onPump = [&](int n) {
        if (n == 200) core.State.Cancel = true;
    };
    Encode("long.wav", "part.mp3", "128 kBit/s, 44.100 Hz, Stereo", 2);
    EXPECT_TRUE(Clean("part.mp3"));
    // 200 chunks of 8192 sample frames went in.
    EXPECT_EQ(static_cast<long>(Decoded("part.mp3").size()) / 2, 200L * 8192);
}

}  // namespace
