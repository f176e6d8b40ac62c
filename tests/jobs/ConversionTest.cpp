// The four conversions and the batch loops on real files, compared with
// what the peer tools make of the same input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "codec/ByteFile.h"
#include "codec/LittleEndian.h"
#include "jobs/ConverterCore.h"
#include "platform/acm/wave/AvLibrary.h"
#include "platform/acm/pcm/BlockResampler.h"
#include "platform/acm/mp3/Mp3BlockEncoder.h"
#include "jobs/Messages.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;

namespace {

class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        core.WavFormatIndex = 0;
    }
    std::string P(const std::string& name) const { return (dir / name).string(); }
    void NeedTools(std::initializer_list<const char*> tools) {
        for (const char* t : tools)
            if (!HaveTool(t)) GTEST_SKIP() << t << " not installed";
    }
    void MakeSourceWav(const std::string& name, unsigned rate, int channels, double seconds) {
        WriteFile(dir / name, MakeWav(MakeMusic(rate, channels, seconds), rate, channels));
    }
    int MpsIndex(const std::string& text) const {
        for (int i = 0; i < core.Catalogue.MP3FormatCount(); ++i)
            if (core.Catalogue.MP3Descriptions[static_cast<std::size_t>(i)] == text) return i;
        return -1;
    }
    int WavIndex(const std::string& text) const {
        for (int i = 0; i < core.Catalogue.WAVFormatCount(); ++i)
            if (core.Catalogue.WAVDescriptions[static_cast<std::size_t>(i)] == text) return i;
        return -1;
    }

    TempDir dir;
    RecordingHost host;
    TConverterCore core{host};
};

// A well-formed 44-byte-header WAV file whose sizes match its length (the
// data, then any tag chunks).
void ExpectSoundHeader(const std::vector<std::uint8_t>& wav) {
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(wav, 16), 16u);
    EXPECT_EQ(WaveHeaderProblem(wav), "");
}

struct Mp3Case {
    const char* name;
    const char* lameOptions;
    int prefixZeros;
};

class Mp3ToWav : public Conversion, public ::testing::WithParamInterface<Mp3Case> {};

