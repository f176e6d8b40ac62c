// MP3 through the convertor and the real codecs under the conversion
// protocol, and the decoder against the MPEG conformance streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "codec/ACMConvertor.h"
#include "platform/acm/Driver.h"
#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace testing_support;
using sondrel::TACMConvertor;

namespace {

void SetPcm(WAVEFORMATEX& f, DWORD rate, WORD ch) { f = acm::PcmFormat(rate, ch, 16); }

void SetMp3(sondrel::TFormatArea& a, DWORD rate, WORD ch, int kbps) {
    a.Bytes.fill(0);
    MPEGLAYER3WAVEFORMAT& m = a.Mp3();
    m.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    m.wfx.nChannels = ch;
    m.wfx.nSamplesPerSec = rate;
    m.wfx.nAvgBytesPerSec = static_cast<DWORD>(kbps * 1000 / 8);
    m.wfx.nBlockAlign = 1;
    m.wfx.cbSize = 12;
    m.wID = MPEGLAYER3_ID_MPEG;
    m.nFramesPerBlock = 1;
}

struct RoundTrip {
    unsigned rate;
    int channels;
    int kbps;
};

class Mp3RoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(Mp3RoundTrip, KeepsDurationAndContent) {
    const RoundTrip p = GetParam();
    const auto source = MakeMusic(p.rate, p.channels, 5.0);
    TACMConvertor enc, dec;
    SetPcm(enc.FormatIn.Wfx(), p.rate, static_cast<WORD>(p.channels));
    SetMp3(enc.FormatOut, p.rate, static_cast<WORD>(p.channels), p.kbps);
    std::vector<BYTE> info(4096);
    DWORD infoSize = 0;
    ProtocolRun encoded = RunProtocol(enc, AsBytes(source), 2048, [&](TACMConvertor& c) {
        // Too small a buffer is refused with the size it needs.
        DWORD small = 10;
        EXPECT_EQ(acmStreamMessage(c.StreamHandle(), ACMDM_MP3_INFOFRAME, reinterpret_cast<LPARAM>(info.data()),
                                   reinterpret_cast<LPARAM>(&small)),
                  MMSYSERR_INVALPARAM);
        infoSize = static_cast<DWORD>(info.size());
        EXPECT_EQ(acmStreamMessage(c.StreamHandle(), ACMDM_MP3_INFOFRAME, reinterpret_cast<LPARAM>(info.data()),
                                   reinterpret_cast<LPARAM>(&infoSize)),
                  MMSYSERR_NOERROR);
        EXPECT_EQ(small, infoSize);
        EXPECT_EQ(acmStreamMessage(c.StreamHandle(), ACMDM_USER + 99, 0, 0), MMSYSERR_NOTSUPPORTED);
    });
    EXPECT_FALSE(encoded.overran);
    EXPECT_EQ(encoded.failures, 0);
    ASSERT_GT(encoded.output.size(), 1000u);
    // The stream begins with a placeholder frame (a header, no values), as
    // long as the finished info frame that goes over it.
    ASSERT_GT(infoSize, 100u);
    ASSERT_LE(infoSize, encoded.output.size());
    EXPECT_EQ(encoded.output[0], 0xFF);
    EXPECT_EQ(std::memcmp(encoded.output.data(), info.data(), 3), 0);  // same version, bitrate, rate
    EXPECT_EQ(encoded.output[infoSize], 0xFF);  // the first audio frame follows
    const std::string placeholder(encoded.output.begin(), encoded.output.begin() + infoSize);
    EXPECT_EQ(placeholder.find("Info"), std::string::npos);
    std::copy(info.begin(), info.begin() + infoSize, encoded.output.begin());
    const std::string finished(encoded.output.begin(), encoded.output.begin() + infoSize);
    EXPECT_NE(finished.find("Info"), std::string::npos);
    EXPECT_NE(finished, placeholder);

