// One long WAV file into MP3 on several cores: blocks encoded side by side
// and joined into one stream, the same bytes whatever the number of
// workers, a clean stream of exactly the source's length, no worse than
// one encoder, and nothing to hear at the seams.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <random>

#include "codec/FrameAnalysis.h"
#include "hardening/Isolated.h"
#include "jobs/ConverterCore.h"
#include "platform/acm/mp3/Mp3BlockEncoder.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;

namespace {

// What a stream says of itself in its info frame (frame count, bytes)
// and what it holds: its audio frames, each with the bitrate of the first
// or not. The stream starts at 0.
struct StreamFacts {
    std::uint32_t said = 0, saidBytes = 0;
    std::uint32_t frames = 0;
    bool constantBitrate = true;
    std::vector<int> toc;                // the info frame's seek table, where it has one
    std::vector<std::size_t> positions;  // of the audio frames
};
StreamFacts Facts(const std::vector<std::uint8_t>& mp3) {
    StreamFacts f;
    if (mp3.size() < 4 || !IsValidHeader(mp3.data())) return f;
    int firstKbpsIndex = -1;
    const std::string head(reinterpret_cast<const char*>(mp3.data()), std::min<std::size_t>(mp3.size(), 64));
    std::size_t tag = head.find("Info");
    if (tag == std::string::npos) tag = head.find("Xing");
    if (tag != std::string::npos) {
        const auto big = [&](std::size_t at) {
            return std::uint32_t{mp3[at]} << 24 | std::uint32_t{mp3[at + 1]} << 16 | std::uint32_t{mp3[at + 2]} << 8 | mp3[at + 3];
        };
        f.said = big(tag + 8);
        f.saidBytes = big(tag + 12);
        if ((big(tag + 4) & 7) == 7 && tag + 116 <= mp3.size()) f.toc.assign(mp3.begin() + tag + 16, mp3.begin() + tag + 116);
    }
    for (std::size_t at = static_cast<std::size_t>(Layer3FrameBytes(mp3.data())); at + 4 <= mp3.size();) {
        if (firstKbpsIndex < 0) firstKbpsIndex = mp3[at + 2] >> 4;
        if (!IsValidHeader(&mp3[at]) || (mp3[at + 2] >> 4) != firstKbpsIndex) f.constantBitrate = false;
        const int length = Layer3FrameBytes(&mp3[at]);
        if (length <= 0 || at + static_cast<std::size_t>(length) > mp3.size()) break;
        ++f.frames;
        f.positions.push_back(at);
        at += static_cast<std::size_t>(length);
    }
    return f;
}

class LongFile : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"lame", "mpg123", "ffmpeg"})
            if (!HaveTool(tool)) GTEST_SKIP() << tool << " not installed";
        core.Catalogue.Build();
    }
    void TearDown() override {
        acm::SetStreamWorkers(0);
        acm::SetMp3BlockPreroll(0);
    }
    std::string P(const std::string& name) const { return (dir / name).string(); }
    // Encodes source into target in the format, on so many workers.
    std::vector<std::uint8_t> Encode(const std::string& source, const std::string& target, const char* format, int workers) {
        acm::SetStreamWorkers(workers);
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
    // long.wav into full.mp3 on a disk that fills up at limit bytes (a
    // file-size limit stands in for it), in a child process: the target as
    // it is left, and "" where the conversion said so, else what went wrong.
    std::string OntoAFullDisk(rlim_t limit, int workers, const char* format) {
        return Isolated([&]() -> std::string {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit bound{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &bound) != 0) return "no limit";
            acm::SetStreamWorkers(workers);
            const auto& list = core.Catalogue.MP3Descriptions;
            core.Mp3FormatIndex = static_cast<int>(std::find(list.begin(), list.end(), format) - list.begin());
            core.ConvertWAVMP3(P("long.wav"), P("full.mp3"));
            return host.errors == std::vector<std::string>{"Konnte Ausgabedatei nicht schreiben!"} ? "" : "no message";
        });
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
                 {"32 kBit/s, 22.050 Hz, Mono", 22050, 1, false},
                 {"64 kBit/s, 44.100 Hz, Stereo", 44100, 2, true}};
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

        // Every frame at the chosen bitrate, and an info frame that counts
        // them.
        const StreamFacts facts = Facts(one);
        EXPECT_TRUE(facts.constantBitrate);
        EXPECT_EQ(facts.said, facts.frames);
        EXPECT_EQ(facts.saidBytes, one.size());

        // No worse than one encoder over the whole file.
        const std::string kbps = std::to_string(std::atoi(c.format));
        ASSERT_TRUE(Shell("lame --quiet -q 3 -b " + kbps + " " + P("long.wav") + " " + P("single.mp3")));
        const double joined = SnrDb(source, Decoded("one.mp3"), c.channels, 0);
        const double single = SnrDb(source, Decoded("single.mp3"), c.channels, 0);
        EXPECT_GE(joined, single - 0.2) << joined << " dB against " << single << " dB";
    }
}

