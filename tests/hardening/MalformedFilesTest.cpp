// Damaged sources through the four conversions: every cut of the headers,
// flipped bytes, impossible sizes and formats. Each run happens in a child
// process and must end (with a message, an exception the front end
// reports, or a target), within a time and memory bound, leave the source
// as it was and leave a WAV target whose header describes what it holds.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "hardening/Isolated.h"
#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

void Append32(Bytes& b, std::uint32_t v) {
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, v);
}

// A valid source and where its headers end (the cuts go byte by byte up to
// there).
struct Source {
    std::string name;
    Bytes bytes;
    bool mp3;
    std::size_t headerEnd;
};

// The offset of the first chunk with this id in a RIFF file, or 0.
std::size_t ChunkAt(const Bytes& wav, const char* id) {
    for (std::size_t pos = 12; pos + 8 <= wav.size(); pos += 8 + Le32(wav, pos + 4) + (Le32(wav, pos + 4) & 1))
        if (std::memcmp(&wav[pos], id, 4) == 0) return pos;
    return 0;
}

class MalformedFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        catalogue_ = new TFormatCatalogue;
        catalogue_->Build();
        sources_ = new std::vector<Source>;
        TempDir dir;
        RecordingHost host;
        TConverterCore core(host);
        core.Catalogue = *catalogue_;
        auto add = [&](const std::string& name, Bytes bytes, bool mp3, std::size_t headerEnd) {
            if (bytes.size() > 100) sources_->push_back({name, std::move(bytes), mp3, headerEnd});
        };
        auto wavIndex = [&](WORD channels, DWORD rate, WORD bits) {
            for (int i = 0; i < core.Catalogue.WAVFormatCount(); ++i) {
                const auto& f = *reinterpret_cast<const WAVEFORMATEX*>(core.Catalogue.WAVFormatTable[i].data());
                if (f.nChannels == channels && f.nSamplesPerSec == rate && f.wBitsPerSample == bits) return i;
            }
            return 0;
        };
        auto mp3Index = [&](WORD channels, DWORD rate) {
            for (int i = 0; i < core.Catalogue.MP3FormatCount(); ++i) {
                const auto& f = *reinterpret_cast<const WAVEFORMATEX*>(core.Catalogue.MP3FormatTable[i].data());
                if (f.nChannels == channels && f.nSamplesPerSec == rate) return i;
            }
            return 0;
        };

        const Bytes cd = MakeWav(MakeMusic(44100, 2, 0.2), 44100, 2);
        WriteFile(dir / "cd.wav", cd);
        add("cd.wav", cd, false, 44);
        // Our own encoder and converter make the other sources, so that the
        // sweep needs no outside tool; sox adds the compressed WAVE formats.
        core.Mp3FormatIndex = 0;
        core.ConvertWAVMP3((dir / "cd.wav").string(), (dir / "cd.mp3").string());
        const Bytes mp3 = ReadFile(dir / "cd.mp3");
        add("cd.mp3", mp3, true, 8);
        core.Mp3FormatIndex = mp3Index(1, 22050);
        core.ConvertWAVMP3((dir / "cd.wav").string(), (dir / "mono22.mp3").string());
        add("mono22.mp3", ReadFile(dir / "mono22.mp3"), true, 8);
        core.WavFormatIndex = wavIndex(1, 8000, 8);
        core.ConvertWAV2WAV((dir / "cd.wav").string(), (dir / "u8.wav").string());
        add("u8.wav", ReadFile(dir / "u8.wav"), false, 44);

        // ID3v2 tag with zero padding in front, ID3v1 tag behind.
        Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 40};
        Append(tagged, "TIT2");
        tagged.insert(tagged.end(), {0, 0, 0, 6, 0, 0, 0});
        Append(tagged, "Titel");
        tagged.resize(tagged.size() + 40 - 16 + 30, 0);
        tagged.insert(tagged.end(), mp3.begin(), mp3.end());
        Append(tagged, "TAG");
        tagged.resize(tagged.size() + 125, ' ');
        add("tagged.mp3", tagged, true, 10 + 40 + 30 + 8);

        // The MP3 in a WAVE wrapper: a 30-byte MPEG Layer-3 format record.
        Bytes wrapped;
        Append(wrapped, "RIFF");
        Append32(wrapped, 0);
        Append(wrapped, "WAVEfmt ");
        Append32(wrapped, 30);
        const std::uint8_t record[30] = {0x55, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x40, 0x3E, 0, 0, 1, 0, 0, 0, 12, 0,
                                         1,    0, 2, 0, 0,    0,    0xA2, 1, 1, 0, 0x71, 5};
        wrapped.insert(wrapped.end(), record, record + 30);
        Append(wrapped, "fact");
        Append32(wrapped, 4);
        Append32(wrapped, 8820);
        Append(wrapped, "data");
        Append32(wrapped, static_cast<std::uint32_t>(mp3.size()));
        wrapped.insert(wrapped.end(), mp3.begin(), mp3.end());
        Put32(wrapped, 4, static_cast<std::uint32_t>(wrapped.size() - 8));
        add("wrapped.wav", wrapped, true, 70 + 8);

        // 32-bit float in the extensible wrapper.
        Bytes flt;
        Append(flt, "RIFF");
        Append32(flt, 0);
        Append(flt, "WAVEfmt ");
        Append32(flt, 40);
        const std::uint8_t ext[40] = {0xFE, 0xFF, 1, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 4, 0, 32, 0, 22, 0, 32, 0,
                                      4,    0,    0, 0, 3,    0,    0, 0, 0,    0,    0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        flt.insert(flt.end(), ext, ext + 40);
        Append(flt, "data");
        Append32(flt, 4 * 2205);
        for (int i = 0; i < 2205; ++i) {
            const float v = static_cast<float>(0.3 * std::sin(i * 0.1));
            flt.resize(flt.size() + 4);
            std::memcpy(&flt[flt.size() - 4], &v, 4);
        }
        Put32(flt, 4, static_cast<std::uint32_t>(flt.size() - 8));
        add("float.wav", flt, false, 68);

        if (HaveTool("sox")) {
            for (const auto& [name, options] : {std::pair<std::string, std::string>{"adpcm.wav", "-e ms-adpcm"},
                                                {"ima.wav", "-e ima-adpcm"},
                                                {"gsm.wav", "-r 8000 -c 1 -e gsm-full-rate"},
                                                {"alaw.wav", "-e a-law"}}) {
                if (!Shell("sox " + (dir / "cd.wav").string() + " " + options + " " + (dir / name).string())) continue;
                const Bytes b = ReadFile(dir / name);
                add(name, b, false, ChunkAt(b, "data") + 8);
            }
        }
    }

    static void TearDownTestSuite() {
        delete catalogue_;
        delete sources_;
    }

    // Both conversions of the source's kind on these bytes, in a child
    // process; what went wrong, or empty.
    std::string Check(const Bytes& bytes, bool mp3) {
        const fs::path source = dir_ / "source", target = dir_ / "target";
        WriteFile(source, bytes);
        fs::remove(target);
        return Isolated([&]() -> std::string {
            std::string problems;
            for (int routine = 0; routine < 2; ++routine) {
                RecordingHost host;
                TConverterCore core(host);
                core.Catalogue = *catalogue_;
                core.Mp3FormatIndex = 0;
                core.WavFormatIndex = routine;  // 44.1 kHz and another PCM format
                try {
                    if (mp3 && routine == 0) core.ConvertMP3WAV(source.string(), target.string());
                    if (mp3 && routine == 1) core.ConvertMP3CDWAV(source.string(), target.string());
                    if (!mp3 && routine == 0) core.ConvertWAVMP3(source.string(), target.string());
                    if (!mp3 && routine == 1) core.ConvertWAV2WAV(source.string(), target.string());
                } catch (const EACMConvertor&) {
                    // Reported by the front end as a failed conversion.
                } catch (const EInOutError&) {
                }
                const std::string which = "routine " + std::to_string(routine) + ": ";
                if (core.State.Busy) problems += which + "left busy; ";
                if (ReadFile(source) != bytes) problems += which + "source changed; ";
                if (!fs::exists(target)) continue;
                const Bytes out = ReadFile(target);
                if (out.size() > (64u << 20)) problems += which + "target of " + std::to_string(out.size()) + " bytes; ";
                const bool wavTarget = mp3 || routine == 1;
                if (wavTarget && !out.empty() && !WaveHeaderProblem(out).empty())
                    problems += which + "target header does not match its " + std::to_string(out.size()) + " bytes; ";
                fs::remove(target);
            }
            return problems;
        });
    }

    // Every variant of every source made by change; failures name the
    // source and the variant.
    void Sweep(const std::function<std::vector<std::pair<std::string, Bytes>>(const Source&)>& variants) {
        ASSERT_GE(sources_->size(), 7u);
        int runs = 0;
        for (const Source& s : *sources_)
            for (const auto& [what, bytes] : variants(s)) {
                ++runs;
                const std::string problem = Check(bytes, s.mp3);
                EXPECT_EQ(problem, "") << s.name << ", " << what;
            }
        RecordProperty("runs", runs);
    }

    TempDir dir_;
    static TFormatCatalogue* catalogue_;
    static std::vector<Source>* sources_;
};

