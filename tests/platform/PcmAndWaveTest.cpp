// The PCM converter and the wave decoder through the acm* calls, the wave
// decoder against sox's own decoding of the files sox makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "codec/ACMConvertor.h"
#include "platform/acm/pcm/BlockResampler.h"
#include "platform/acm/Driver.h"
#include "platform/acm/mp3/Mp3BlockEncoder.h"
#include "support/Audio.h"

using namespace testing_support;
using sondrel::TACMConvertor;

namespace {

void SetPcm(sondrel::TFormatArea& a, DWORD rate, WORD ch, WORD bits) {
    a.Bytes.fill(0);
    a.Wfx() = acm::PcmFormat(rate, ch, bits);
}

std::vector<std::uint8_t> Convert(const std::vector<std::uint8_t>& src, DWORD inRate, WORD inCh, WORD inBits,
                                  DWORD outRate, WORD outCh, WORD outBits, DWORD chunk) {
    TACMConvertor c;
    SetPcm(c.FormatIn, inRate, inCh, inBits);
    SetPcm(c.FormatOut, outRate, outCh, outBits);
    ProtocolRun run = RunProtocol(c, src, chunk);
    EXPECT_FALSE(run.overran);
    return run.output;
}

TEST(PcmConverter, HalvingAndDoublingTheRateKeepsToneAndLevel) {
    const auto tone = MakeTone(44100, 2, 2.0, 1000.0, 10000.0);
    const auto half = AsSamples(Convert(AsBytes(tone), 44100, 2, 16, 22050, 2, 16, 4096));
    EXPECT_NEAR(static_cast<double>(half.size()), tone.size() / 2.0, 4.0);
    EXPECT_NEAR(ZeroCrossingHz(half, 2, 22050), 1000.0, 2.0);
    EXPECT_NEAR(Rms(half), Rms(tone), Rms(tone) * 0.01);
    const auto back = AsSamples(Convert(AsBytes(half), 22050, 2, 16, 44100, 2, 16, 4096));
    EXPECT_NEAR(static_cast<double>(back.size()), tone.size(), 8.0);
    EXPECT_NEAR(ZeroCrossingHz(back, 2, 44100), 1000.0, 2.0);
    EXPECT_GE(SnrDb(tone, back, 2, BestLag(tone, back, 2, 100)), 60.0);
}

TEST(PcmConverter, SampleSizeAndChannels) {
    const auto tone = MakeTone(22050, 2, 0.5, 440.0, 16000.0);
    // 16 to 8 bits: the top byte, rounded, offset by 128.
    const auto eight = Convert(AsBytes(tone), 22050, 2, 16, 22050, 2, 8, 2048);
    ASSERT_EQ(eight.size(), tone.size());
    for (std::size_t i = 0; i < tone.size(); i += 97)
        EXPECT_NEAR(static_cast<int>(eight[i]) - 128, tone[i] / 256.0, 0.51) << i;

    // Stereo to mono averages; mono to stereo doubles.
    std::vector<std::int16_t> lr;
    for (int i = 0; i < 1000; ++i) {
        lr.push_back(static_cast<std::int16_t>(i * 10));
        lr.push_back(static_cast<std::int16_t>(-i * 4));
    }
    const auto mono = AsSamples(Convert(AsBytes(lr), 8000, 2, 16, 8000, 1, 16, 2048));
    ASSERT_EQ(mono.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_NEAR(mono[i], i * 3, 1) << i;
    const auto stereo = AsSamples(Convert(AsBytes(mono), 8000, 1, 16, 8000, 2, 16, 2048));
    ASSERT_EQ(stereo.size(), 2000u);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(stereo[2 * i], mono[i]);
        EXPECT_EQ(stereo[2 * i + 1], mono[i]);
    }
    // At another rate too: both channels are the mono signal resampled.
    const auto voice = AsBytes(MakeTone(22050, 1, 0.5, 440.0, 16000.0));
    for (DWORD rate : {11025u, 44100u}) {
        const auto one = AsSamples(Convert(voice, 22050, 1, 16, rate, 1, 16, 2048));
        const auto two = AsSamples(Convert(voice, 22050, 1, 16, rate, 2, 16, 2048));
        ASSERT_EQ(two.size(), 2 * one.size());
        for (std::size_t i = 0; i < one.size(); ++i)
            ASSERT_TRUE(two[2 * i] == one[i] && two[2 * i + 1] == one[i]) << rate << " Hz, frame " << i;
    }

    // 8-bit mono up to 24-bit stereo and back is lossless.
    std::vector<std::uint8_t> bytes(3000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    const auto wide = Convert(bytes, 11025, 1, 8, 11025, 2, 24, 1000);
    ASSERT_EQ(wide.size(), bytes.size() * 6);
    EXPECT_EQ(Convert(wide, 11025, 2, 24, 11025, 1, 8, 999), bytes);
}

// Samples that fall between the target's steps: every one lands on the
// nearest step (ties to even), not on the one below, and full scale clips.
// 16-bit sources would hide the difference, so 24-bit, float and 16-bit
// into 8 bits, each value against its correctly rounded result.
TEST(PcmConverter, SamplesBetweenStepsRoundToTheNearest) {
    struct Row {
        const char* name;
        WORD tag, inBits, outBits;
    } rows[] = {{"24 to 16 bit", WAVE_FORMAT_PCM, 24, 16},
                {"24 to 8 bit", WAVE_FORMAT_PCM, 24, 8},
                {"16 to 8 bit", WAVE_FORMAT_PCM, 16, 8},
                {"float to 16 bit", WAVE_FORMAT_IEEE_FLOAT, 32, 16}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // Values across the range, with every remainder below one output
        // step and the halfway points among them.
        std::vector<double> values;  // as fractions of full scale
        const double inScale = r.tag == WAVE_FORMAT_IEEE_FLOAT ? 8388608.0 : std::ldexp(1.0, r.inBits - 1);
        for (long k = -3000; k <= 3000; ++k) values.push_back((k * 2796.0 + (k % 300)) / 8388608.0);
        for (double v : {-1.0, 1.0 - 1 / inScale, 0.5 / 32768, 1.5 / 32768, -0.5 / 32768, 127.5 / 128, -128.5 / 128})
            values.push_back(v);
        std::vector<std::uint8_t> data;
        for (double v : values) {
            if (r.tag == WAVE_FORMAT_IEEE_FLOAT) {
                const float f = static_cast<float>(v);
                std::uint8_t b[4];
                std::memcpy(b, &f, 4);
                data.insert(data.end(), b, b + 4);
                continue;
            }
            const long q = std::lround(std::clamp(v * inScale, -inScale, inScale - 1));
            for (int i = 0; i < r.inBits / 8; ++i) data.push_back(static_cast<std::uint8_t>(q >> (8 * i)));
        }
        TACMConvertor c;
        c.FormatIn.Wfx() = WAVEFORMATEX{r.tag, 1, 8000, 8000u * r.inBits / 8, static_cast<WORD>(r.inBits / 8), r.inBits, 0};
        SetPcm(c.FormatOut, 8000, 1, r.outBits);
        const auto out = RunProtocol(c, data, 999).output;
        ASSERT_EQ(out.size(), values.size() * r.outBits / 8);
        const double outScale = std::ldexp(1.0, r.outBits - 1);
        for (std::size_t i = 0; i < values.size(); ++i) {
            // What the source file holds, brought to the target's steps.
            const double held = r.tag == WAVE_FORMAT_IEEE_FLOAT
                                    ? static_cast<float>(values[i])
                                    : std::lround(std::clamp(values[i] * inScale, -inScale, inScale - 1)) / inScale;
            const long want = std::lrint(std::clamp(std::nearbyint(held * outScale), -outScale, outScale - 1));
            const long got = r.outBits == 8 ? out[i] - 128 : static_cast<std::int16_t>(out[2 * i] | (out[2 * i + 1] << 8));
            ASSERT_EQ(got, want) << "value " << values[i] << " at " << i;
        }
    }
}

TEST(PcmConverter, ChunkSizeDoesNotChangeTheBytes) {
    const auto music = AsBytes(MakeMusic(44100, 2, 1.5));
    const auto big = Convert(music, 44100, 2, 16, 22050, 1, 8, 65536);
    const auto tiny = Convert(music, 44100, 2, 16, 22050, 1, 8, 1);
    const auto odd = Convert(music, 44100, 2, 16, 22050, 1, 8, 333);
    EXPECT_EQ(big.size(), tiny.size());
    EXPECT_TRUE(big == tiny);
    EXPECT_TRUE(big == odd);
    const auto up = Convert(music, 44100, 2, 16, 48000, 2, 16, 65536);
    EXPECT_TRUE(up == Convert(music, 44100, 2, 16, 48000, 2, 16, 1));
}

// A long signal is resampled in chunks on every core: the bytes one
// resampler over the whole signal gives, for every pair of rates (up,
// down, by whole and odd ratios), mono made stereo and stereo made mono,
// on one worker and on several, with chunks short enough for many seams.
TEST(PcmConverter, ResampledInChunksOnEveryCoreAsByOneResampler) {
    const DWORD rates[] = {8000, 11025, 22050, 32000, 44100, 48000, 96000};
    int pair = 0;
    for (const DWORD in : rates) {
        for (const DWORD out : rates) {
            if (in == out) continue;
            const WORD inCh = static_cast<WORD>(1 + pair % 2), outCh = static_cast<WORD>(1 + (pair / 2) % 2);
            ++pair;
            SCOPED_TRACE(std::to_string(in) + " Hz, " + std::to_string(inCh) + " ch to " + std::to_string(out) + " Hz, " +
                         std::to_string(outCh) + " ch");
            const auto music = AsBytes(MakeMusic(in, inCh, 2.3, pair));
            acm::SetResampleChunkFrames(3 * in);  // longer than the signal: one resampler
            const auto whole = Convert(music, in, inCh, 16, out, outCh, 16, 4096);
            ASSERT_NEAR(static_cast<double>(whole.size()) / 2 / outCh,
                        static_cast<double>(music.size()) / 2 / inCh * out / in, 2.0);
            acm::SetResampleChunkFrames(in / 7);
            for (const int workers : {1, 2, 4}) {
                acm::SetStreamWorkers(workers);
                EXPECT_TRUE(Convert(music, in, inCh, 16, out, outCh, 16, 4096) == whole) << workers << " workers";
            }
        }
    }
    acm::SetResampleChunkFrames(0);
    acm::SetStreamWorkers(0);
}

struct SoxCase {
    const char* name;
    const char* options;  // sox output options
    double minSnr;        // 0: bit-exact
};

class WaveDecoder : public ::testing::TestWithParam<SoxCase> {};

TEST_P(WaveDecoder, MatchesSoxDecoding) {
    if (!HaveTool("sox")) GTEST_SKIP() << "sox not installed";
    const SoxCase p = GetParam();
    TempDir dir;
    WriteFile(dir / "src.wav", MakeWav(MakeMusic(8000, 2, 2.0), 8000, 2));
    ASSERT_TRUE(Shell("sox " + (dir / "src.wav").string() + " " + p.options + " " + (dir / "coded.wav").string()));
    ASSERT_TRUE(Shell("sox " + (dir / "coded.wav").string() + " -b 16 -e signed-integer -D " + (dir / "ref.wav").string()));
    const WaveParts coded = SplitWave(ReadFile(dir / "coded.wav"));
    const WaveParts ref = SplitWave(ReadFile(dir / "ref.wav"));
    ASSERT_GE(coded.format.size(), 16u);

    TACMConvertor c;
    c.FormatIn.Bytes.fill(0);
    std::memcpy(c.FormatIn.Bytes.data(), coded.format.data(), coded.format.size());
    if (coded.format.size() < 18) c.FormatIn.Wfx().cbSize = 0;
    const WAVEFORMATEX& in = c.FormatIn.Wfx();
    SetPcm(c.FormatOut, in.nSamplesPerSec, in.nChannels, 16);
    const DWORD chunk = in.nBlockAlign * (in.nBlockAlign > 16 ? 4 : 1024);
    const ProtocolRun run = RunProtocol(c, coded.data, chunk);
    EXPECT_FALSE(run.overran);
    EXPECT_EQ(run.failures, 0);
    const auto out = AsSamples(run.output);
    const auto expected = AsSamples(ref.data);
    ASSERT_GT(expected.size(), 1000u);
    EXPECT_NEAR(static_cast<double>(out.size()), static_cast<double>(expected.size()), 2.0 * in.nBlockAlign * 2)
        << p.name;
    if (p.minSnr == 0) {
        const std::size_t n = std::min(out.size(), expected.size());
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<long>(n), expected.begin())) << p.name;
    } else {
        EXPECT_GE(SnrDb(expected, out, in.nChannels, 0), p.minSnr) << p.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Sox, WaveDecoder,
                         ::testing::Values(SoxCase{"ima", "-e ima-adpcm", 40}, SoxCase{"ms", "-e ms-adpcm", 40},
                                           SoxCase{"alaw", "-e a-law", 0}, SoxCase{"ulaw", "-e u-law", 0},
                                           SoxCase{"gsm", "-c 1 -e gsm-full-rate", 40},
                                           SoxCase{"float", "-e floating-point -b 32", 0},
                                           SoxCase{"s24", "-b 24", 0}, SoxCase{"s32", "-b 32", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WaveDecoder, NanAndInfinityInAFloatFileAreSilenceAndFullScale) {
    // Found by fuzzing: a NaN sample was converted to an integer unchecked.
    const float values[] = {0.5f, NAN, -NAN, INFINITY, -INFINITY, 2.0f, -0.25f, 0.0f};
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 1000; ++i) {
        std::uint8_t b[4];
        std::memcpy(b, &values[i % 8], 4);
        data.insert(data.end(), b, b + 4);
    }
    TACMConvertor c;
    c.FormatIn.Wfx() = WAVEFORMATEX{WAVE_FORMAT_IEEE_FLOAT, 1, 8000, 32000, 4, 32, 0};
    SetPcm(c.FormatOut, 8000, 1, 16);
    const auto out = AsSamples(RunProtocol(c, data, 400).output);
    ASSERT_EQ(out.size(), 1000u);
    const std::int16_t expected[] = {16384, 0, 0, 32767, -32768, 32767, -8192, 0};
    for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], expected[i % 8]) << i;
}