TEST_P(Mp3ToWav, MatchesMpg123) {
    NeedTools({"lame", "mpg123"});
    const Mp3Case c = GetParam();
    const unsigned rate = std::strstr(c.lameOptions, "-m m") ? 22050 : std::strstr(c.lameOptions, "48") ? 48000 : 44100;
    const int channels = std::strstr(c.lameOptions, "-m m") ? 1 : 2;
    MakeSourceWav("src.wav", rate, channels, 3.0);
    ASSERT_TRUE(Shell("lame --quiet " + std::string(c.lameOptions) + " " + P("src.wav") + " " + P("coded.mp3")));
    if (c.prefixZeros > 0) {
        auto bytes = ReadFile(dir / "coded.mp3");
        bytes.insert(bytes.begin(), static_cast<std::size_t>(c.prefixZeros), 0);
        WriteFile(dir / "coded.mp3", bytes);
    }
    ASSERT_TRUE(Shell("mpg123 -q -w " + P("ref.wav") + " " + P("coded.mp3")));
    const auto before = ReadFile(dir / "coded.mp3");
    core.ConvertMP3WAV(P("coded.mp3"), P("out.wav"));
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(ReadFile(dir / "coded.mp3"), before);
    const auto out = ReadFile(dir / "out.wav");
    ExpectSoundHeader(out);
    EXPECT_EQ(out[22], channels);
    EXPECT_EQ(Le32(out, 24), rate);
    EXPECT_EQ(out[34], 16);
    const auto mine = AsSamples(SplitWave(out).data);
    const auto ref = AsSamples(SplitWave(ReadFile(dir / "ref.wav")).data);
    EXPECT_LE(std::abs(static_cast<long>(mine.size()) - static_cast<long>(ref.size())), 1152L * channels);
    EXPECT_GE(SnrDb(ref, mine, channels, BestLag(ref, mine, channels, 1200)), 60.0);
    EXPECT_FALSE(core.State.Busy);
    EXPECT_EQ(host.progress.back().first, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, Mp3ToWav,
                         ::testing::Values(Mp3Case{"cbr", "-b 128", 0}, Mp3Case{"vbr", "-V 2", 0},
                                           Mp3Case{"id3v2", "-b 160 --id3v2-only --tt Titel --ta Kuenstler", 0},
                                           Mp3Case{"zeros", "-b 128", 3000}, Mp3Case{"mono22", "-m m -b 64", 0},
                                           Mp3Case{"rate48", "--resample 48 -b 192", 0}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(Conversion, CdQualityFromA22kMonoMp3) {
    NeedTools({"lame"});
    MakeSourceWav("src.wav", 22050, 1, 2.0);
    ASSERT_TRUE(Shell("lame --quiet -m m -b 64 " + P("src.wav") + " " + P("m.mp3")));
    core.ConvertMP3CDWAV(P("m.mp3"), P("cd.wav"));
    ASSERT_TRUE(host.errors.empty());
    const auto cd = ReadFile(dir / "cd.wav");
    ExpectSoundHeader(cd);
    const std::uint8_t expected[16] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00,
                                       0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00};
    EXPECT_EQ(std::memcmp(&cd[20], expected, 16), 0);
    // The decoded MP3's duration, at the new rate, within 10 ms.
    core.ConvertMP3WAV(P("m.mp3"), P("plain.wav"));
    const double plainSeconds = (ReadFile(dir / "plain.wav").size() - 44) / (22050.0 * 2);
    const double cdSeconds = (cd.size() - 44) / 176400.0;
    EXPECT_NEAR(cdSeconds, plainSeconds, 0.010);
}

// A new rate on every core, through the conversions users start: CD
// quality from a 22.05 kHz mono MP3 and a WAV into two other formats, with
// chunks short enough for many seams, give one resampler's bytes on one,
// two and four workers; cancelled part way, the target is a whole file
// holding the start of those bytes (but for its last milliseconds, where
// the resampler was flushed early).
TEST_F(Conversion, NewRatesOnEveryCoreAreOneResamplersBytes) {
    NeedTools({"lame", "sox"});
    MakeSourceWav("src.wav", 22050, 1, 9.0);
    ASSERT_TRUE(Shell("lame --quiet -m m -b 64 " + P("src.wav") + " " + P("m.mp3")));
    const std::function<void(const std::string&)> jobs[] = {
        [&](const std::string& t) { core.ConvertMP3CDWAV(P("m.mp3"), P(t)); },
        [&](const std::string& t) {
            core.WavFormatIndex = WavIndex("48.000 Hz, 16 Bit, Stereo");
            core.ConvertWAV2WAV(P("src.wav"), P(t));
        },
        [&](const std::string& t) {
            core.WavFormatIndex = WavIndex("8.000 Hz, 8 Bit, Mono");
            core.ConvertWAV2WAV(P("src.wav"), P(t));
        }};
    for (std::size_t j = 0; j < std::size(jobs); ++j) {
        SCOPED_TRACE(j);
        acm::SetResampleChunkFrames(10 * 22050);  // the whole signal in one
        jobs[j]("one.wav");
        const auto one = SplitWave(ReadFile(dir / "one.wav")).data;
        ASSERT_GT(one.size(), 8u * 8000);
        acm::SetResampleChunkFrames(5000);
        for (const int workers : {1, 2, 4}) {
            acm::SetStreamWorkers(workers);
            jobs[j]("many.wav");
            EXPECT_TRUE(SplitWave(ReadFile(dir / "many.wav")).data == one) << workers << " workers";
        }
        host.pumps = 0;
        host.onPump = [&](int n) {
            if (n == 4) core.State.Cancel = true;
        };
        const std::string part = "part" + std::to_string(j) + ".wav";
        jobs[j](part);
        host.onPump = nullptr;
        core.State.Cancel = false;
        ExpectSoundHeader(ReadFile(dir / part));
        const auto cut = SplitWave(ReadFile(dir / part)).data;
        EXPECT_LT(cut.size(), one.size()) << cut.size();
        const std::size_t settled = cut.size() > 8192 ? cut.size() - 8192 : 0;
        EXPECT_TRUE(std::equal(cut.begin(), cut.begin() + static_cast<long>(settled), one.begin()));
        EXPECT_TRUE(host.errors.empty());
    }
    // A resampler fed its input in other pieces may round a sample a step
    // otherwise (30 s of noise at 8 kHz does): one worker cuts the signal
    // into the same chunks as many, so the bytes are the same.
    acm::SetResampleChunkFrames(0);
    ASSERT_TRUE(Shell("sox -n -r 8000 -c 1 -b 16 " + P("noise.wav") + " synth 30 pinknoise vol 0.5"));
    core.WavFormatIndex = WavIndex("44.100 Hz, 16 Bit, Stereo");
    std::vector<std::uint8_t> first;
    for (const int workers : {2, 1}) {
        acm::SetStreamWorkers(workers);
        core.ConvertWAV2WAV(P("noise.wav"), P("noise-out.wav"));
        const auto data = SplitWave(ReadFile(dir / "noise-out.wav")).data;
        if (first.empty()) first = data;
        EXPECT_TRUE(data == first) << workers << " workers";
    }
    acm::SetStreamWorkers(0);
}

TEST_F(Conversion, WavToMp3IsABareStreamThatDecodesToTheSource) {
    NeedTools({"ffmpeg"});
    MakeSourceWav("src.wav", 44100, 2, 4.0);
    const auto before = ReadFile(dir / "src.wav");
    core.ConvertWAVMP3(P("src.wav"), P("out.mp3"));
    ASSERT_TRUE(host.errors.empty());
    EXPECT_EQ(ReadFile(dir / "src.wav"), before);
    const auto mp3 = ReadFile(dir / "out.mp3");
    ASSERT_GT(mp3.size(), 4u);
    EXPECT_EQ(mp3[0], 0xFF);
    EXPECT_EQ(mp3[1] & 0xE0, 0xE0);
    EXPECT_NE(std::string(mp3.end() - 128, mp3.end()).substr(0, 3), "TAG");
    ASSERT_TRUE(Shell("ffmpeg -v error -i " + P("out.mp3") + " -f s16le " + P("back.raw")));
    const auto back = AsSamples(ReadFile(dir / "back.raw"));
    const auto src = AsSamples(SplitWave(before).data);
    EXPECT_LE(std::labs(static_cast<long>(back.size() / 2) - static_cast<long>(src.size() / 2)), 2 * 1152 + 1105);
    EXPECT_GE(SnrDb(src, back, 2, BestLag(src, back, 2, 2500)), 20.0);
}

TEST_F(Conversion, WavToMp3ThroughTheDecodeStage) {
    // 8-bit mono 22.05 kHz into the 44.1 kHz stereo default: both stages run.
    std::vector<std::uint8_t> wav = MakeWav(MakeTone(22050, 1, 2.0, 440, 9000), 22050, 1);
    WriteFile(dir / "s16.wav", wav);
    if (!HaveTool("sox")) GTEST_SKIP();
    ASSERT_TRUE(Shell("sox " + P("s16.wav") + " -b 8 " + P("s8.wav")));
    core.ConvertWAVMP3(P("s8.wav"), P("out.mp3"));
    ASSERT_TRUE(host.errors.empty());
    const auto mp3 = ReadFile(dir / "out.mp3");
    // About 2 s at 128 kbit/s.
    EXPECT_NEAR(static_cast<double>(mp3.size()), 2.0 * 16000, 2500);
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, two channels.
    ASSERT_GE(mp3.size(), 4u);
    EXPECT_EQ(mp3[0], 0xFF);
    EXPECT_EQ(mp3[1] & 0xFE, 0xFA);
    EXPECT_EQ(mp3[2] & 0xFC, 0x90);
    EXPECT_NE(mp3[3] >> 6, 3);
}

TEST_F(Conversion, WavToWavExampleAndCompressedSources) {
    MakeSourceWav("src.wav", 44100, 2, 1.0);
    core.WavFormatIndex = WavIndex("22.050 Hz, 8 Bit, Mono");
    ASSERT_GE(core.WavFormatIndex, 0);
    core.ConvertWAV2WAV(P("src.wav"), P("small.wav"));
    ASSERT_TRUE(host.errors.empty());
    const auto small = ReadFile(dir / "small.wav");
    ExpectSoundHeader(small);
    const std::uint8_t fmt[16] = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x22, 0x56, 0, 0, 1, 0, 8, 0};
    EXPECT_EQ(std::memcmp(&small[20], fmt, 16), 0);
    EXPECT_NEAR(static_cast<double>(small.size() - 44), 22050, 2);

    if (!HaveTool("sox")) GTEST_SKIP() << "sox not installed";
    core.WavFormatIndex = 0;  // 44.100 Hz, 16 Bit, Stereo
    for (const char* enc : {"-e ima-adpcm", "-e ms-adpcm", "-e a-law", "-e u-law", "-c 1 -e gsm-full-rate"}) {
        ASSERT_TRUE(Shell("sox " + P("src.wav") + " -r 8000 " + enc + " " + P("c.wav")));
        host.errors.clear();
        core.ConvertWAV2WAV(P("c.wav"), P("cd.wav"));
        EXPECT_TRUE(host.errors.empty()) << enc;
        const auto cd = ReadFile(dir / "cd.wav");
        ExpectSoundHeader(cd);
        EXPECT_EQ(Le32(cd, 24), 44100u);
        EXPECT_NEAR((cd.size() - 44) / 176400.0, 1.0, 0.02) << enc;
        EXPECT_GT(Rms(AsSamples(SplitWave(cd).data)), 1000) << enc;
    }
}

// A big-endian WAV (RIFX, as sox writes it) of every sample kind converts
// to the bytes of the same file in the usual order, both ways.
TEST_F(Conversion, BigEndianWavsConvertAsTheirLittleEndianTwins) {
    NeedTools({"sox"});
    MakeSourceWav("src.wav", 22050, 2, 0.5);
    for (const char* kind : {"-b 16", "-b 24", "-b 32", "-e floating-point -b 32", "-c 1 -b 24", "-b 8"}) {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(Shell("sox " + P("src.wav") + " " + kind + " -B " + P("big.wav")));
        ASSERT_TRUE(Shell("sox " + P("big.wav") + " -L " + P("little.wav")));
        for (const char* name : {"big", "little"}) {
            core.ConvertWAV2WAV(P(std::string(name) + ".wav"), P(std::string(name) + ".out.wav"));
            core.ConvertWAVMP3(P(std::string(name) + ".wav"), P(std::string(name) + ".mp3"));
        }
        EXPECT_TRUE(host.errors.empty());
        EXPECT_EQ(ReadFile(dir / "big.out.wav"), ReadFile(dir / "little.out.wav"));
        EXPECT_EQ(ReadFile(dir / "big.mp3"), ReadFile(dir / "little.mp3"));
    }
}

TEST_F(Conversion, CancelLeavesACompleteFileAndTheSourceUntouched) {
    MakeSourceWav("src.wav", 44100, 2, 3.0);
    const auto before = ReadFile(dir / "src.wav");
    host.onPump = [&](int n) {
        if (n == 5) core.State.Cancel = true;
    };
    core.WavFormatIndex = WavIndex("22.050 Hz, 16 Bit, Stereo");
    core.ConvertWAV2WAV(P("src.wav"), P("part.wav"));
    const auto part = ReadFile(dir / "part.wav");
    ExpectSoundHeader(part);
    EXPECT_GT(part.size(), 44u + 4000);
    EXPECT_LT(part.size(), 44u + 3 * 88200 / 2);
    EXPECT_EQ(ReadFile(dir / "src.wav"), before);
    EXPECT_FALSE(core.State.Busy);

    NeedTools({"lame"});
    ASSERT_TRUE(Shell("lame --quiet -b 128 " + P("src.wav") + " " + P("s.mp3")));
    host.pumps = 0;
    core.State.Cancel = false;
    core.ConvertMP3CDWAV(P("s.mp3"), P("part2.wav"));
    ExpectSoundHeader(ReadFile(dir / "part2.wav"));
}

TEST_F(Conversion, SameFileIsRefusedBeforeAnythingIsWritten) {
    MakeSourceWav("src.wav", 44100, 2, 0.5);
    const auto before = ReadFile(dir / "src.wav");
    ASSERT_EQ(::symlink(P("src.wav").c_str(), P("link.wav").c_str()), 0);
    ASSERT_EQ(::link(P("src.wav").c_str(), P("hard.wav").c_str()), 0);
    core.ConvertWAV2WAV(P("src.wav"), P("src.wav"));
    core.ConvertWAV2WAV(P("src.wav"), P("link.wav"));
    core.ConvertWAVMP3(P("src.wav"), P("hard.wav"));
    core.ConvertWAVMP3(P("src.wav"), (dir / "." / "src.wav").string());
    ASSERT_EQ(host.errors.size(), 4u);
    for (const auto& e : host.errors) EXPECT_EQ(e, msg::SameFile);
    EXPECT_EQ(ReadFile(dir / "src.wav"), before);
    EXPECT_FALSE(core.State.Busy);

    // In a batch, "src.mp3" (a WAV under another name) would be its own
    // target: a source's name is taken, so its target is "src (2).mp3".
    MakeSourceWav("b.wav", 22050, 1, 0.3);
    ASSERT_EQ(::symlink(P("src.wav").c_str(), P("src.mp3").c_str()), 0);
    host.errors.clear();
    TBatchSettings batch;
    batch.Files = {P("src.mp3"), P("b.wav")};
    core.Gobtn4Proc(batch);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_GT(std::filesystem::file_size(dir / "src (2).mp3"), 1000u);
    EXPECT_GT(std::filesystem::file_size(dir / "b.mp3"), 1000u);
    EXPECT_EQ(ReadFile(dir / "src.wav"), before);
}

TEST_F(Conversion, MessagesForMissingCodecsFilesAndFormats) {
    core.Mp3FormatIndex = 9999;
    core.ConvertWAVMP3(P("nothing.wav"), P("x.mp3"));
    EXPECT_EQ(host.errors.back(), msg::ChooseFormat);
    EXPECT_FALSE(core.State.Busy);
    EXPECT_TRUE(host.progress.empty());  // refused before anything started
    core.WavFormatIndex = -1;
    core.ConvertWAV2WAV(P("nothing.wav"), P("x.wav"));
    EXPECT_EQ(host.errors.back(), msg::ChooseFormat);
    core.Mp3FormatIndex = 0;
    core.WavFormatIndex = 0;

    core.ConvertWAVMP3(P("nothing.wav"), P("x.mp3"));
    EXPECT_EQ(host.errors.back(), "Konnte Datei (" + P("nothing.wav") + ") nicht öffnen!");
    core.ConvertMP3WAV(P("nothing.mp3"), P("x.wav"));
    EXPECT_EQ(host.errors.back(), msg::CannotOpen);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.wav"));
    WriteFile(dir / "text.wav", std::vector<std::uint8_t>(100, 'a'));
    core.ConvertWAV2WAV(P("text.wav"), P("x.wav"));
    EXPECT_EQ(host.errors.back(), msg::NoValidWav);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.wav"));
    MakeSourceWav("ok.wav", 8000, 1, 0.1);
    core.ConvertWAV2WAV(P("ok.wav"), P("no/such/folder/x.wav"));
    EXPECT_EQ(host.errors.back(), msg::CannotCreate);

    TConverterCore empty(host);  // no catalogue built: no codecs
    empty.ConvertMP3WAV(P("ok.wav"), P("y.wav"));
    EXPECT_EQ(host.errors.back(), msg::NoMp3Decoder);
    empty.ConvertWAVMP3(P("ok.wav"), P("y.mp3"));
    EXPECT_EQ(host.errors.back(), msg::NoMp3Encoder);
    empty.ConvertWAV2WAV(P("ok.wav"), P("y.wav"));
    EXPECT_EQ(host.errors.back(), msg::NoMp3Encoder);
    EXPECT_FALSE(std::filesystem::exists(dir / "y.wav"));
}

TEST_F(Conversion, APcmWaveIsNoMp3) {
    // A WAVE file whose first chunk is "fmt " counts as an MP3 in a WAVE
    // wrapper only when its format is MPEG audio; PCM would decode to noise.
    MakeSourceWav("pcm.wav", 22050, 1, 0.5);
    core.ConvertMP3WAV(P("pcm.wav"), P("noise.wav"));
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], msg::NoValidMp3);
    EXPECT_FALSE(std::filesystem::exists(dir / "noise.wav"));
    EXPECT_FALSE(core.State.Busy);
}

