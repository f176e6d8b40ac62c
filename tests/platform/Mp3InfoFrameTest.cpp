// The info frame at the start of every MP3 the encoder stream makes: the
// encoder library's own where it fits, ours where the frames are too small.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include <lame/lame.h>

#include "codec/ACMConvertor.h"
#include "codec/FrameAnalysis.h"
#include "platform/acm/Driver.h"
#include "platform/acm/mp3/Mp3BlockEncoder.h"
#include "platform/acm/mp3/MpegTables.h"
#include "support/Audio.h"

using namespace testing_support;
using sondrel::TACMConvertor;

namespace {

// CRC-16/ARC written out from its definition (polynomial 0x8005 reflected,
// initial value 0), to check the tags' check sums with.
std::uint16_t Arc16(const std::uint8_t* p, std::size_t n) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i)
        for (int b = 0; b < 8; ++b) {
            const bool bit = ((p[i] >> b) & 1) ^ (crc & 1);
            crc = static_cast<std::uint16_t>((crc >> 1) ^ (bit ? 0xA001 : 0));
        }
    return crc;
}

std::uint32_t Big32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

struct Encoded {
    std::vector<std::uint8_t> stream;
    std::vector<std::uint8_t> info;
};

// Encodes pcm into the MP3 format of the record (as the driver lists it).
Encoded Encode(const std::vector<std::uint8_t>& record, const std::vector<std::uint8_t>& pcm) {
    TACMConvertor enc;
    const auto& m0 = *reinterpret_cast<const MPEGLAYER3WAVEFORMAT*>(record.data());
    const WORD channels = m0.wfx.nChannels;
    enc.FormatIn.Bytes.fill(0);
    enc.FormatIn.Wfx() = acm::PcmFormat(m0.wfx.nSamplesPerSec, channels, 16);
    enc.FormatOut.Bytes.fill(0);
    std::copy(record.begin(), record.end(), enc.FormatOut.Bytes.begin());
    Encoded e;
    e.info.resize(4096);
    e.stream = RunProtocol(enc, pcm, 4096, [&](TACMConvertor& c) {
                   DWORD size = static_cast<DWORD>(e.info.size());
                   // None where the format's frames cannot hold one.
                   if (acmStreamMessage(c.StreamHandle(), ACMDM_MP3_INFOFRAME, reinterpret_cast<LPARAM>(e.info.data()),
                                        reinterpret_cast<LPARAM>(&size)) != MMSYSERR_NOERROR)
                       size = 0;
                   e.info.resize(size);
               },
               [&](TACMConvertor& c) {
                   // The signal's length, as the conversion tells it.
                   acmStreamMessage(c.StreamHandle(), ACMDM_MP3_LENGTH, static_cast<LPARAM>(pcm.size() / (2 * channels)), 0);
               })
                   .output;
    return e;
}

Encoded Encode(DWORD rate, WORD channels, int kbps, const std::vector<std::uint8_t>& pcm) {
    MPEGLAYER3WAVEFORMAT m{};
    m.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    m.wfx.nChannels = channels;
    m.wfx.nSamplesPerSec = rate;
    m.wfx.nAvgBytesPerSec = static_cast<DWORD>(kbps * 125);
    m.wfx.nBlockAlign = 1;
    m.wfx.cbSize = 12;
    m.wID = MPEGLAYER3_ID_MPEG;
    m.nFramesPerBlock = 1;
    const auto* p = reinterpret_cast<const std::uint8_t*>(&m);
    return Encode(std::vector<std::uint8_t>(p, p + sizeof m), pcm);
}

Encoded Encode(DWORD rate, WORD channels, int kbps, double seconds) {
    return Encode(rate, channels, kbps, AsBytes(MakeMusic(rate, channels, seconds)));
}

// The frames that follow the info frame, walked by their headers.
std::uint32_t AudioFrames(const std::vector<std::uint8_t>& s, std::size_t from, unsigned rate) {
    std::uint32_t n = 0;
    const bool mpeg1 = rate >= 32000;
    while (from + 4 <= s.size()) {
        const int index = s[from + 2] >> 4;
        const int kbps = mpeg1 ? std::array<int, 15>{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}[index]
                               : std::array<int, 15>{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}[index];
        from += (mpeg1 ? 144000u : 72000u) * static_cast<unsigned>(kbps) / rate + ((s[from + 2] >> 1) & 1);
        ++n;
    }
    return n;
}