TEST(WaveDecoder, ExtensibleFloatIntoAnotherRateIsChained) {
    // WAVE_FORMAT_EXTENSIBLE with the IEEE float sub-format, 48 kHz stereo.
    const std::uint8_t format[40] = {0xFE, 0xFF, 2, 0, 0x80, 0xBB, 0, 0, 0, 0xDC, 5, 0, 8, 0, 32, 0, 22, 0, 32, 0,
                                     3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 48000; ++i) {
        const float v = static_cast<float>(0.25 * std::sin(2 * M_PI * 1000.0 * i / 48000));
        std::uint8_t b[4];
        std::memcpy(b, &v, 4);
        for (int c = 0; c < 2; ++c) data.insert(data.end(), b, b + 4);
    }
    TACMConvertor c;
    std::memcpy(c.FormatIn.Bytes.data(), format, sizeof format);
    SetPcm(c.FormatOut, 44100, 1, 16);
    const ProtocolRun run = RunProtocol(c, data, 8 * 512);
    EXPECT_EQ(run.failures, 0);
    const auto out = AsSamples(run.output);
    EXPECT_NEAR(static_cast<double>(out.size()), 44100, 20);
    EXPECT_NEAR(ZeroCrossingHz(out, 1, 44100), 1000.0, 3.0);
    EXPECT_NEAR(Rms(out), 0.25 * 32768 / std::sqrt(2.0), 60);
}

}  // namespace