// Pink noise wants more than 128 kbit/s: the stream runs with an almost
// empty reservoir, where a fresh encoder at a seam has banked one and
// spends it only over the next hundred frames or so. Its seams are found
// by the last block's encoder going on into the next block; with that
// held back and too short a pre-roll, by blocks encoded again. Either
// way every frame at the chosen bitrate, the same bytes on one worker and
// two, no worse than one encoder.
TEST_F(LongFile, AStarvedStreamKeepsItsBitrate) {
    ASSERT_TRUE(Shell("sox -R -n -r 44100 -c 2 -b 16 " + P("pink.wav") + " synth 62 pinknoise vol 0.3"));
    ASSERT_TRUE(Shell("lame --quiet -q 3 -b 128 " + P("pink.wav") + " " + P("single.mp3")));
    const auto source = AsSamples(SplitWave(ReadFile(dir / "pink.wav")).data);
    const double single = SnrDb(source, Decoded("single.mp3"), 2, 0);
    for (const bool reach : {true, false}) {
        SCOPED_TRACE(reach ? "reaching on" : "encoding again");
        acm::SetMp3BlockPreroll(reach ? 0 : 32, reach);
        const acm::Mp3BlockStats before = acm::Mp3BlockStatistics();
        const auto one = Encode("pink.wav", "one.mp3", "128 kBit/s, 44.100 Hz, Stereo", 1);
        const acm::Mp3BlockStats after = acm::Mp3BlockStatistics();
        EXPECT_GT(reach ? after.reached - before.reached : after.again - before.again, 0);
        EXPECT_EQ(Encode("pink.wav", "two.mp3", "128 kBit/s, 44.100 Hz, Stereo", 2), one);
        acm::SetMp3BlockPreroll(0);
        const StreamFacts facts = Facts(one);
        EXPECT_TRUE(facts.constantBitrate);
        EXPECT_EQ(facts.said, facts.frames);
        EXPECT_TRUE(Clean("one.mp3"));
        const double joined = SnrDb(source, Decoded("one.mp3"), 2, 0);
        EXPECT_GE(joined, single - 0.2) << joined << " dB against " << single << " dB";
    }
}

// What other tools read of a long file: its length and a constant
// bitrate, from the info frame (exiftool and mediainfo estimate from it).
// They count the encoder's delay and padding in, as they do for the
// library's own files: within a tenth of a second.
TEST_F(LongFile, OtherToolsReadItsLengthAndBitrate) {
    const double seconds = 47.5;
    WriteFile(dir / "long.wav", MakeWav(MakeMusic(44100, 2, seconds, 9), 44100, 2));
    for (const char* format : {"128 kBit/s, 44.100 Hz, Stereo", "320 kBit/s, 44.100 Hz, Stereo", "64 kBit/s, 22.050 Hz, Mono"}) {
        SCOPED_TRACE(format);
        Encode("long.wav", "long.mp3", format, 2);
        const auto read = [&](const std::string& command) {
            FILE* p = popen((command + " " + P("long.mp3") + " 2>/dev/null").c_str(), "r");
            std::string out(256, '\0');
            out.resize(p ? std::fread(out.data(), 1, out.size(), p) : 0);
            if (p) pclose(p);
            return out;
        };
        EXPECT_NEAR(std::atof(read("ffprobe -v error -show_entries format=duration -of csv=p=0").c_str()), seconds, 0.1);
        if (HaveTool("mediainfo")) {
            const std::string info = read("mediainfo --Inform='Audio;%Duration%|%BitRate_Mode%|%Encoded_Library_Settings%'");
            EXPECT_NEAR(std::atof(info.c_str()) / 1000, seconds, 0.1) << info;
            EXPECT_NE(info.find("|CBR|-m "), std::string::npos) << info;
        }
        if (HaveTool("exiftool")) {
            EXPECT_NEAR(std::atof(read("exiftool -n -s3 -Duration").c_str()), seconds, 0.1);
        }
    }
}