TEST(InfoFrame, TheEncoderLibrarysOwnWhereItFits) {
    const Encoded e = Encode(44100, 2, 128, 1.0);
    ASSERT_EQ(e.info.size(), 417u);
    const std::uint8_t* tag = e.info.data() + 36;  // header and MPEG-1 stereo side information
    EXPECT_EQ(std::memcmp(tag, "Info", 4), 0);
    EXPECT_EQ(std::memcmp(tag + 120, "LAME", 4), 0);
    // The check sum covers the frame up to itself; this is what ours must
    // match, computed the same way.
    EXPECT_EQ(Arc16(e.info.data(), 190), (e.info[190] << 8) | e.info[191]);
}

TEST(InfoFrame, OursWhereTheFramesAreTooSmall) {
    struct Case {
        DWORD rate;
        WORD channels;
        int kbps;
        std::size_t sideInfo;
    };
    // Frames too small for the library's tag but big enough for ours
    // (header, side information and 52 bytes): 16 kbit/s at 16 kHz mono is
    // a 72-byte frame, 32 kbit/s at 44.1 kHz stereo 104 bytes, 48 kbit/s at
    // 22.05 kHz stereo 156.
    for (const Case c : {Case{16000, 1, 16, 13}, Case{44100, 2, 32, 36}, Case{22050, 2, 48, 21}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.kbps) + " kbit/s");
        const Encoded e = Encode(c.rate, c.channels, c.kbps, 2.0);
        // A frame of the stream's own bitrate, as long as every other.
        ASSERT_EQ(e.info.size(), static_cast<std::size_t>(acm::FrameBytes(c.kbps, c.rate)));
        ASSERT_GT(e.stream.size(), e.info.size());
        EXPECT_EQ(e.info[2] >> 4, e.stream[e.info.size() + 2] >> 4);
        // The placeholder in the stream: the same header, nothing else yet.
        EXPECT_EQ(std::memcmp(e.stream.data(), e.info.data(), 3), 0);
        for (std::size_t i = 4; i < e.info.size(); ++i) ASSERT_EQ(e.stream[i], 0) << i;
        const std::uint8_t* tag = e.info.data() + c.sideInfo;
        for (std::size_t i = 4; i < c.sideInfo; ++i) EXPECT_EQ(e.info[i], 0) << i;
        EXPECT_EQ(std::memcmp(tag, "Info", 4), 0);
        EXPECT_EQ(Big32(tag + 4), 3u);
        EXPECT_EQ(Big32(tag + 8), AudioFrames(e.stream, e.info.size(), c.rate));
        EXPECT_EQ(Big32(tag + 12), e.stream.size());
        const std::uint8_t* ext = tag + 16;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(ext), 9), "LAME3.100");
        EXPECT_EQ(ext[9], 1);  // constant bitrate
        EXPECT_EQ(ext[20], c.kbps);
        EXPECT_EQ((ext[21] << 4) | (ext[22] >> 4), 576);  // the encoder's delay
        const int padding = ((ext[22] & 0xF) << 8) | ext[23];
        EXPECT_GT(padding, 0);
        EXPECT_LT(padding, 1152 + 576 + 1);
        EXPECT_EQ(Big32(ext + 28), e.stream.size());
        const std::size_t crcAt = c.sideInfo + 16 + 34;
        EXPECT_EQ(Arc16(e.info.data(), crcAt), (e.info[crcAt] << 8) | e.info[crcAt + 1]);
        EXPECT_EQ(Arc16(e.stream.data() + e.info.size(), e.stream.size() - e.info.size()),
                  (e.info[crcAt - 2] << 8) | e.info[crcAt - 1]);
    }
}

// The library's own file for a format: one encoder, its info frame where
// it writes one.
std::vector<std::uint8_t> LibraryFile(unsigned rate, int channels, int kbps, int quality, const std::vector<std::uint8_t>& pcm) {
    lame_global_flags* lame = acm::NewLameEncoder(acm::Mp3Settings{rate, channels, kbps, quality}, true);
    if (!lame) return {};
    std::vector<std::uint8_t> file(pcm.size() + 100000);
    std::size_t made = acm::LameEncode(lame, channels, pcm.data(), pcm.size() / (2 * channels), file.data(), file.size());
    made += static_cast<std::size_t>(std::max(0, lame_encode_flush(lame, file.data() + made, 7200)));
    file.resize(made);
    std::vector<std::uint8_t> info(4096);
    info.resize(lame_get_lametag_frame(lame, info.data(), info.size()));
    std::copy(info.begin(), info.end(), file.begin());
    lame_close(lame);
    return file;
}