namespace {

// Full-scale samples through every width and rate change land on the
// largest and smallest value of the target width, and never wrap round to
// the other end.
TEST(SampleEdges, FullScaleClipsAndNeverWraps) {
    // Plateaus at full scale joined by smooth half-cosine swings, so that
    // a resampler's overshoot at the plateaus must be clipped.
    const int plateau = 300, swing = 300, rounds = 3;
    std::vector<double> shape;
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < plateau; ++i) shape.push_back(1.0);
        for (int i = 0; i < swing; ++i) shape.push_back(std::cos(M_PI * i / swing));
        for (int i = 0; i < plateau; ++i) shape.push_back(-1.0);
        for (int i = 0; i < swing; ++i) shape.push_back(-std::cos(M_PI * i / swing));
    }
    struct In {
        const char* name;
        WORD tag, bits;
    };
    const In inputs[] = {{"8-bit", WAVE_FORMAT_PCM, 8},   {"16-bit", WAVE_FORMAT_PCM, 16},
                         {"24-bit", WAVE_FORMAT_PCM, 24}, {"32-bit", WAVE_FORMAT_PCM, 32},
                         {"float", WAVE_FORMAT_IEEE_FLOAT, 32}};
    for (const In& in : inputs) {
        // The input's own extremes: the largest positive and the most
        // negative code (a float file reaches a little past full scale).
        std::vector<std::uint8_t> bytes;
        for (double v : shape) {
            if (in.tag == WAVE_FORMAT_IEEE_FLOAT) {
                const float f = static_cast<float>(v * 1.25);
                const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
                bytes.insert(bytes.end(), p, p + 4);
                continue;
            }
            const std::int64_t hi = (std::int64_t{1} << (in.bits - 1)) - 1, lo = -hi - 1;
            std::int64_t q = v >= 1.0 ? hi : v <= -1.0 ? lo : static_cast<std::int64_t>(std::lround(v * hi));
            if (in.bits == 8) q += 128;
            for (int b = 0; b < in.bits / 8; ++b) bytes.push_back(static_cast<std::uint8_t>(q >> (8 * b)));
        }
        for (WORD outBits : {8, 16, 24}) {
            for (DWORD outRate : {44100u, 22050u, 48000u}) {
                SCOPED_TRACE(std::string(in.name) + " to " + std::to_string(outBits) + " bit at " +
                             std::to_string(outRate));
                TACMConvertor c;
                c.FormatIn.Bytes.fill(0);
                WAVEFORMATEX& f = c.FormatIn.Wfx();
                f.wFormatTag = in.tag;
                f.nChannels = 1;
                f.nSamplesPerSec = 44100;
                f.wBitsPerSample = in.bits;
                f.nBlockAlign = static_cast<WORD>(in.bits / 8);
                f.nAvgBytesPerSec = 44100 * f.nBlockAlign;
                SetPcm(c.FormatOut, outRate, 1, outBits);
                const ProtocolRun run = RunProtocol(c, bytes, 4096);
                ASSERT_FALSE(run.overran);
                const int width = outBits / 8;
                const std::int64_t hi = (std::int64_t{1} << (outBits - 1)) - 1, lo = -hi - 1;
                std::vector<std::int64_t> out;
                for (std::size_t i = 0; i + width <= run.output.size(); i += width) {
                    std::int64_t v = 0;
                    for (int b = 0; b < width; ++b) v |= std::int64_t{run.output[i + b]} << (8 * b);
                    if (outBits == 8)
                        v -= 128;
                    else if (v & (std::int64_t{1} << (outBits - 1)))
                        v -= std::int64_t{1} << outBits;
                    out.push_back(v);
                }
                const double ratio = outRate / 44100.0;
                ASSERT_NEAR(static_cast<double>(out.size()), shape.size() * ratio, 64.0);
                // The middle of each plateau sits on the extreme: the most
                // negative code exactly; the input's largest positive code
                // scaled to the target width (127 of 8 bits is 32512 of 16,
                // 32767 of 16 bits is 127 of 8), never beyond the largest.
                const double inTop = in.tag == WAVE_FORMAT_IEEE_FLOAT
                                         ? 1.25
                                         : static_cast<double>((std::int64_t{1} << (in.bits - 1)) - 1) /
                                               static_cast<double>(std::int64_t{1} << (in.bits - 1));
                const std::int64_t top = std::min<std::int64_t>(hi, std::llround(inTop * static_cast<double>(hi + 1)));
                // A resampled plateau keeps the filter's ripple (a ten-
                // thousandth of full scale).
                const std::int64_t ripple = outRate == 44100 ? 0 : hi / 10000 + 1;
                for (int r = 0; r < rounds; ++r) {
                    const int high = r * 2 * (plateau + swing) + plateau / 2;
                    const int bottom = high + plateau + swing;
                    EXPECT_NEAR(out[static_cast<std::size_t>(high * ratio)], top, ripple) << "round " << r;
                    EXPECT_NEAR(out[static_cast<std::size_t>(bottom * ratio)], lo, ripple) << "round " << r;
                }
                EXPECT_EQ(*std::max_element(out.begin(), out.end()), in.bits >= outBits || ripple ? hi : top);
                EXPECT_EQ(*std::min_element(out.begin(), out.end()), lo);
                // A wrap jumps from one end to the other between neighbours;
                // the swings and the resampler's start move far less.
                std::int64_t largestStep = 0;
                for (std::size_t i = 1; i < out.size(); ++i)
                    largestStep = std::max<std::int64_t>(largestStep, std::llabs(out[i] - out[i - 1]));
                EXPECT_LT(largestStep, hi / 2);
            }
        }
    }
}

}  // namespace