TEST_F(Conversion, AnMp3InAWaveWrapperDecodes) {
    NeedTools({"ffmpeg"});
    MakeSourceWav("src.wav", 44100, 2, 2.0);
    ASSERT_TRUE(Shell("ffmpeg -v error -i " + P("src.wav") + " -c:a libmp3lame -b:a 128k -f wav " + P("wrapped.wav")));
    core.ConvertMP3WAV(P("wrapped.wav"), P("out.wav"));
    EXPECT_TRUE(host.errors.empty());
    const auto out = ReadFile(dir / "out.wav");
    ExpectSoundHeader(out);
    EXPECT_NEAR((out.size() - 44) / 176400.0, 2.0, 0.1);
}

TEST_F(Conversion, UnconvertibleSourcesEndWithoutAMessage) {
    // Data but no format chunk: the convertor cannot open, no target is
    // left, and the error reaches the caller.
    std::vector<std::uint8_t> noFmt = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
    WriteFile(dir / "nofmt.wav", noFmt);
    EXPECT_THROW(core.ConvertWAV2WAV(P("nofmt.wav"), P("x.wav")), EACMConvertor);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "x.wav"));
    EXPECT_FALSE(core.State.Busy);
    EXPECT_FALSE(core.wavtowav.Active());
    EXPECT_THROW(core.ConvertWAVMP3(P("nofmt.wav"), P("x.mp3")), EACMConvertor);
    EXPECT_FALSE(core.State.Busy);
    // A format no codec knows, and nine channels: no empty file under the
    // target's name either.
    for (const auto& [tag, channels] : {std::pair{0x1234, 2}, std::pair{1, 9}}) {
        auto wav = MakeWav(MakeMusic(44100, 1, 0.2), 44100, 2);
        PutLe16(&wav[20], static_cast<std::uint16_t>(tag));
        PutLe16(&wav[22], static_cast<std::uint16_t>(channels));
        WriteFile(dir / "odd.wav", wav);
        EXPECT_THROW(core.ConvertWAV2WAV(P("odd.wav"), P("y.wav")), EACMConvertor);
        EXPECT_THROW(core.ConvertWAVMP3(P("odd.wav"), P("y.mp3")), EACMConvertor);
        EXPECT_FALSE(std::filesystem::exists(dir / "y.wav"));
        EXPECT_FALSE(std::filesystem::exists(dir / "y.mp3"));
    }
}