    SetMp3(dec.FormatIn, p.rate, static_cast<WORD>(p.channels), p.kbps);
    SetPcm(dec.FormatOut.Wfx(), p.rate, static_cast<WORD>(p.channels));
    const ProtocolRun decoded = RunProtocol(dec, encoded.output, 1024);
    EXPECT_FALSE(decoded.overran);
    const auto pcm = AsSamples(decoded.output);
    const long srcFrames = static_cast<long>(source.size() / p.channels);
    const long outFrames = static_cast<long>(pcm.size() / p.channels);
    // With the info frame in place the decoder skips the encoder's delay and
    // padding: exactly the source's length, not shifted.
    EXPECT_EQ(outFrames, srcFrames);
    EXPECT_EQ(BestLag(source, pcm, p.channels, 3000), 0);
    EXPECT_GE(SnrDb(source, pcm, p.channels, 0), 25.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, Mp3RoundTrip,
                         ::testing::Values(RoundTrip{44100, 2, 128}, RoundTrip{22050, 1, 64}),
                         [](const auto& info) {
                             return std::to_string(info.param.rate) + "Hz" + std::to_string(info.param.channels) + "ch";
                         });

TEST(Mp3Codec, EndOnChunkBoundaryStillFlushesTheEncoder) {
    // 2048-byte chunks of stereo 16-bit: 512 frames each, 100 chunks exactly.
    const auto source = MakeMusic(44100, 2, 51200.0 / 44100);
    ASSERT_EQ(source.size() * 2 % 2048, 0u);
    TACMConvertor enc;
    SetPcm(enc.FormatIn.Wfx(), 44100, 2);
    SetMp3(enc.FormatOut, 44100, 2, 128);
    const ProtocolRun encoded = RunProtocol(enc, AsBytes(source), 2048);
    // 51200 frames plus the delays need 46 frames of 417 or 418 bytes.
    EXPECT_GE(encoded.output.size(), 45u * 417);
}

std::filesystem::path ConformancePath(const std::string& name) {
    return std::filesystem::path(SONDREL_CONFORMANCE_DIR) / name;
}

// The whole MP3 to WAV routine (frame analysis, chunk loop, decoder) on
// the conformance streams, against the reference decoder's output.
class Conformance : public ::testing::TestWithParam<const char*> {};

TEST_P(Conformance, DecodesWithFullAccuracy) {
    const std::string name = GetParam();
    if (!std::filesystem::exists(ConformancePath(name + ".bit"))) GTEST_SKIP() << "conformance streams not found";
    const auto reference = AsSamples(ReadFile(ConformancePath(name + ".pcm")));
    TempDir dir;
    RecordingHost host;
    sondrel::TConverterCore core(host);
    core.Catalogue.Build();
    core.ConvertMP3WAV(ConformancePath(name + ".bit").string(), (dir / "out.wav").string());
    ASSERT_TRUE(host.errors.empty());
    const auto wav = ReadFile(dir / "out.wav");
    ASSERT_GT(wav.size(), 44u);
    const int channels = wav[22];
    const auto out = AsSamples(std::vector<std::uint8_t>(wav.begin() + 44, wav.end()));
    ASSERT_GE(out.size(), reference.size()) << "decoded " << out.size() << " of " << reference.size();
    // At most one frame more than the reference.
    EXPECT_LE(out.size() - reference.size(), static_cast<std::size_t>(1152 * channels));
    double sum = 0;
    int worst = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const int d = std::abs(out[i] - reference[i]);
        worst = std::max(worst, d);
        sum += static_cast<double>(d) * d;
    }
    const double rms = std::sqrt(sum / static_cast<double>(reference.size()));
    EXPECT_LT(rms, 0.29);
    EXPECT_LE(worst, 2);
}

INSTANTIATE_TEST_SUITE_P(Streams, Conformance,
                         ::testing::Values("l3-compl", "l3-he_32khz", "l3-he_44khz", "l3-he_48khz", "l3-he_free",
                                           "l3-hecommon", "l3-si", "l3-si_block", "l3-si_huff",
                                           "M2L3_bitrate_16_all", "M2L3_bitrate_22_all", "M2L3_bitrate_24_all",
                                           "M2L3_compl24", "M2L3_noise"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

}  // namespace

#include <lame/lame.h>

#include "platform/acm/mp3/Mp3BlockEncoder.h"
#include "platform/acm/mp3/Mp3Frames.h"

namespace {

// The library's VBR quality 2 of seconds of music, 44.1 kHz stereo, without
// an info frame.
std::vector<std::uint8_t> VbrStream(double seconds, unsigned seed) {
    const auto pcm = AsBytes(MakeMusic(44100, 2, seconds, seed));
    lame_global_flags* lame = acm::NewLameEncoder(acm::Mp3Settings{44100, 2, 190, 2}, false);
    if (!lame) return {};
    std::vector<std::uint8_t> stream(pcm.size());
    std::size_t made = acm::LameEncode(lame, 2, pcm.data(), pcm.size() / 4, stream.data(), stream.size());
    made += static_cast<std::size_t>(lame_encode_flush(lame, stream.data() + made, 7200));
    lame_close(lame);
    stream.resize(made);
    return stream;
}

// A variable-bitrate stream's frames, joined where the reservoir they were
// made with is not there (the start of a joined stream): each frame whose
// main data does not fit its own is made larger, and the stream decodes to
// the same samples as before, with no error.
TEST(Mp3Joiner, AVariableStreamsFramesAreMadeLargerWhereTheirDataNeedsTheRoom) {
    if (!HaveTool("mpg123")) GTEST_SKIP() << "mpg123 not installed";
    const std::vector<std::uint8_t> stream = VbrStream(6.0, 4);
    ASSERT_FALSE(stream.empty());
    std::vector<acm::L3Frame> frames;
    ASSERT_TRUE(acm::CutFrames(stream, frames));
    // From a frame whose main data begins in the frames before it.
    std::size_t from = 100;
    while (from < frames.size() && frames[from].reservoir < 100) ++from;
    ASSERT_LT(from + 50, frames.size());
    acm::FrameJoiner joiner(true, true);
    for (std::size_t i = from; i < frames.size(); ++i) joiner.Append(frames[i]);
    EXPECT_GE(joiner.Raised(), 1);
    // The same frames from the same place, in their own stream.
    std::size_t at = 0;
    for (std::size_t i = 0; i < from; ++i) at += frames[i].size;
    TempDir dir;
    WriteFile(dir / "joined.mp3", joiner.TakeAll());
    WriteFile(dir / "original.mp3", std::vector<std::uint8_t>(stream.begin() + static_cast<long>(at), stream.end()));
    EXPECT_TRUE(Shell("test -z \"$(mpg123 -t " + (dir / "joined.mp3").string() + " 2>&1 | grep -i 'error\\|warn')\""));
    for (const char* name : {"joined", "original"})
        ASSERT_TRUE(Shell("mpg123 -q -w " + (dir / (std::string(name) + ".wav")).string() + " " +
                          (dir / (std::string(name) + ".mp3")).string()));
    const auto joined = AsSamples(SplitWave(ReadFile(dir / "joined.wav")).data);
    const auto original = AsSamples(SplitWave(ReadFile(dir / "original.wav")).data);
    ASSERT_EQ(joined.size(), original.size());
    // (The first frame of the original has no main data of its own: both
    // decoders start from the second.)
    EXPECT_TRUE(std::equal(joined.begin() + 1152 * 2 * 2, joined.end(), original.begin() + 1152 * 2 * 2));
}

}  // namespace

#include "jobs/ConverterCore.h"

namespace {

// An MP3 whose first frame is a VBRI header (as another encoder writes it)
// instead of a Xing frame: MP3 -> WAV gives what mpg123 gives, sample for
// sample in length, as it always has.
TEST(Mp3Decode, AVbriHeaderDecodesAsMpg123DecodesIt) {
    if (!HaveTool("mpg123")) GTEST_SKIP() << "mpg123 not installed";
    const std::vector<std::uint8_t> audio = VbrStream(3.0, 6);
    ASSERT_FALSE(audio.empty());
    std::vector<acm::L3Frame> frames;
    ASSERT_TRUE(acm::CutFrames(audio, frames));
    // A 128 kbit/s frame holding "VBRI" 32 bytes after its side information.
    std::vector<std::uint8_t> file(417, 0);
    file[0] = 0xFF, file[1] = 0xFB, file[2] = 0x90, file[3] = 0x44;
    const auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * (bytes - 1 - i)));
    };
    std::memcpy(&file[36], "VBRI", 4);
    put(40, 1, 2);          // version
    put(42, 1105, 2);       // delay
    put(44, 75, 2);         // quality
    put(46, static_cast<std::uint32_t>(audio.size() + 417), 4);
    put(50, static_cast<std::uint32_t>(frames.size()), 4);
    put(54, 0, 2);          // no table of contents
    file.resize(417 + audio.size());
    std::copy(audio.begin(), audio.end(), file.begin() + 417);
    TempDir dir;
    WriteFile(dir / "vbri.mp3", file);
    testing_support::RecordingHost host;
    sondrel::TConverterCore core(host);
    core.Catalogue.Build();
    core.ConvertMP3WAV((dir / "vbri.mp3").string(), (dir / "ours.wav").string());
    ASSERT_TRUE(host.errors.empty());
    ASSERT_TRUE(Shell("mpg123 -q -w " + (dir / "theirs.wav").string() + " " + (dir / "vbri.mp3").string()));
    EXPECT_EQ(SplitWave(ReadFile(dir / "ours.wav")).data.size(), SplitWave(ReadFile(dir / "theirs.wav")).data.size());
}

}  // namespace