// Every format of the catalogue, as a user meets it: a file encoded in a
// constant bitrate has every frame at that bitrate, the info frame
// included; exiftool, mediainfo, mutagen and ffmpeg read its length as
// well as they read the library's own file for the format (within 0.03 s
// of that one's error, or 0.1 s), mutagen its bitrate and mode as that
// one's, and mediainfo calls it CBR, or VBR for the VBR formats, which
// are the library's own stream (its Xing frame but for the tag's check
// sums); where it has an info frame, mpg123 gives back exactly the
// source's samples.
TEST(InfoFrame, EveryFormatOfTheCatalogueReadsAsTheLibrarysOwnFile) {
    for (const char* tool : {"exiftool", "mediainfo", "mpg123"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " not installed";
    struct Entry {
        std::string name;
        unsigned rate;
        int channels;
        bool info, libraryInfo, vbr;
        double frameSeconds;
    };
    std::vector<Entry> entries;
    TempDir dir;
    constexpr double kSeconds = 2.5;
    std::map<unsigned, std::vector<std::uint8_t>> music;  // by rate and channels
    const std::vector<acm::FormatEntry>& formats = acm::Drivers().front()->Formats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const auto& f = *reinterpret_cast<const MPEGLAYER3WAVEFORMAT*>(formats[i].record.data());
        const unsigned rate = f.wfx.nSamplesPerSec;
        const int channels = f.wfx.nChannels, kbps = static_cast<int>(f.wfx.nAvgBytesPerSec / 125);
        const bool vbr = (f.fdwFlags & 0x00010000) != 0;
        const int quality = vbr ? static_cast<int>((f.fdwFlags >> 20) & 0xF) : -1;
        SCOPED_TRACE(formats[i].description);
        auto& pcm = music[rate * 4 + static_cast<unsigned>(channels)];
        if (pcm.empty()) pcm = AsBytes(MakeMusic(rate, channels, kSeconds));
        Encoded e = Encode(formats[i].record, pcm);
        std::copy(e.info.begin(), e.info.end(), e.stream.begin());  // as the conversion writes it
        const std::string name = std::to_string(i);
        WriteFile(dir / ("ours_" + name + ".mp3"), e.stream);
        const auto library = LibraryFile(rate, channels, kbps, quality, pcm);
        WriteFile(dir / ("lib_" + name + ".mp3"), library);
        const std::string libraryHead(library.begin(), library.begin() + 64);
        const bool libraryInfo = libraryHead.find(vbr ? "Xing" : "Info") != std::string::npos;
        if (vbr) {
            ASSERT_TRUE(libraryInfo);
            // The library's own stream: every audio frame, and the Xing frame
            // but for what the stream's check sums make of it.
            ASSERT_EQ(e.stream.size(), library.size());
            const std::size_t infoSize = e.info.size();
            EXPECT_TRUE(std::equal(e.stream.begin() + static_cast<long>(infoSize), e.stream.end(),
                                   library.begin() + static_cast<long>(infoSize)));
        }
        for (std::size_t at = 0; !vbr && at + 4 <= e.stream.size();) {
            ASSERT_TRUE(sondrel::IsValidHeader(&e.stream[at])) << "frame at " << at;
            ASSERT_EQ(acm::kBitrateKbps[rate >= 32000][1][e.stream[at + 2] >> 4], kbps) << "frame at " << at;
            at += static_cast<std::size_t>(sondrel::Layer3FrameBytes(&e.stream[at]));
        }
        entries.push_back({name, rate, channels, !e.info.empty(), libraryInfo, vbr, acm::SamplesPerFrame(rate) / double(rate)});
    }
    // Each reader once over all files: name, then what it reads (the
    // inner redirections, as Shell sends the command's own output away).
    const std::string d = dir.Path().string();
    ASSERT_TRUE(Shell("cd " + d + " && { exiftool -T -n -FileName -Duration *.mp3 > exif.txt; }"));
    const std::string form = "General;%FileName%\t\nAudio;%Duration%\t%BitRate_Mode%\\n\n";
    WriteFile(dir / "form.txt", std::vector<std::uint8_t>(form.begin(), form.end()));
    ASSERT_TRUE(Shell("cd " + d + " && { mediainfo --Inform=file://form.txt *.mp3 > mi.txt; }"));
    ASSERT_TRUE(Shell("cd " + d + " && { for f in ours_*.mp3; do echo \"${f%.mp3}\t$(mpg123 -q -s $f | wc -c)\"; done > mpg123.txt; }"));
    // mutagen's length, bitrate and mode, and ffmpeg's length, of every
    // file in one process each.
    const std::string readers =
        "import glob, re, subprocess, mutagen.mp3\n"
        "files = sorted(glob.glob('*.mp3'))\n"
        "args = ['ffmpeg', '-hide_banner']\n"
        "for f in files: args += ['-i', f]\n"
        "err = subprocess.run(args, stderr=subprocess.PIPE, text=True).stderr\n"
        "ff = [int(h) * 3600 + int(m) * 60 + float(s) for h, m, s in re.findall(r'Duration: (\\d+):(\\d+):([\\d.]+)', err)]\n"
        "assert len(ff) == len(files)\n"
        "for f, d in zip(files, ff):\n"
        "    i = mutagen.mp3.MP3(f).info\n"
        "    print(f[:-4], i.length, i.bitrate, str(i.bitrate_mode).split('.')[-1], d, sep='\\t')\n";
    WriteFile(dir / "readers.py", std::vector<std::uint8_t>(readers.begin(), readers.end()));
    ASSERT_TRUE(Shell("cd " + d + " && { /usr/bin/python3 readers.py > readers.txt; }"));
    std::map<std::string, std::vector<std::string>> read;
    for (const char* list : {"exif.txt", "mi.txt", "mpg123.txt", "readers.txt"}) {
        const std::vector<std::uint8_t> text = ReadFile(dir / list);
        std::istringstream lines(std::string(text.begin(), text.end()));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string file, value;
            std::getline(fields, file, '\t');
            file = file.substr(0, file.find('.'));
            while (std::getline(fields, value, '\t')) read[file].push_back(value);
        }
    }
    for (const Entry& e : entries) {
        SCOPED_TRACE(formats[std::stoul(e.name)].description);
        const auto& ours = read["ours_" + e.name];
        const auto& lib = read["lib_" + e.name];
        // exiftool, mediainfo's length and mode, mpg123 (ours only),
        // mutagen's length, bitrate and mode, ffmpeg's length.
        ASSERT_EQ(ours.size(), 8u);
        ASSERT_EQ(lib.size(), 7u);
        const double ourExif = std::abs(std::stod(ours[0]) - kSeconds), libExif = std::abs(std::stod(lib[0]) - kSeconds);
        const double ourMi = std::abs(std::stod(ours[1]) / 1000 - kSeconds), libMi = std::abs(std::stod(lib[1]) / 1000 - kSeconds);
        // exiftool takes a constant-bitrate file's length from its size, so
        // an info frame counts as audio to it: where the library writes
        // none, ours is that one frame longer to it.
        const double extra = e.info && !e.libraryInfo ? e.frameSeconds : 0.0;
        EXPECT_LE(ourExif, std::max(libExif + 0.03 + extra, 0.1)) << ours[0] << " s against the library's " << lib[0];
        EXPECT_LE(ourMi, std::max(libMi + 0.03, 0.1)) << ours[1] << " ms against the library's " << lib[1];
        EXPECT_EQ(ours[2], e.vbr ? "VBR" : "CBR");
        const auto near = [&](const std::string& our, const std::string& their, const char* reader) {
            EXPECT_LE(std::abs(std::stod(our) - kSeconds), std::max(std::abs(std::stod(their) - kSeconds) + 0.03, 0.1))
                << reader << ": " << our << " s against the library's " << their;
        };
        near(ours[4], lib[3], "mutagen");
        near(ours[7], lib[6], "ffmpeg");
        EXPECT_NEAR(std::stod(ours[5]), std::stod(lib[4]), std::stod(lib[4]) / 1000) << "mutagen's bitrate";
        // Where the library writes no info frame, mutagen cannot tell the
        // mode of its file; ours says it, where it has one.
        EXPECT_EQ(ours[6], lib[5] == "UNKNOWN" && e.info ? "CBR" : lib[5]);
        if (e.info) {
            EXPECT_EQ(std::stol(ours[3]), std::lround(kSeconds * e.rate) * 2 * e.channels);
        }
    }
}