TFormatCatalogue* MalformedFiles::catalogue_ = nullptr;
std::vector<Source>* MalformedFiles::sources_ = nullptr;

TEST_F(MalformedFiles, EveryCutOfTheHeadersThenCoarserCuts) {
    Sweep([](const Source& s) {
        std::vector<std::pair<std::string, Bytes>> cuts;
        const std::size_t fine = std::min(s.bytes.size(), s.headerEnd + 12);
        for (std::size_t n = 0; n < fine; ++n) cuts.emplace_back("cut at " + std::to_string(n), Bytes(s.bytes.begin(), s.bytes.begin() + n));
        for (std::size_t n = fine; n < s.bytes.size(); n += s.bytes.size() / 12 + 1)
            cuts.emplace_back("cut at " + std::to_string(n), Bytes(s.bytes.begin(), s.bytes.begin() + n));
        return cuts;
    });
}

TEST_F(MalformedFiles, FlippedBytes) {
    Sweep([](const Source& s) {
        std::vector<std::pair<std::string, Bytes>> out;
        std::mt19937 random(static_cast<unsigned>(s.bytes.size()));
        for (int v = 0; v < 24; ++v) {
            Bytes b = s.bytes;
            // Half the variants hit the headers, half anywhere.
            const std::size_t span = v % 2 ? b.size() : std::min(b.size(), s.headerEnd + 64);
            std::string what = "flipped";
            for (int k = 0; k <= v % 6; ++k) {
                const std::size_t at = random() % span;
                b[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
                what += " " + std::to_string(at);
            }
            out.emplace_back(what, b);
        }
        return out;
    });
}

TEST_F(MalformedFiles, ImpossibleSizesInWaveHeaders) {
    Sweep([](const Source& s) {
        std::vector<std::pair<std::string, Bytes>> out;
        const std::size_t fmt = ChunkAt(s.bytes, "fmt "), data = ChunkAt(s.bytes, "data");
        if (fmt == 0 || data == 0) return out;
        auto with = [&](const std::string& what, const std::function<void(Bytes&)>& change) {
            Bytes b = s.bytes;
            change(b);
            out.emplace_back(what, b);
        };
        with("data chunk claiming 4 GiB", [&](Bytes& b) { Put32(b, data + 4, 0xFFFFFFFF); });
        with("data chunk of size 0", [&](Bytes& b) { Put32(b, data + 4, 0); });
        with("fmt chunk claiming 4 GiB", [&](Bytes& b) { Put32(b, fmt + 4, 0xFFFFFFF0); });
        with("fmt chunk of size 0", [&](Bytes& b) { Put32(b, fmt + 4, 0); });
        with("fmt chunk of size 2", [&](Bytes& b) { Put32(b, fmt + 4, 2); });
        with("RIFF size 0", [&](Bytes& b) { Put32(b, 4, 0); });
        with("huge chunk before data", [&](Bytes& b) {
            Bytes junk;
            Append(junk, "junk");
            Append32(junk, 0x7FFFFFFF);
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(data), junk.begin(), junk.end());
        });
        const std::size_t f = fmt + 8;
        for (std::uint16_t align : {0, 1, 3, 0x7FFF, 0xFFFF})
            with("block alignment " + std::to_string(align), [&](Bytes& b) { Put16(b, f + 12, align); });
        for (std::uint16_t channels : {0, 3, 9, 0xFFFF})
            with("channels " + std::to_string(channels), [&](Bytes& b) { Put16(b, f + 2, channels); });
        for (std::uint32_t rate : {0u, 1u, 7u, 1000000u, 0xFFFFFFFFu})
            with("rate " + std::to_string(rate), [&](Bytes& b) { Put32(b, f + 4, rate); });
        for (std::uint16_t bits : {0, 1, 4, 12, 64, 0xFFFF})
            with("bits " + std::to_string(bits), [&](Bytes& b) { Put16(b, f + 14, bits); });
        with("extra bytes claiming 64 KiB", [&](Bytes& b) {
            if (Le32(b, fmt + 4) >= 18) Put16(b, f + 16, 0xFFFF);
        });
        with("format tag 0", [&](Bytes& b) { Put16(b, f, 0); });
        with("format tag 0xFFFF", [&](Bytes& b) { Put16(b, f, 0xFFFF); });
        return out;
    });
}