// A sine and a chirp across the seams: the joined stream's decode departs
// from a single encoder's no more at a seam than anywhere else.
TEST_F(LongFile, NothingToHearAtTheSeams) {
    const unsigned rate = 44100;
    const double seconds = 32.0;
    const long spf = 1152, block = acm::Mp3BlockEncoder::BlockFrames(static_cast<std::uint64_t>(seconds * rate / spf), true);
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
    // 200 chunks of 8192 sample frames went in; the block in work came
    // out whole, the signal not in a block yet was dropped, so that a stop
    // is quick.
    const long out = static_cast<long>(Decoded("part.mp3").size()) / 2;
    EXPECT_GT(out, 100L * 8192);
    EXPECT_LE(out, 200L * 8192);
    const StreamFacts facts = Facts(ReadFile(dir / "part.mp3"));
    EXPECT_EQ(facts.said, facts.frames);
    EXPECT_TRUE(facts.constantBitrate);
}

// The disk fills up part way (a file-size limit stands in for it): the
// target ends after its last whole frame, and its info frame counts what
// is there, so that it decodes cleanly and tools read its length.
TEST_F(LongFile, AFullDiskLeavesWholeFramesThatAreCounted) {
    WriteFile(dir / "long.wav", MakeWav(MakeMusic(44100, 2, 45.0, 3), 44100, 2));
    for (const int workers : {1, 2}) {
        SCOPED_TRACE(workers);
        EXPECT_EQ(OntoAFullDisk(300001, workers, "128 kBit/s, 44.100 Hz, Stereo"), "");
        const auto mp3 = ReadFile(dir / "full.mp3");
        const StreamFacts facts = Facts(mp3);
        EXPECT_GT(facts.frames, 600u);
        EXPECT_EQ(facts.said, facts.frames);
        EXPECT_EQ(facts.saidBytes, mp3.size());
        EXPECT_TRUE(Clean("full.mp3"));
        // The frames decode to their samples less the encoder's and the
        // decoder's delay (576 and 529), nothing dropped at the end.
        EXPECT_EQ(static_cast<long>(Decoded("full.mp3").size()) / 2, static_cast<long>(facts.frames) * 1152 - 1105);
        std::filesystem::remove(dir / "full.mp3");
    }
}