// A stream encoded in blocks on several encoders gets the info frame the
// library writes for one encoder of the same source and settings: every
// field agrees but those that follow from other bytes (the byte counts
// and check sums, which must then be this stream's own). And every audio
// frame has the stream's bitrate.
TEST(InfoFrame, ABlockStreamGetsTheLibrarysFrameWithItsOwnValues) {
    struct Case {
        DWORD rate;
        WORD channels;
        int kbps;
    };
    for (const Case c : {Case{44100, 2, 128}, Case{22050, 1, 64}, Case{48000, 2, 320}, Case{32000, 1, 48}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.kbps) + " kbit/s");
        // Two blocks.
        const double seconds = 1.2 * acm::Mp3BlockEncoder::ThresholdFrames(acm::IsMpeg1Rate(c.rate)) *
                               acm::SamplesPerFrame(c.rate) / c.rate;
        const Encoded e = Encode(c.rate, c.channels, c.kbps, seconds);
        // The library alone on the same samples.
        lame_global_flags* lame = acm::NewLameEncoder(acm::Mp3Settings{c.rate, c.channels, c.kbps}, true);
        ASSERT_NE(lame, nullptr);
        const auto pcm = AsBytes(MakeMusic(c.rate, c.channels, seconds));
        std::vector<std::uint8_t> alone(pcm.size() + 100000);
        std::size_t made = acm::LameEncode(lame, c.channels, pcm.data(), pcm.size() / (2 * c.channels), alone.data(), alone.size());
        made += static_cast<std::size_t>(lame_encode_flush(lame, alone.data() + made, 7200));
        std::vector<std::uint8_t> own(4096);
        own.resize(lame_get_lametag_frame(lame, own.data(), own.size()));
        lame_close(lame);

        ASSERT_EQ(e.info.size(), own.size());
        const std::size_t tag = std::string(reinterpret_cast<const char*>(own.data()), 40).find("Info");
        ASSERT_NE(tag, std::string::npos);
        const std::size_t ext = tag + 120, end = ext + 36;
        // Header, side information, flags, frame count, seek table, quality,
        // the encoder's name, method, lowpass, peak, gains, flags, bitrate,
        // delay and padding, stereo mode and the rest, preset.
        for (std::size_t i = 0; i < end; ++i) {
            const bool ours = (i >= tag + 12 && i < tag + 16) || i >= ext + 28;
            if (!ours) {
                EXPECT_EQ(e.info[i], own[i]) << "byte " << i << " of the frame";
            }
        }
        EXPECT_EQ(Big32(&e.info[tag + 12]), e.stream.size());
        EXPECT_EQ(Big32(&e.info[ext + 28]), e.stream.size());
        EXPECT_EQ(Arc16(e.stream.data() + e.info.size(), e.stream.size() - e.info.size()),
                  (e.info[ext + 32] << 8) | e.info[ext + 33]);
        EXPECT_EQ(Arc16(e.info.data(), ext + 34), (e.info[ext + 34] << 8) | e.info[ext + 35]);
        for (std::size_t i = end; i < e.info.size(); ++i) ASSERT_EQ(e.info[i], 0) << i;
        // Strictly the chosen bitrate, frame for frame.
        for (std::size_t at = e.info.size(); at + 4 <= e.stream.size();) {
            ASSERT_EQ(e.stream[at + 2] >> 4, e.info[2] >> 4) << "frame at " << at;
            at += static_cast<std::size_t>(sondrel::Layer3FrameBytes(&e.stream[at]));
        }
    }
}

}  // namespace