TEST_F(Conversion, SizesAndChunkBoundaries) {
    // A data size of 2^31 and more is not negative: the file's bytes convert.
    auto wav = MakeWav(MakeTone(8000, 1, 1.0, 300, 5000), 8000, 1);
    wav[40] = 0x00;
    wav[41] = 0x00;
    wav[42] = 0x00;
    wav[43] = 0x90;
    WriteFile(dir / "big.wav", wav);
    core.WavFormatIndex = WavIndex("8.000 Hz, 16 Bit, Mono");
    core.ConvertWAV2WAV(P("big.wav"), P("o.wav"));
    EXPECT_EQ(ReadFile(dir / "o.wav").size(), 44u + 16000);

    // Data exactly 8192 blocks long (one chunk): the encoder is still
    // flushed, so the MP3 holds the whole second.
    const auto exact = MakeMusic(44100, 2, 8192.0 / 44100 * 4);
    ASSERT_EQ(exact.size() * 2 % 32768, 0u);
    WriteFile(dir / "exact.wav", MakeWav(exact, 44100, 2));
    core.ConvertWAVMP3(P("exact.wav"), P("exact.mp3"));
    const double frames = ReadFile(dir / "exact.mp3").size() / 417.96;
    EXPECT_GE(frames * 1152, exact.size() / 2 + 576.0);
}

