// MP3 files as other programs leave them: a second ID3v2 tag in front of
// the first, junk before the audio (with false frame headers in it), a
// download begun in the middle of a frame, header bits set at random, two
// streams of different formats joined, tags and junk behind. Every fault
// on every kind of stream (MPEG-1, 2 and 2.5, mono and stereo, VBR, free
// format), generated: the WAV has the format mpg123 decodes, and its
// sound, in the plain, the CD-quality and the batch conversion alike.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>

#include "codec/FrameAnalysis.h"
#include "codec/LittleEndian.h"
#include "jobs/BatchEngine.h"
#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Stream {
    const char* name;
    unsigned rate;
    int channels;
    const char* lame;
};

const Stream kStreams[] = {
    {"44.1 kHz stereo", 44100, 2, "-b 128"},
    {"22.05 kHz mono", 22050, 1, "-m m -b 32 --resample 22.05"},
    {"48 kHz mono VBR", 48000, 1, "-m m -V 5 --resample 48"},
    {"16 kHz stereo", 16000, 2, "-b 32 --resample 16"},
    {"8 kHz mono (MPEG-2.5)", 8000, 1, "-m m -b 8 --resample 8"},
    {"32 kHz free format", 32000, 2, "--freeformat -b 200 --resample 32"},
};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Syncsafe(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 21 & 0x7F), static_cast<std::uint8_t>(v >> 14 & 0x7F),
            static_cast<std::uint8_t>(v >> 7 & 0x7F), static_cast<std::uint8_t>(v & 0x7F)};
}

// An ID3v2.3 tag of text frames in UTF-16 with a byte order mark, as many
// taggers write them: FF FE and the first letter read as a frame header
// ("Hallo": Layer I at 32 kHz).
Bytes Utf16Tag(const std::vector<std::pair<std::string, std::string>>& texts) {
    Bytes body;
    for (const auto& [id, text] : texts) {
        Bytes data = {1, 0xFF, 0xFE};
        for (char c : text) data.insert(data.end(), {static_cast<std::uint8_t>(c), 0});
        body.insert(body.end(), id.begin(), id.end());
        for (int shift = 24; shift >= 0; shift -= 8) body.push_back(static_cast<std::uint8_t>(data.size() >> shift));
        body.insert(body.end(), {0, 0});
        body = body + data;
    }
    return Bytes{'I', 'D', '3', 3, 0, 0} + Syncsafe(static_cast<std::uint32_t>(body.size())) + body;
}

// Junk as a damaged download or a tagger's leftovers hold it: random
// bytes with frame headers of every other format planted in it.
Bytes Junk(std::mt19937& rng, std::size_t size) {
    Bytes junk(size);
    for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
    for (std::size_t at = rng() % 64; at + 4 <= size; at += 40 + rng() % 400) {
        const std::uint8_t versions[] = {0xE0, 0xF0, 0xF8};  // 2.5, 2, 1
        junk[at] = 0xFF;
        junk[at + 1] = static_cast<std::uint8_t>(versions[rng() % 3] | (1 + rng() % 3) << 1 | 1);
        junk[at + 2] = static_cast<std::uint8_t>((1 + rng() % 14) << 4 | (rng() % 3) << 2);
        junk[at + 3] = static_cast<std::uint8_t>(rng());
    }
    return junk;
}

// Frame starts of a plain Layer III stream, by the frames' lengths (a
// free-format one by the next header).
std::vector<std::size_t> FrameStarts(const Bytes& s) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i + 4 <= s.size() && s[i] == 0xFF;) {
        at.push_back(i);
        std::size_t length = static_cast<std::size_t>(Layer3FrameBytes(&s[i]));
        for (std::size_t j = i + 100; length == 0 && j + 4 <= s.size(); ++j)
            if (s[j] == 0xFF && s[j + 1] == s[i + 1] && (s[j + 2] & 0xFC) == (s[i + 2] & 0xFC)) length = j - i;
        if (length == 0) break;
        i += length;
    }
    return at;
}

// The faults, as a function of the clean stream (and of a second stream of
// another format, for the joined file, whose sound the WAV gets too).
struct Fault {
    std::string name;
    std::function<Bytes(const Bytes& stream, const Bytes& other, std::mt19937& rng)> make;
    bool joined = false;
    int framesLost = 0;  // at most, at the start
    // The WAV holds what mpg123 decodes of the damaged file, sample for
    // sample (its info frame's delay and padding trimmed).
    bool asMpg123 = false;
};
// Two streams joined: the second one's info frame is a frame of silence
// in the middle, and its encoder delay and padding stay.
constexpr int kJoinedSlackFrames = 3;