namespace {

// The same rule for a stream encoded in blocks: our frame at the stream's
// bitrate where the library's does not fit, none where ours does not
// either; mpg123 gives back exactly the source where there is one.
TEST(InfoFrame, ABlockStreamOfTheSmallestFormats) {
    if (!HaveTool("mpg123")) GTEST_SKIP() << "mpg123 not installed";
    for (const int kbps : {16, 8}) {
        SCOPED_TRACE(std::to_string(kbps) + " kbit/s at 16 kHz");
        const double seconds = 1.1 * acm::Mp3BlockEncoder::ThresholdFrames(false) * acm::SamplesPerFrame(16000) / 16000.0;
        const auto pcm = AsBytes(MakeMusic(16000, 1, seconds));
        Encoded e = Encode(16000, 1, kbps, pcm);
        EXPECT_EQ(e.info.size(), kbps == 16 ? 72u : 0u);
        std::copy(e.info.begin(), e.info.end(), e.stream.begin());
        for (std::size_t at = 0; at + 4 <= e.stream.size();) {
            ASSERT_EQ(acm::kBitrateKbps[0][1][e.stream[at + 2] >> 4], kbps) << "frame at " << at;
            at += static_cast<std::size_t>(sondrel::Layer3FrameBytes(&e.stream[at]));
        }
        if (e.info.empty()) continue;
        EXPECT_EQ(Big32(e.info.data() + 13 + 8), AudioFrames(e.stream, e.info.size(), 16000));
        TempDir dir;
        WriteFile(dir / "block.mp3", e.stream);
        ASSERT_TRUE(Shell("mpg123 -q -w " + (dir / "block.wav").string() + " " + (dir / "block.mp3").string()));
        EXPECT_EQ(SplitWave(ReadFile(dir / "block.wav")).data.size(), pcm.size());
    }
}

}  // namespace