TEST_F(Conversion, BatchesNameTargetsAndStopOnCancel) {
    NeedTools({"lame"});
    std::filesystem::create_directory(dir / "out");
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        MakeSourceWav("s" + std::to_string(i) + ".wav", 22050, 1, 1.0);
        ASSERT_TRUE(Shell("lame --quiet -b 64 " + P("s" + std::to_string(i) + ".wav") + " " +
                          P("m" + std::to_string(i) + ".mp3")));
        files.push_back(P("m" + std::to_string(i) + ".mp3"));
    }
    TBatchSettings batch;
    batch.Files = files;
    batch.NextToSource = false;
    batch.OutputFolder = P("out");
    core.Gobtn2Proc(batch);
    EXPECT_TRUE(host.errors.empty());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::filesystem::exists(dir / "out" / ("m" + std::to_string(i) + ".wav")));
    EXPECT_EQ(core.State.ItemIndex, 3);
    EXPECT_EQ(core.State.ItemTotal, 4);

    // Cancel in the second file: it is partial, the third and fourth untouched.
    batch.NextToSource = true;
    host.onPump = [&](int) {
        if (core.State.ItemIndex == 1) core.State.Cancel = true;
    };
    core.Gobtn2Proc(batch);
    EXPECT_TRUE(std::filesystem::exists(dir / "m0.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "m1.wav"));
    EXPECT_LT(std::filesystem::file_size(dir / "m1.wav"), std::filesystem::file_size(dir / "m0.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "m2.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "m3.wav"));
}

}  // namespace

namespace {

// Whatever a front end lets through while a job runs (a restored progress
// window, a second click), a second job is refused before it opens a file:
// it would empty targets the first has finished or is writing.
TEST_F(Conversion, NoJobStartsInsideARunningOne) {
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        MakeSourceWav("j" + std::to_string(i) + ".wav", 22050, 2, 1.0);
        files.push_back(P("j" + std::to_string(i) + ".wav"));
    }
    TBatchSettings batch;
    batch.Files = files;
    std::vector<std::uint8_t> finished;
    bool tried = false;
    host.onPump = [&](int) {
        if (tried || core.State.ItemIndex != 1) return;
        tried = true;
        finished = ReadFile(dir / "j0.mp3");
        core.Gobtn4Proc(batch);
        core.Gobtn2Proc(batch);
        core.ConvertWAVMP3(files[2], P("j0.mp3"));
        core.ConvertWAV2WAV(files[2], P("j0.mp3"));
        core.ConvertMP3WAV(P("j0.mp3"), P("x.wav"));
        core.ConvertMP3CDWAV(P("j0.mp3"), P("x.wav"));
        EXPECT_TRUE(core.Running());
    };
    core.Gobtn4Proc(batch);
    ASSERT_TRUE(tried);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_FALSE(finished.empty());
    EXPECT_EQ(ReadFile(dir / "j0.mp3"), finished);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.wav"));
    EXPECT_EQ(core.State.ItemIndex, 2);  // the one batch ran to its end
    EXPECT_FALSE(core.Running());