std::vector<Fault> Faults() {
    std::vector<Fault> faults;
    faults.push_back({"as written", [](const Bytes& s, const Bytes&, std::mt19937&) { return s; }});
    faults.push_back({"a second ID3v2 tag with UTF-16 texts behind the first",
                      [](const Bytes& s, const Bytes&, std::mt19937&) {
                          return Utf16Tag({{"TIT2", "Neu"}}) +
                                 Utf16Tag({{"TIT2", "Hallo"}, {"TPE1", "Hans"}, {"TALB", "Ha"}}) + s;
                      }});
    for (const std::size_t size : {3u, 517u, 2900u, 4100u, 6000u})
        faults.push_back({"junk of " + std::to_string(size) + " bytes in front",
                          [size](const Bytes& s, const Bytes&, std::mt19937& rng) { return Junk(rng, size) + s; }});
    faults.push_back({"a tag, zero bytes, then junk", [](const Bytes& s, const Bytes&, std::mt19937& rng) {
                          return Utf16Tag({{"TIT2", "Hi"}}) + Bytes(300, 0) + Junk(rng, 1500) + s;
                      }});
    faults.push_back({"begun in the middle of the first frame", [](const Bytes& s, const Bytes&, std::mt19937&) {
                          const auto starts = FrameStarts(s);
                          return Bytes(s.begin() + static_cast<long>(starts.at(1) / 2), s.end());
                      }, false, 1});
    faults.push_back({"begun in the middle of the second frame", [](const Bytes& s, const Bytes&, std::mt19937&) {
                          const auto starts = FrameStarts(s);
                          return Bytes(s.begin() + static_cast<long>((starts.at(1) + starts.at(2)) / 2), s.end());
                      }, false, 2});
    faults.push_back({"private, copyright and original bits at random",
                      [](const Bytes& s, const Bytes&, std::mt19937& rng) {
                          Bytes out = s;
                          // (Not in the info frame, whose check sum covers them.)
                          const auto starts = FrameStarts(s);
                          for (const std::size_t at : std::vector<std::size_t>(starts.begin() + 1, starts.end())) {
                              out[at + 2] = static_cast<std::uint8_t>((out[at + 2] & 0xFE) | (rng() & 1));
                              out[at + 3] = static_cast<std::uint8_t>((out[at + 3] & 0xF3) | (rng() & 0x0C));
                          }
                          return out;
                      }});
    // (Junk of random bytes alone, as a damaged copy has it, which decoders
    // skip whole; in junk full of false headers each finds its own.)
    faults.push_back({"junk behind the third frame", [](const Bytes& s, const Bytes&, std::mt19937& rng) {
                          const auto at = static_cast<long>(FrameStarts(s).at(3));
                          Bytes junk(586);
                          for (auto& b : junk) b = static_cast<std::uint8_t>(rng() % 0xFF);
                          return Bytes(s.begin(), s.begin() + at) + junk + Bytes(s.begin() + at, s.end());
                      }, false, 0, true});
    faults.push_back({"another stream of another format joined behind",
                      [](const Bytes& s, const Bytes& other, std::mt19937&) { return s + other; }, true});
    faults.push_back({"lyrics, an APEv2 and an ID3v1 tag behind", [](const Bytes& s, const Bytes&, std::mt19937&) {
                          const std::string lyrics = "LYRICSBEGININD0000210LYR00021Zeile eins\nZeile zwei000049LYRICS200";
                          Bytes ape = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
                          ape.resize(32, 0);
                          Bytes v1 = {'T', 'A', 'G'};
                          v1.resize(128, 'x');
                          return s + Bytes(lyrics.begin(), lyrics.end()) + ape + v1;
                      }});
    return faults;
}

struct Pcm {
    unsigned rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
    double Seconds() const { return channels ? static_cast<double>(samples.size()) / channels / rate : 0; }
};

Pcm ReadPcm(const std::filesystem::path& wav) {
    const WaveParts parts = SplitWave(ReadFile(wav));
    Pcm p;
    if (parts.format.size() < 16) return p;
    p.rate = GetLe32(&parts.format[4]);
    p.channels = parts.format[2];
    p.samples = AsSamples(parts.data);
    return p;
}

// Empty when got has the reference's format and sound; otherwise what is
// wrong. Where frames are lost at the start, the frames after them miss
// the reservoir and the overlap they needed, and the encoder's delay is no
// longer known: got may start later, and is compared from a few frames on.
std::string SoundProblem(const Pcm& ref, const Pcm& got, double seconds, double frameSeconds, int framesLost,
                         int slackFrames) {
    if (got.rate != ref.rate || got.channels != ref.channels)
        return "a WAV of " + std::to_string(got.rate) + " Hz, " + std::to_string(got.channels) + " channels";
    if (std::abs(got.Seconds() - seconds) > frameSeconds * slackFrames)
        return std::to_string(got.Seconds()) + " s of sound, not " + std::to_string(seconds);
    const int frame = static_cast<int>(frameSeconds * ref.rate + 0.5);
    const int lag = BestLag(ref.samples, got.samples, ref.channels, framesLost ? frame * (framesLost + 2) : 64);
    const auto skip = static_cast<long>(framesLost ? frame * (framesLost + 4) : 0) * ref.channels;
    const auto tail = [&](const std::vector<std::int16_t>& v, long from) {
        return std::vector<std::int16_t>(v.begin() + std::min<long>(from, static_cast<long>(v.size())), v.end());
    };
    const double snr = SnrDb(tail(ref.samples, skip), tail(got.samples, skip), ref.channels, lag);
    if (snr < 30) return "SNR " + std::to_string(snr) + " dB against mpg123's";
    return "";
}