// VBR on every core: the same bytes on one, two and three workers; a Xing
// frame that counts the joined stream; exactly the source's length; no
// worse than the library's own encode (size within 3 %, SNR within 0.3
// dB) and read by exiftool and mediainfo as that one is (within 0.05 s,
// VBR); and, cut short by a full disk, a Xing frame counting what is
// there.
TEST_F(LongFile, AVbrStreamOnEveryCore) {
    if (!HaveTool("mediainfo") || !HaveTool("exiftool")) GTEST_SKIP() << "mediainfo and exiftool needed";
    struct Case {
        const char* format;
        unsigned rate;
        int channels;
        int quality;
        bool noise;
    } cases[] = {{"VBR 2 (ca. 190 kBit/s), 44.100 Hz, Stereo", 44100, 2, 2, false},
                 {"VBR 5 (ca. 78 kBit/s), 48.000 Hz, Mono", 48000, 1, 5, false},
                 {"VBR 2 (ca. 190 kBit/s), 44.100 Hz, Stereo", 44100, 2, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + (c.noise ? ", pink noise" : ", music"));
        const double seconds = 40.0;
        std::vector<std::int16_t> source;
        if (c.noise) {
            // Almost the same in both channels (sox dithers each on its own).
            ASSERT_TRUE(Shell("sox -R -n -r 44100 -c 2 -b 16 " + P("long.wav") + " synth 40 pinknoise vol 0.3"));
            source = AsSamples(SplitWave(ReadFile(dir / "long.wav")).data);
        } else {
            // Silence first: the smallest frames there, so that a seek
            // table drawn as a straight line is far from the frames.
            source = MakeMusic(c.rate, c.channels, seconds, 11);
            std::fill(source.begin(), source.begin() + static_cast<long>(source.size() / 3), std::int16_t{0});
            WriteFile(dir / "long.wav", MakeWav(source, c.rate, c.channels));
        }
        // On the noise, a pre-roll too short for a constant bitrate's seams
        // to fit: a variable bitrate's never needs a block encoded again.
        acm::SetMp3BlockPreroll(c.noise ? 32 : 0);
        const acm::Mp3BlockStats before = acm::Mp3BlockStatistics();
        const auto one = Encode("long.wav", "one.mp3", c.format, 1);
        const acm::Mp3BlockStats after = acm::Mp3BlockStatistics();
        EXPECT_EQ(after.again, before.again);
        EXPECT_EQ(Encode("long.wav", "two.mp3", c.format, 2), one);
        EXPECT_EQ(Encode("long.wav", "three.mp3", c.format, 3), one);
        acm::SetMp3BlockPreroll(0);
        ASSERT_EQ(std::string(one.begin() + 4, one.begin() + 64).find("Xing") != std::string::npos, true);
        const StreamFacts facts = Facts(one);
        EXPECT_FALSE(facts.constantBitrate);
        EXPECT_EQ(facts.said, facts.frames);
        EXPECT_EQ(facts.saidBytes, one.size());
        // The seek table points where the frames are: each percent of the
        // frames at its share of the file's bytes (in 256ths).
        ASSERT_EQ(facts.toc.size(), 100u);
        int astray = 0;
        for (std::size_t i = 0; i < 100; ++i) {
            const double at = static_cast<double>(facts.positions[i * facts.positions.size() / 100]);
            astray += std::abs(facts.toc[i] - 256 * at / static_cast<double>(one.size())) > 2.5;
        }
        EXPECT_EQ(astray, 0);
        EXPECT_TRUE(Clean("one.mp3"));
        const long frames = static_cast<long>(source.size()) / c.channels;
        EXPECT_EQ(static_cast<long>(Decoded("one.mp3").size()) / c.channels, frames);
        core.ConvertMP3WAV(P("one.mp3"), P("ours.wav"));
        EXPECT_EQ(static_cast<long>(SplitWave(ReadFile(dir / "ours.wav")).data.size()) / 2 / c.channels, frames);

        ASSERT_TRUE(Shell("lame --quiet -V " + std::to_string(c.quality) + " -m " + (c.channels == 1 ? "m " : "j ") +
                          P("long.wav") + " " + P("single.mp3")));
        const auto single = ReadFile(dir / "single.mp3");
        EXPECT_NEAR(static_cast<double>(one.size()), static_cast<double>(single.size()), 0.03 * single.size());
        const double joined = SnrDb(source, Decoded("one.mp3"), c.channels, 0);
        const double alone = SnrDb(source, Decoded("single.mp3"), c.channels, 0);
        EXPECT_GE(joined, alone - 0.3) << joined << " dB against " << alone << " dB";
        const auto read = [&](const std::string& command, const std::string& file) {
            FILE* p = popen((command + " " + P(file) + " 2>/dev/null").c_str(), "r");
            std::string out(256, '\0');
            out.resize(p ? std::fread(out.data(), 1, out.size(), p) : 0);
            if (p) pclose(p);
            return out;
        };
        for (const char* tool : {"mediainfo --Inform='Audio;%Duration%|%BitRate_Mode%'", "exiftool -n -s3 -Duration"}) {
            const std::string ours = read(tool, "one.mp3"), theirs = read(tool, "single.mp3");
            EXPECT_NEAR(std::atof(ours.c_str()), std::atof(theirs.c_str()), tool[0] == 'm' ? 50 : 0.05) << tool;
            if (tool[0] == 'm') {
                EXPECT_NE(ours.find("|VBR"), std::string::npos) << ours;
            }
        }

        // Cut short by a full disk: whole frames, counted.
        EXPECT_EQ(OntoAFullDisk(200001, 2, c.format), "");
        const auto cut = ReadFile(dir / "full.mp3");
        const StreamFacts cutFacts = Facts(cut);
        EXPECT_GT(cutFacts.frames, 100u);
        EXPECT_EQ(cutFacts.said, cutFacts.frames);
        EXPECT_EQ(cutFacts.saidBytes, cut.size());
        EXPECT_TRUE(Clean("full.mp3"));
        std::filesystem::remove(dir / "full.mp3");
    }
}

}  // namespace