    // Once it has ended, jobs start again.
    host.onPump = nullptr;
    core.ConvertWAV2WAV(files[0], P("after.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "after.wav"));
}

}  // namespace

namespace {

// Sources with no MP3 in them are refused, and no target is made: an empty
// WAV with exit status 0 would pass for a converted file.
TEST_F(Conversion, NoFrameHeaderNoTarget) {
    WriteFile(dir / "text.mp3", std::vector<std::uint8_t>(5000, 'a'));
    std::vector<std::uint8_t> noise(20000);
    unsigned seed = 7;
    for (auto& b : noise) {
        seed = seed * 1103515245 + 12345;
        b = static_cast<std::uint8_t>((seed >> 16) & 0xDF);  // never 0xFF: no sync
    }
    WriteFile(dir / "noise.mp3", noise);
    for (const char* name : {"text.mp3", "noise.mp3"}) {
        host.errors.clear();
        core.ConvertMP3WAV(P(name), P("out.wav"));
        ASSERT_EQ(host.errors.size(), 1u) << name;
        EXPECT_EQ(host.errors[0], msg::NoValidMp3);
        EXPECT_FALSE(std::filesystem::exists(dir / "out.wav")) << name;
    }
    // A RIFF WAVE file that ends inside its first chunk header: the probe's
    // read is checked, and the failure reaches the front end.
    WriteFile(dir / "cut.mp3", {'R', 'I', 'F', 'F', 8, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    EXPECT_THROW(core.ConvertMP3CDWAV(P("cut.mp3"), P("out.wav")), EInOutError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_FALSE(core.State.Busy);
}

// 8, 11.025 and 12 kHz files keep their rate and channels; in CD quality
// they come out at 44.1 kHz stereo.
TEST_F(Conversion, Mpeg25FilesKeepTheirRate) {
    NeedTools({"lame"});
    struct Case {
        unsigned rate;
        int channels;
    };
    for (const Case c : {Case{8000, 1}, Case{11025, 2}, Case{12000, 1}}) {
        SCOPED_TRACE(c.rate);
        MakeSourceWav("low.wav", c.rate, c.channels, 2.0);
        ASSERT_TRUE(Shell("lame --quiet -b 32 " + P("low.wav") + " " + P("low.mp3")));
        const auto mp3 = ReadFile(dir / "low.mp3");
        ASSERT_GE(mp3.size(), 4u);
        ASSERT_EQ(mp3[1] & 0x18, 0);  // lame wrote MPEG-2.5
        core.ConvertMP3WAV(P("low.mp3"), P("low-out.wav"));
        auto out = ReadFile(dir / "low-out.wav");
        ExpectSoundHeader(out);
        EXPECT_EQ(Le32(out, 24), c.rate);
        EXPECT_EQ(out[22], c.channels);
        // About the source's length (the decoder adds its delay and padding).
        const double seconds = (out.size() - 44) / (2.0 * c.channels * c.rate);
        EXPECT_NEAR(seconds, 2.0, 0.25);
        core.ConvertMP3CDWAV(P("low.mp3"), P("cd.wav"));
        out = ReadFile(dir / "cd.wav");
        EXPECT_EQ(Le32(out, 24), 44100u);
        EXPECT_EQ(out[22], 2);
        EXPECT_NEAR((out.size() - 44) / 176400.0, 2.0, 0.25);
    }
    EXPECT_TRUE(host.errors.empty());
}

}  // namespace

namespace {

// A RIFF WAVE file of a "fmt " body and a data chunk.
std::vector<std::uint8_t> WaveOf(const std::vector<std::uint8_t>& format, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> f = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    auto put32 = [&f](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    f.insert(f.end(), {'f', 'm', 't', ' '});
    put32(static_cast<std::uint32_t>(format.size()));
    f.insert(f.end(), format.begin(), format.end());
    if (format.size() & 1) f.push_back(0);
    f.insert(f.end(), {'d', 'a', 't', 'a'});
    put32(static_cast<std::uint32_t>(data.size()));
    f.insert(f.end(), data.begin(), data.end());
    const auto riff = static_cast<std::uint32_t>(f.size() - 8);
    for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return f;
}

// ADPCM files usually end inside their last block; that block still holds
// samples, and ffmpeg gives them all back. So must we, sample for sample.
TEST_F(Conversion, AdpcmFilesKeepTheirShortLastBlock) {
    NeedTools({"ffmpeg"});
    struct Case {
        const char* codec;
        unsigned rate;
    };
    for (const Case c : {Case{"adpcm_ima_wav", 11025}, Case{"adpcm_ima_wav", 8000}, Case{"adpcm_ms", 8000}}) {
        SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate));
        MakeSourceWav("pcm.wav", c.rate, 1, 1.5);
        ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + P("pcm.wav") + " -c:a " + c.codec + " " + P("adpcm.wav")));
        WaveParts parts = SplitWave(ReadFile(dir / "adpcm.wav"));
        ASSERT_GE(parts.format.size(), 14u);
        const std::size_t block = parts.format[12] | (parts.format[13] << 8);
        ASSERT_GT(parts.data.size(), 3 * block);
        // Two whole blocks fewer, then a third of a block.
        parts.data.resize((parts.data.size() / block - 2) * block + block / 3);
        WriteFile(dir / "cut.wav", WaveOf(parts.format, parts.data));
        ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + P("cut.wav") + " -f s16le " + P("ref.raw")));
        const auto ref = ReadFile(dir / "ref.raw");

        core.WavFormatIndex = WavIndex(c.rate == 8000 ? "8.000 Hz, 16 Bit, Mono" : "11.025 Hz, 16 Bit, Mono");
        core.ConvertWAV2WAV(P("cut.wav"), P("out.wav"));
        const auto out = ReadFile(dir / "out.wav");
        ExpectSoundHeader(out);
        EXPECT_EQ(out.size() - 44, ref.size());
        EXPECT_TRUE(std::equal(ref.begin(), ref.end(), out.begin() + 44, out.end()));
    }
    EXPECT_TRUE(host.errors.empty());
}

// A compressed WAV's fact chunk gives its true length: the padding of its
// last block is no audio, into PCM of any rate and into MP3. A fact count
// the blocks cannot hold, or far below what they hold, is damage and left
// alone.
TEST_F(Conversion, TheFactCountIsTheLengthOfCompressedAudio) {
    NeedTools({"sox", "mpg123"});
    MakeSourceWav("pcm.wav", 44100, 1, 5.0);
    ASSERT_TRUE(Shell("sox " + P("pcm.wav") + " -e ima-adpcm " + P("ima.wav")));
    auto ima = ReadFile(dir / "ima.wav");
    const std::string text(ima.begin(), ima.end());
    const std::size_t fact = text.find("fact");
    ASSERT_NE(fact, std::string::npos);
    ASSERT_EQ(Le32(ima, fact + 8), 220500u);
    const auto samples = [&](const std::string& wav) { return SplitWave(ReadFile(dir / wav)).data.size() / 2; };
    struct Row {
        std::uint32_t fact;
        std::size_t cd, half;  // the samples into 44.1 and 22.05 kHz
    };
    const std::size_t held = samples("pcm.wav") + 1000;  // more than 220500: the last block padded
    for (const Row r : {Row{220500, 220500, 110250}, Row{100, 0, 0}, Row{300000, 0, 0}}) {
        SCOPED_TRACE(r.fact);
        PutLe32(&ima[fact + 8], r.fact);
        WriteFile(dir / "ima.wav", ima);
        core.WavFormatIndex = WavIndex("44.100 Hz, 16 Bit, Mono");
        core.ConvertWAV2WAV(P("ima.wav"), P("cd.wav"));
        core.WavFormatIndex = WavIndex("22.050 Hz, 16 Bit, Mono");
        core.ConvertWAV2WAV(P("ima.wav"), P("half.wav"));
        if (r.cd == 0) {
            // Left alone: the blocks' whole length.
            EXPECT_GT(samples("cd.wav"), 220500u);
            EXPECT_LT(samples("cd.wav"), held);
            continue;
        }
        EXPECT_EQ(samples("cd.wav"), r.cd);
        EXPECT_EQ(samples("half.wav"), r.half);
        core.Mp3FormatIndex = MpsIndex("64 kBit/s, 44.100 Hz, Mono");
        core.ConvertWAVMP3(P("ima.wav"), P("ima.mp3"));
        ASSERT_TRUE(Shell("mpg123 -q -w " + P("mp3.wav") + " " + P("ima.mp3")));
        EXPECT_EQ(samples("mp3.wav"), r.cd);
    }
    EXPECT_TRUE(host.errors.empty());
}