TEST_F(MalformedFiles, DamagedMp3Framing) {
    Sweep([](const Source& s) {
        std::vector<std::pair<std::string, Bytes>> out;
        if (!s.mp3) return out;
        Bytes id3 = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
        Bytes beyond = id3;
        beyond.insert(beyond.end(), s.bytes.begin(), s.bytes.end());
        out.emplace_back("ID3v2 size beyond the file", beyond);
        Bytes exact = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
        exact[9] = 100;
        exact.resize(110, 0);
        out.emplace_back("ID3v2 tag and nothing behind it", exact);
        out.emplace_back("only zero bytes", Bytes(5000, 0));
        out.emplace_back("only 0xFF bytes", Bytes(5000, 0xFF));
        Bytes sync(5000);
        for (std::size_t i = 0; i < sync.size(); i += 4) {
            const std::uint8_t h[4] = {0xFF, 0xFB, static_cast<std::uint8_t>(i * 7 % 256), 0xC4};
            std::memcpy(&sync[i], h, 4);
        }
        out.emplace_back("frame headers without frames", sync);
        // A wrapper whose format record is cut, or names no usable stream.
        Bytes wrapped;
        Append(wrapped, "RIFF");
        Append32(wrapped, 0);
        Append(wrapped, "WAVEfmt ");
        Append32(wrapped, 30);
        wrapped.resize(wrapped.size() + 30, 0);
        Put16(wrapped, 20, WAVE_FORMAT_MPEGLAYER3);
        wrapped.insert(wrapped.end(), s.bytes.begin(), s.bytes.end());
        for (std::uint32_t rate : {0u, 1u, 0xFFFFFFFFu}) {
            Bytes b = wrapped;
            Put16(b, 22, 2);
            Put32(b, 24, rate);
            out.emplace_back("wrapper with rate " + std::to_string(rate), b);
        }
        Bytes cut = wrapped;
        Put32(cut, 16, 0x10000);
        out.emplace_back("wrapper whose format runs past the end", cut);
        return out;
    });
}

}  // namespace

namespace {

TEST(Isolated, ReportsCrashesHangsAndMemory) {
    EXPECT_EQ(Isolated([] { return std::string(); }), "");
    EXPECT_EQ(Isolated([] { return std::string("wrong"); }), "wrong");
    EXPECT_EQ(Isolated([]() -> std::string { throw EInOutError(); }), "exception: I/O error");
    // Under AddressSanitizer the crash is its report and exit code.
    const std::string crash = Isolated([]() -> std::string { raise(SIGSEGV); return ""; });
    EXPECT_TRUE(crash == "crashed with signal 11" || crash == "exited with 1") << crash;
    EXPECT_EQ(Isolated([]() -> std::string { for (;;) pause(); }, {1, 256}), "hung");
    const std::string big = Isolated([] {
        std::vector<char> v(300u << 20, 1);
        return std::string(v.empty() ? "x" : "");
    }, {60, 100});
    EXPECT_EQ(big.rfind("used ", 0), 0u) << big;
}

}  // namespace