class Collector final : public TBatchEvents {
public:
    void Message(std::size_t file, const std::string& text) override { messages.push_back(std::to_string(file) + text); }
    void Notice(std::size_t, const std::string&) override {}
    std::vector<std::string> messages;
};

TEST(OtherWriters, EveryFaultOnEveryStreamDecodesAsMpg123DecodesTheStream) {
    for (const char* tool : {"lame", "mpg123", "sox"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " not installed";
    TempDir dir;
    RecordingHost host;
    TConverterCore core(host);
    core.Catalogue.Build();
    const auto path = [&](const std::string& name) { return (dir / name).string(); };

    // Each stream as lame writes it, and its sound as mpg123 decodes it.
    std::vector<Bytes> streams;
    std::vector<Pcm> sounds;
    for (std::size_t k = 0; k < std::size(kStreams); ++k) {
        const Stream& s = kStreams[k];
        const std::string n = std::to_string(k);
        WriteFile(path(n + ".src.wav"), MakeWav(MakeMusic(s.rate, s.channels, 1.5, static_cast<unsigned>(k + 1)), s.rate, s.channels));
        ASSERT_TRUE(Shell("lame --quiet " + std::string(s.lame) + " " + path(n + ".src.wav") + " " + path(n + ".mp3")));
        ASSERT_TRUE(Shell("mpg123 -q -w " + path(n + ".ref.wav") + " " + path(n + ".mp3")));
        streams.push_back(ReadFile(path(n + ".mp3")));
        sounds.push_back(ReadPcm(path(n + ".ref.wav")));
        ASSERT_EQ(sounds.back().rate, s.rate);
    }

    std::mt19937 rng(39);
    TBatchJob batch;
    std::vector<std::string> singles;
    for (std::size_t k = 0; k < streams.size(); ++k) {
        const std::size_t other = (k + 1) % streams.size();
        for (const Fault& fault : Faults()) {
            SCOPED_TRACE(std::string(kStreams[k].name) + ", " + fault.name);
            const std::string name = "f" + std::to_string(batch.Batch.Files.size());
            WriteFile(path(name + ".mp3"), fault.make(streams[k], streams[other], rng));
            host.errors.clear();
            core.ConvertMP3WAV(path(name + ".mp3"), path(name + ".wav"));
            ASSERT_TRUE(host.errors.empty()) << host.errors.front();
            const double seconds = sounds[k].Seconds() + (fault.joined ? sounds[other].Seconds() : 0.0);
            const double frame = (kStreams[k].rate >= 32000 ? 1152.0 : 576.0) / kStreams[k].rate;
            const int slack = fault.joined ? kJoinedSlackFrames : fault.framesLost ? fault.framesLost + 2 : 1;
            const Pcm got = ReadPcm(path(name + ".wav"));
            if (fault.asMpg123) {
                // (Below MPEG-1 and in free format the decoders part ways
                // after junk: mpg123 leaves the delay and padding in,
                // ffmpeg some of it.)
                if (kStreams[k].rate < 32000 || std::string(kStreams[k].lame).find("free") != std::string::npos) continue;
                ASSERT_TRUE(Shell("mpg123 -q -w " + path(name + ".ref.wav") + " " + path(name + ".mp3")));
                EXPECT_EQ(got.samples, ReadPcm(path(name + ".ref.wav")).samples);
                continue;
            }
            EXPECT_EQ(SoundProblem(sounds[k], got, seconds, frame, fault.framesLost, slack), "");

            // In CD quality: the same sound at 44.1 kHz stereo, as sox
            // brings mpg123's there.
            core.ConvertMP3CDWAV(path(name + ".mp3"), path(name + ".cd.wav"));
            ASSERT_TRUE(Shell("sox -D " + path(std::to_string(k) + ".ref.wav") + " -r 44100 -c 2 " +
                              path(name + ".cdref.wav")));
            EXPECT_EQ(SoundProblem(ReadPcm(path(name + ".cdref.wav")), ReadPcm(path(name + ".cd.wav")), seconds, frame,
                                   fault.framesLost, slack + 1),
                      "");
            batch.Batch.Files.push_back(path(name + ".mp3"));
            singles.push_back(path(name + ".wav"));
        }
    }

    // All of them in one batch: each target the bytes of its single one.
    std::filesystem::create_directory(dir / "out");
    batch.Batch.NextToSource = false;
    batch.Batch.OutputFolder = (dir / "out").string();
    batch.Workers = 2;
    Collector events;
    TBatchEngine engine;
    const std::atomic<bool> cancel{false};
    engine.Run(batch, core.Catalogue, events, cancel);
    EXPECT_TRUE(events.messages.empty()) << events.messages.front();
    for (std::size_t i = 0; i < singles.size(); ++i)
        EXPECT_EQ(ReadFile(engine.Targets[i]), ReadFile(singles[i])) << batch.Batch.Files[i];
}

}  // namespace