// An MP3 without an info frame, long enough (by its size and first frame)
// that its WAV may pass 4 GiB: the target reserves the room for RF64
// sizes and, ending far below, stays a RIFF file with a JUNK chunk that
// other readers read whole. (A second of sound, then 40 MB of zero bytes
// in a sparse file.)
TEST_F(Conversion, ATargetThatMayPassFourGiBReservesRoom) {
    NeedTools({"ffprobe", "lame"});
    MakeSourceWav("t.wav", 16000, 1, 1.0);
    ASSERT_TRUE(Shell("lame --quiet -t -b 8 -m m --resample 16 " + P("t.wav") + " " + P("t.mp3")));
    TByteFile mp3;
    ASSERT_TRUE(mp3.OpenReadWrite(P("t.mp3")));
    ASSERT_TRUE(mp3.Truncate(40 << 20));
    mp3.Close();
    core.ConvertMP3WAV(P("t.mp3"), P("t16.wav"));
    EXPECT_TRUE(host.errors.empty());
    const auto out = ReadFile(dir / "t16.wav");
    ASSERT_GT(out.size(), 80u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 16), std::string("RIFF", 4) + std::string(out.begin() + 4, out.begin() + 8) + "WAVEJUNK");
    EXPECT_EQ(Le32(out, 4), out.size() - 8);
    EXPECT_EQ(Le32(out, 76), out.size() - 80);
    const std::size_t data = SplitWave(out).data.size();
    EXPECT_NEAR(static_cast<double>(data), 32000.0, 2 * 1152 * 2);
    FILE* p = popen(("ffprobe -v error -show_entries format=duration -of csv=p=0 " + P("t16.wav")).c_str(), "r");
    ASSERT_NE(p, nullptr);
    char text[64] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, p);
    pclose(p);
    EXPECT_NEAR(std::atof(std::string(text, n).c_str()), data / 32000.0, 0.001);
}

// A codec tag the decoder library names (0x0070, a speech codec) but that
// decodes to nothing: a failure, never an empty file passed off as done.
TEST_F(Conversion, DataThatDecodesToNothingIsAFailure) {
    const std::vector<std::uint8_t> format = {0x70, 0, 1, 0, 0x40, 0x1F, 0, 0, 0xE8, 0x03, 0, 0, 20, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> data(4000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37);
    WriteFile(dir / "speech.wav", WaveOf(format, data));
    EXPECT_THROW(core.ConvertWAV2WAV(P("speech.wav"), P("out.wav")), EACMConvertor);
    EXPECT_THROW(core.ConvertWAVMP3(P("speech.wav"), P("out.mp3")), EACMConvertor);
    EXPECT_FALSE(core.Running());
    // An empty data chunk is no failure: there was nothing to convert.
    WriteFile(dir / "empty.wav", WaveOf(format, {}));
    EXPECT_NO_THROW(core.ConvertWAV2WAV(P("empty.wav"), P("out.wav")));
}

// Without the decoder library (renamed by an upgrade, a broken install),
// the compressed and float formats are refused as unconvertible; plain PCM
// and MP3 work on.
TEST_F(Conversion, WithoutTheDecoderLibrary) {
    struct Missing {
        Missing() { acm::SetAvLoader([]() -> const acm::AvLibrary* { return nullptr; }); }
        ~Missing() { acm::SetAvLoader(nullptr); }
    } missing;
    std::vector<std::uint8_t> floats(4 * 8000);
    for (std::size_t i = 0; i < floats.size(); i += 4) {
        const float v = static_cast<float>(0.5 * std::sin(i / 4 * 0.1));
        std::memcpy(&floats[i], &v, 4);
    }
    const std::vector<std::uint8_t> floatFormat = {3, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x00, 0x7D, 0, 0, 4, 0, 32, 0, 0, 0};
    WriteFile(dir / "float.wav", WaveOf(floatFormat, floats));
    EXPECT_THROW(core.ConvertWAV2WAV(P("float.wav"), P("f.wav")), EACMConvertor);
    EXPECT_THROW(core.ConvertWAVMP3(P("float.wav"), P("f.mp3")), EACMConvertor);
    EXPECT_FALSE(core.Running());

    MakeSourceWav("pcm.wav", 22050, 2, 1.0);
    core.WavFormatIndex = WavIndex("8.000 Hz, 8 Bit, Mono");
    core.ConvertWAV2WAV(P("pcm.wav"), P("p.wav"));
    EXPECT_EQ(ReadFile(dir / "p.wav").size(), 44u + 8000);
    core.ConvertWAVMP3(P("pcm.wav"), P("p.mp3"));
    core.ConvertMP3WAV(P("p.mp3"), P("back.wav"));
    EXPECT_GT(ReadFile(dir / "back.wav").size(), 44u + 4 * 22050 * 9 / 10);
    EXPECT_TRUE(host.errors.empty());
}

}  // namespace

