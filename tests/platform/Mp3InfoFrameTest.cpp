// The info frame at the start of every MP3 the encoder stream makes: the
// encoder library's own where it fits, ours where the frames are too small.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include <lame/lame.h>

#include "codec/ACMConvertor.h"
#include "codec/FrameAnalysis.h"
#include "platform/acm/Driver.h"
#include "platform/acm/Mp3BlockEncoder.h"
#include "platform/acm/MpegTables.h"
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

Encoded Encode(DWORD rate, WORD channels, int kbps, double seconds) {
    TACMConvertor enc;
    enc.FormatIn.Bytes.fill(0);
    enc.FormatIn.Wfx() = acm::PcmFormat(rate, channels, 16);
    enc.FormatOut.Bytes.fill(0);
    auto& m = enc.FormatOut.Mp3();
    m.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    m.wfx.nChannels = channels;
    m.wfx.nSamplesPerSec = rate;
    m.wfx.nAvgBytesPerSec = static_cast<DWORD>(kbps * 125);
    m.wfx.nBlockAlign = 1;
    m.wfx.cbSize = 12;
    m.wID = MPEGLAYER3_ID_MPEG;
    m.nFramesPerBlock = 1;
    Encoded e;
    e.info.resize(4096);
    e.stream = RunProtocol(enc, AsBytes(MakeMusic(rate, channels, seconds)), 4096, [&](TACMConvertor& c) {
                   DWORD size = static_cast<DWORD>(e.info.size());
                   EXPECT_EQ(acmStreamMessage(c.StreamHandle(), ACMDM_MP3_INFOFRAME,
                                              reinterpret_cast<LPARAM>(e.info.data()), reinterpret_cast<LPARAM>(&size)),
                             MMSYSERR_NOERROR);
                   e.info.resize(size);
               }).output;
    return e;
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
        int headerKbpsIndex;
    };
    // The smallest bitrate whose frame holds header, side information and
    // the 52 bytes of tag: 8 kbit/s at 16 kHz is a 36-byte frame, the tag
    // needs 65, so 16 kbit/s; 32 kbit/s at 44.1 kHz stereo (104 bytes) holds
    // it itself; at 22.05 kHz stereo 24 kbit/s (78 bytes) is enough.
    for (const Case c : {Case{16000, 1, 8, 13, 2}, Case{44100, 2, 32, 36, 1}, Case{22050, 2, 48, 21, 3}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.kbps) + " kbit/s");
        const Encoded e = Encode(c.rate, c.channels, c.kbps, 2.0);
        ASSERT_GT(e.info.size(), c.sideInfo + 52);
        // The placeholder in the stream: the same header, nothing else yet.
        ASSERT_GT(e.stream.size(), e.info.size());
        EXPECT_EQ(std::memcmp(e.stream.data(), e.info.data(), 4), 0);
        EXPECT_EQ(e.info[2] >> 4, c.headerKbpsIndex);
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
        const double seconds = 1.2 * acm::Mp3BlockEncoder::kBlockFrames * acm::SamplesPerFrame(c.rate) / c.rate;
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