#include "platform/acm/mp3/Mp3BlockDecoder.h"
#include "platform/acm/mp3/Mp3BlockEncoder.h"

namespace {

// A converter over the whole catalogue, tags left out: the streams are
// compared byte for byte.
class Mp3BlockDecoding : public ::testing::Test {
protected:
    Mp3BlockDecoding() {
        core.Catalogue.Build();
        core.CarryTags = false;
    }
    // The catalogue's MP3 format of that rate, channel count and bitrate.
    void Choose(unsigned rate, int channels, int kbps) {
        for (int i = 0; i < core.Catalogue.MP3FormatCount(); ++i) {
            const auto& f = *reinterpret_cast<const WAVEFORMATEX*>(core.Catalogue.MP3FormatTable[static_cast<std::size_t>(i)].data());
            if (f.nSamplesPerSec == rate && f.nChannels == channels && f.nAvgBytesPerSec == static_cast<DWORD>(kbps * 125))
                core.Mp3FormatIndex = i;
        }
    }

    TempDir dir;
    RecordingHost host;
    sondrel::TConverterCore core{host};
};

// One stream decoded on 2 and 4 workers, in blocks of a few frames (so
// that even a two-second file has seams, each checked), gives the bytes of
// one decoder: every format of the catalogue (CBR and VBR, MPEG-1 and 2,
// mono and stereo), the conformance streams (free format, a change from
// mono to stereo, every bitrate in turn), lame's own streams where the
// reservoir reaches far back (8 and 32 kBit/s, VBR quality 0) and another
// encoder's. No seam needs one decoder to go on alone.
TEST_F(Mp3BlockDecoding, TheSameBytesAsOneDecoder) {
    std::vector<std::filesystem::path> streams;
    const auto wav = [&](unsigned rate, int channels) {
        const auto name = dir / ("src" + std::to_string(rate) + "_" + std::to_string(channels) + ".wav");
        if (!std::filesystem::exists(name)) WriteFile(name, MakeWav(MakeMusic(rate, channels, 2.0), rate, channels));
        return name.string();
    };
    for (int i = 0; i < core.Catalogue.MP3FormatCount(); ++i) {
        const auto& f = *reinterpret_cast<const WAVEFORMATEX*>(core.Catalogue.MP3FormatTable[static_cast<std::size_t>(i)].data());
        core.Mp3FormatIndex = i;
        streams.push_back(dir / ("f" + std::to_string(i) + ".mp3"));
        core.ConvertWAVMP3(wav(f.nSamplesPerSec, f.nChannels), streams.back().string());
    }
    for (const char* name : {"l3-he_free", "l3-he_mode", "l3-he_44khz", "M2L3_bitrate_22_all", "l3-sin1k0db", "l3-compl"})
        if (std::filesystem::exists(ConformancePath(std::string(name) + ".bit")))
            streams.push_back(ConformancePath(std::string(name) + ".bit"));
    if (HaveTool("lame")) {
        for (const char* options : {"-b 8 -m m", "-b 32", "-V 0"}) {
            streams.push_back(dir / ("lame" + std::to_string(streams.size()) + ".mp3"));
            ASSERT_TRUE(Shell("lame --quiet " + std::string(options) + " " + wav(44100, 2) + " " + streams.back().string()));
        }
    }
    // Another encoder's streams (fixed-point, no info frame).
    if (HaveTool("ffmpeg"))
        for (const auto& [rate, channels] : {std::pair{44100u, 2}, std::pair{32000u, 1}}) {
            streams.push_back(dir / ("shine" + std::to_string(streams.size()) + ".mp3"));
            Shell("ffmpeg -v error -i " + wav(rate, channels) + " -c:a libshine -b:a 64k " + streams.back().string());
            if (!std::filesystem::exists(streams.back())) streams.pop_back();  // an ffmpeg without it
        }
    ASSERT_TRUE(host.errors.empty());
    acm::SetMp3DecodeBlockFrames(20);
    const acm::Mp3DecodeStats before = acm::Mp3DecodeStatistics();
    for (const auto& stream : streams) {
        SCOPED_TRACE(stream.filename().string());
        std::vector<std::uint8_t> one;
        for (const int workers : {1, 2, 4}) {
            acm::SetStreamWorkers(workers);
            core.ConvertMP3WAV(stream.string(), (dir / "out.wav").string());
            const auto out = ReadFile(dir / "out.wav");
            if (workers == 1)
                one = out;
            else
                EXPECT_TRUE(out == one) << workers << " workers";
        }
    }
    const acm::Mp3DecodeStats after = acm::Mp3DecodeStatistics();
    EXPECT_GT(after.blocks - before.blocks, 2 * static_cast<long>(streams.size()));
    EXPECT_EQ(after.fallbacks, before.fallbacks);
    // Where a seam does not hold, one decoder goes on from the block
    // before (the first, or one in the middle that must then trim the
    // stream's end itself): the same bytes again.
    for (const long failing : {1L, 2L, 3L}) {
        acm::SetMp3DecodeSeamsFailFrom(failing);
        for (const auto& stream : {streams[0], streams[40], streams.back()}) {
            acm::SetStreamWorkers(1);
            core.ConvertMP3WAV(stream.string(), (dir / "one.wav").string());
            acm::SetStreamWorkers(2);
            core.ConvertMP3WAV(stream.string(), (dir / "two.wav").string());
            EXPECT_TRUE(ReadFile(dir / "one.wav") == ReadFile(dir / "two.wav")) << stream << " from block " << failing;
        }
    }
    EXPECT_GT(acm::Mp3DecodeStatistics().fallbacks, after.fallbacks);
    acm::SetMp3DecodeSeamsFailFrom(-1);
    acm::SetStreamWorkers(0);
    acm::SetMp3DecodeBlockFrames(0);
    EXPECT_TRUE(host.errors.empty());
}

// Every length of rest a stream can end on, from less than a block to two
// (a long one goes out in halves), gives one decoder's bytes; so does one
// decoder going on from a block whose successor fails its seam near the
// end, which must then trim the encoder's padding itself. Streams of 40 to
// 100 frames in blocks of 20, at 22.05 kHz mono and 128 kBit/s (frames
// large enough to carry the info frame that trims the end).
TEST_F(Mp3BlockDecoding, EveryRestAtTheEndAsOneDecoder) {
    Choose(22050, 1, 128);
    const auto decoded = [&](int workers, long failing) {
        acm::SetStreamWorkers(workers);
        acm::SetMp3DecodeSeamsFailFrom(failing);
        core.ConvertMP3WAV((dir / "s.mp3").string(), (dir / "out.wav").string());
        return ReadFile(dir / "out.wav");
    };
    acm::SetMp3DecodeBlockFrames(20);
    for (int frames = 40; frames <= 100; ++frames) {
        SCOPED_TRACE(frames);
        WriteFile(dir / "s.wav", MakeWav(MakeMusic(22050, 1, frames * 576 / 22050.0), 22050, 1));
        acm::SetStreamWorkers(0);
        core.ConvertWAVMP3((dir / "s.wav").string(), (dir / "s.mp3").string());
        const auto one = decoded(1, -1);
        EXPECT_TRUE(decoded(2, -1) == one);
        EXPECT_TRUE(decoded(4, -1) == one);
        EXPECT_TRUE(decoded(2, 2) == one);
    }
    acm::SetMp3DecodeSeamsFailFrom(-1);
    acm::SetStreamWorkers(0);
    acm::SetMp3DecodeBlockFrames(0);
    EXPECT_TRUE(host.errors.empty());
}

// Files as other programs leave them: streams glued together (another
// rate, another MPEG version, the same format with an info frame of its
// own, a tag between them), junk or a cut in the middle, a damaged frame
// header, tags at the end. Decoded in blocks on 2 and 4 workers they give
// one decoder's bytes, all of them (nothing left over at the end, which
// every core test checks).
TEST_F(Mp3BlockDecoding, FilesAsOtherProgramsLeaveThem) {
    const auto encode = [&](unsigned rate, int channels, int kbps, double seconds, unsigned seed) {
        Choose(rate, channels, kbps);
        WriteFile(dir / "part.wav", MakeWav(MakeMusic(rate, channels, seconds, seed), rate, channels));
        core.ConvertWAVMP3((dir / "part.wav").string(), (dir / "part.mp3").string());
        return ReadFile(dir / "part.mp3");
    };
    acm::SetStreamWorkers(1);
    const auto a = encode(44100, 2, 128, 6.0, 1), b = encode(48000, 2, 128, 3.0, 2), c = encode(22050, 1, 64, 3.0, 3),
               d = encode(44100, 2, 128, 3.0, 4), e = encode(48000, 2, 32, 0.05, 5);
    // Bytes beginning with head, n of them.
    const auto bytes = [](std::string head, std::size_t n) {
        head.resize(n, ' ');
        return std::vector<std::uint8_t>(head.begin(), head.end());
    };
    const auto glued = [](std::initializer_list<std::vector<std::uint8_t>> parts) {
        std::vector<std::uint8_t> x;
        for (const auto& part : parts) x.insert(x.end(), part.begin(), part.end());
        return x;
    };
    // a with cut bytes from a frame header about a fraction of the way in
    // (and into bytes past it) put in place of others.
    const auto damaged = [&](double fraction, long into, long cut, const std::vector<std::uint8_t>& put) {
        std::vector<std::uint8_t> x = a;
        auto at = static_cast<long>(fraction * static_cast<double>(a.size()));
        while (!(x[static_cast<std::size_t>(at)] == 0xFF && x[static_cast<std::size_t>(at) + 1] == 0xFB)) ++at;
        x.erase(x.begin() + at + into, x.begin() + at + into + cut);
        x.insert(x.begin() + at + into, put.begin(), put.end());
        return x;
    };
    std::vector<std::uint8_t> junk(5000);
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> files = {
        {"another rate glued on", glued({a, b})},
        // (Shorter than a tag may be: the last block's decoder meets it.)
        {"a moment of another rate glued on", glued({a, e})},
        {"another version glued on", glued({a, c})},
        {"the same format glued on", glued({a, d})},
        {"a tag between glued files", glued({a, bytes(std::string("ID3\3\0\0\0\0\17\120", 10), 2010), d})},
        {"tags at the end", glued({a, bytes("TAG", 128), bytes("APETAGEX", 608)})},
        {"junk in the middle", damaged(0.4, 0, 0, junk)},
        {"a little junk", damaged(0.4, 0, 0, {0x55, 0x55, 0x55})},
        {"a frame cut short", damaged(0.5, 100, 300, {})},
        {"a damaged header", damaged(0.5, 0, 4, {0xFF, 0xFF, 0x12, 0x34})},
    };
    acm::SetMp3DecodeBlockFrames(20);
    for (const auto& [what, file] : files) {
        SCOPED_TRACE(what);
        WriteFile(dir / "s.mp3", file);
        std::vector<std::uint8_t> one;
        for (const int workers : {1, 2, 4}) {
            acm::SetStreamWorkers(workers);
            core.ConvertMP3WAV((dir / "s.mp3").string(), (dir / "out.wav").string());
            const auto out = ReadFile(dir / "out.wav");
            if (workers == 1) one = out;
            EXPECT_TRUE(out == one) << workers << " workers: " << out.size() << " bytes, one decoder " << one.size();
        }
    }
    acm::SetStreamWorkers(0);
    acm::SetMp3DecodeBlockFrames(0);
    EXPECT_TRUE(host.errors.empty());
}


}  // namespace