namespace {

// What a decoder makes of an MP3: the WAV's samples, frame for frame.
struct Decoded {
    std::vector<std::int16_t> samples;
    int channels = 0;
    long Frames() const { return channels ? static_cast<long>(samples.size()) / channels : 0; }
};

Decoded FromWav(const std::vector<std::uint8_t>& wav) {
    const WaveParts parts = SplitWave(wav);
    Decoded d;
    if (parts.format.size() >= 4) d.channels = parts.format[2];
    d.samples = AsSamples(parts.data);
    return d;
}

// Every MP3 we write decodes to exactly its source's samples, not shifted,
// in mpg123, ffmpeg and our own MP3 to WAV: its info frame tells them the
// encoder's delay and padding.
TEST_F(Conversion, Mp3sDecodeToExactlyTheirSource) {
    NeedTools({"mpg123", "ffmpeg"});
    struct Case {
        unsigned rate;
        int channels;
        const char* format;
    };
    for (const Case c : {Case{44100, 2, "128 kBit/s, 44.100 Hz, Stereo"}, Case{44100, 2, "64 kBit/s, 22.050 Hz, Mono"},
                         Case{16000, 1, "40 kBit/s, 16.000 Hz, Mono"}, Case{48000, 2, "320 kBit/s, 48.000 Hz, Stereo"},
                         Case{22050, 1, "56 kBit/s, 22.050 Hz, Stereo"},
                         // Frames too small for the encoder library's info
                         // frame, not for ours (the smallest ones hold none).
                         Case{16000, 1, "16 kBit/s, 16.000 Hz, Mono"}, Case{44100, 1, "32 kBit/s, 44.100 Hz, Mono"},
                         Case{24000, 2, "32 kBit/s, 24.000 Hz, Stereo"}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz into " + c.format);
        const auto source = MakeMusic(c.rate, c.channels, 3.3);
        WriteFile(dir / "src.wav", MakeWav(source, c.rate, c.channels));
        core.Mp3FormatIndex = MpsIndex(c.format);
        ASSERT_GE(core.Mp3FormatIndex, 0);
        core.ConvertWAVMP3(P("src.wav"), P("out.mp3"));
        ASSERT_TRUE(host.errors.empty());
        ASSERT_TRUE(Shell("mpg123 -q -w " + P("a.wav") + " " + P("out.mp3")));
        ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + P("out.mp3") + " " + P("b.wav")));
        core.ConvertMP3WAV(P("out.mp3"), P("c.wav"));
        const long srcFrames = static_cast<long>(source.size()) / c.channels;
        TFormatArea target;
        ASSERT_TRUE(TFormatCatalogue::CopySlot(core.Catalogue.MP3FormatTable, core.Mp3FormatIndex, target));
        const unsigned rate = target.Wfx().nSamplesPerSec;
        const double expected = static_cast<double>(srcFrames) * rate / c.rate;
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
            const Decoded d = FromWav(ReadFile(dir / name));
            EXPECT_NEAR(static_cast<double>(d.Frames()), expected, rate == c.rate ? 0.0 : 1.0) << name;
            if (rate == c.rate && d.channels == c.channels) {
                EXPECT_EQ(BestLag(source, d.samples, c.channels, 2000), 0) << name;
                EXPECT_GE(SnrDb(source, d.samples, c.channels, 0), 15.0) << name;
            }
        }
    }
}

// A cancelled conversion and a batch finish their info frames too: the
// three decoders agree on a length, at offset 0 against the source.
TEST_F(Conversion, CancelledAndBatchMp3sAreExactToo) {
    NeedTools({"mpg123", "ffmpeg"});
    const auto source = MakeMusic(44100, 2, 6.0);
    WriteFile(dir / "long.wav", MakeWav(source, 44100, 2));
    host.onPump = [&](int n) {
        if (n == 4) core.State.Cancel = true;
    };
    core.ConvertWAVMP3(P("long.wav"), P("part.mp3"));
    host.onPump = nullptr;
    ASSERT_TRUE(Shell("mpg123 -q -w " + P("a.wav") + " " + P("part.mp3")));
    ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + P("part.mp3") + " " + P("b.wav")));
    core.State.Cancel = false;
    core.ConvertMP3WAV(P("part.mp3"), P("c.wav"));
    const Decoded a = FromWav(ReadFile(dir / "a.wav"));
    EXPECT_GT(a.Frames(), 44100 / 2);
    EXPECT_LT(a.Frames(), 44100 * 5);
    // Four chunks of 8192 sample frames went in.
    EXPECT_EQ(a.Frames(), 4 * 8192);
    EXPECT_EQ(FromWav(ReadFile(dir / "b.wav")).Frames(), a.Frames());
    EXPECT_EQ(FromWav(ReadFile(dir / "c.wav")).Frames(), a.Frames());
    // Aligned with the source: at the encoder's delay it would be noise.
    EXPECT_GE(SnrDb(source, a.samples, 2, 0), 20.0);
    EXPECT_LT(SnrDb(source, a.samples, 2, 1105), 10.0);

    MakeSourceWav("b1.wav", 22050, 1, 1.7);
    TBatchSettings batch;
    batch.Files = {P("long.wav"), P("b1.wav")};
    core.Gobtn4Proc(batch);
    ASSERT_TRUE(host.errors.empty());
    ASSERT_TRUE(Shell("mpg123 -q -w " + P("l.wav") + " " + P("long.mp3")));
    EXPECT_EQ(FromWav(ReadFile(dir / "l.wav")).Frames(), 6 * 44100);
    ASSERT_TRUE(Shell("mpg123 -q -w " + P("m.wav") + " " + P("b1.mp3")));
    // 1.7 s at 22.05 kHz into the 44.1 kHz default: twice the frames.
    EXPECT_NEAR(static_cast<double>(FromWav(ReadFile(dir / "m.wav")).Frames()), 2 * 1.7 * 22050, 1.0);
}

}  // namespace
