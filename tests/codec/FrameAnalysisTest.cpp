// Finding the audio start and describing the stream, on the shapes MP3
// files come in.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "codec/FrameAnalysis.h"
#include "support/Audio.h"

using namespace sondrel;
using namespace testing_support;

namespace {

struct Result {
    TFrameAnalysis a;
    TACMConvertor mp3wav;
    std::int64_t position = -1;
};

void Analyse(const std::vector<std::uint8_t>& bytes, Result& r, const std::vector<TFormatSlot>& table = {}) {
    TempDir dir;
    WriteFile(dir / "x.mp3", bytes);
    TByteFile f;
    // Thrown, not asserted: an assertion would only leave this helper, and
    // the test would go on with the previous result.
    if (!f.OpenRead(dir / "x.mp3")) throw std::runtime_error("test file not opened");
    r.a = LocateAudio(f);
    DeriveFormats(r.a, f, r.mp3wav, table);
    r.position = f.Position();
}

std::vector<std::uint8_t> Id3(std::uint32_t size) {
    std::vector<std::uint8_t> t = {'I', 'D', '3', 3, 0, 0,
                                   static_cast<std::uint8_t>((size >> 21) & 0x7F), static_cast<std::uint8_t>((size >> 14) & 0x7F),
                                   static_cast<std::uint8_t>((size >> 7) & 0x7F), static_cast<std::uint8_t>(size & 0x7F)};
    t.resize(10 + size, 'i');
    return t;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::uint8_t> kFrame128 = {0xFF, 0xFB, 0x90, 0x64};  // MPEG-1 L3 128k 44.1k joint stereo

TEST(FrameAnalysis, WorkedExampleBehindAnId3Tag) {
    Result r;
    Analyse(Id3(2038) + kFrame128 + std::vector<std::uint8_t>(500, 0x55), r);
    EXPECT_EQ(r.a.AudioStart, 2048);
    EXPECT_EQ(r.position, 2048);
    const WAVEFORMATEX& in = r.mp3wav.FormatIn.Wfx();
    EXPECT_EQ(in.nChannels, 2);
    EXPECT_EQ(in.nSamplesPerSec, 44100u);
    EXPECT_EQ(in.wBitsPerSample, 0);
    EXPECT_EQ(in.nAvgBytesPerSec, 16000u);
    const WAVEFORMATEX& out = r.mp3wav.FormatOut.Wfx();
    EXPECT_EQ(out.nChannels, 2);
    EXPECT_EQ(out.nSamplesPerSec, 44100u);
    EXPECT_EQ(out.wBitsPerSample, 16);
    EXPECT_EQ(out.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(out.nBlockAlign, 4);
}

TEST(FrameAnalysis, HeaderEdgeCases) {
    Result r;
    Analyse(kFrame128 + std::vector<std::uint8_t>(100, 1), r);
    EXPECT_EQ(r.a.AudioStart, 0);
    // Bitrate index 15 is refused; the search moves on.
    Analyse(std::vector<std::uint8_t>{0xFF, 0xFB, 0xF0, 0x64, 0x00} + kFrame128 + std::vector<std::uint8_t>(10, 1), r);
    EXPECT_EQ(r.a.AudioStart, 5);
    // Free format reads as bitrate index 1.
    Analyse(std::vector<std::uint8_t>{0xFF, 0xFB, 0x00, 0x64, 1, 1, 1, 1}, r);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nAvgBytesPerSec, 4000u);
    Analyse(std::vector<std::uint8_t>{0xFF, 0xF3, 0x08, 0xC4, 1, 1, 1, 1}, r);  // MPEG-2, 22.05 kHz, free, mono
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nAvgBytesPerSec, 1000u);
    // MPEG-2 Layer III, 22050 Hz, index 5: 40 kbit/s; mono.
    Analyse(std::vector<std::uint8_t>{0xFF, 0xF3, 0x50, 0xC4, 1, 1, 1, 1}, r);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nSamplesPerSec, 22050u);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nAvgBytesPerSec, 5000u);
    EXPECT_EQ(r.mp3wav.FormatOut.Wfx().nBlockAlign, 2);
    EXPECT_EQ(r.mp3wav.FormatOut.Wfx().nAvgBytesPerSec, 44100u);
    // MPEG-2.5 (sync 0xFFE): Layer III, 11025 Hz, index 5 (40 kbit/s as in
    // MPEG-2), mono. The reserved version (bits 01) is no header.
    Analyse(std::vector<std::uint8_t>{0xFF, 0xEB, 0x50, 0xC4, 0xFF, 0xE3, 0x58, 0xC4, 1, 1, 1, 1}, r);
    EXPECT_TRUE(r.a.Found);
    EXPECT_EQ(r.a.AudioStart, 4);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nSamplesPerSec, 8000u);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nAvgBytesPerSec, 5000u);
    EXPECT_EQ(r.mp3wav.FormatOut.Wfx().nChannels, 1);
    // No valid header anywhere: the search runs to the end, and says so.
    std::vector<std::uint8_t> none = {0xFF, 0xEB, 0x50, 0xC4};
    none.resize(64, 0x11);
    Analyse(none, r);
    EXPECT_FALSE(r.a.Found);
    EXPECT_EQ(r.a.AudioStart, 60);
}

// The tables against ISO/IEC 11172-3 and 13818-3, written out here, with
// the first index past each end.
TEST(FrameAnalysis, BitrateAndSampleRateTables) {
    const int mpeg1[3][14] = {{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                              {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                              {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
    const int lsf[3][14] = {{32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                            {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                            {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    for (int layer = 0; layer < 3; ++layer) {
        const int code = 3 - layer;  // Layer I is code 3
        for (int i = 1; i <= 14; ++i) {
            EXPECT_EQ(BitrateKbps(1, code, i), mpeg1[layer][i - 1]) << "MPEG-1 layer " << layer + 1 << " index " << i;
            EXPECT_EQ(BitrateKbps(0, code, i), lsf[layer][i - 1]) << "MPEG-2 layer " << layer + 1 << " index " << i;
        }
        EXPECT_EQ(BitrateKbps(1, code, 15), 0);
        EXPECT_EQ(BitrateKbps(0, code, 0), 0);
    }
    const unsigned rates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    for (int v : {0, 2, 3})
        for (int i = 0; i < 3; ++i) EXPECT_EQ(SampleRateHz(v, i), rates[v][i]) << "version " << v << " index " << i;
    // Index 3 is reserved and never a header.
    for (std::uint8_t b1 : {0xFB, 0xF3, 0xE3}) {
        const std::uint8_t reserved[4] = {0xFF, b1, 0x9C, 0x64};
        EXPECT_FALSE(IsValidHeader(reserved));
        const std::uint8_t fine[4] = {0xFF, b1, 0x98, 0x64};
        EXPECT_TRUE(IsValidHeader(fine));
    }
}

TEST(FrameAnalysis, ZerosTagsAndWrappers) {
    Result r;
    // Four zero bytes and 100 more, then the tag at 104.
    Analyse(std::vector<std::uint8_t>(104, 0) + Id3(100) + std::vector<std::uint8_t>(7, 0) + kFrame128 +
                std::vector<std::uint8_t>(50, 1),
            r);
    EXPECT_EQ(r.a.AudioStart, 104 + 110 + 7);
    // Nothing but zeros: the audio start is the end of the source.
    Analyse(std::vector<std::uint8_t>(300, 0), r);
    EXPECT_EQ(r.a.AudioStart, 300);

    // A WAVE file whose first chunk is "fmt " is decoded from offset 66.
    std::vector<std::uint8_t> wrapped = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 30, 0, 0, 0,
                                         0x55, 0, 1, 0, 0x22, 0x56, 0, 0, 0xE8, 0x03, 0, 0, 1, 0, 0, 0, 12, 0};
    wrapped.resize(200, 0x33);
    Analyse(wrapped, r);
    EXPECT_TRUE(r.a.Wrapped);
    EXPECT_EQ(r.a.AudioStart, 66);
    EXPECT_EQ(r.position, 66);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nChannels, 1);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nSamplesPerSec, 22050u);
    EXPECT_EQ(r.mp3wav.FormatIn.Wfx().nAvgBytesPerSec, 1000u);  // 8 kbit/s
    // A wrapper claiming more format bytes than the file has raises.
    std::vector<std::uint8_t> shortWrap(wrapped.begin(), wrapped.begin() + 30);
    EXPECT_THROW(Analyse(shortWrap, r), EInOutError);
    // LIST first: not wrapped, searched from 0.
    std::vector<std::uint8_t> list = wrapped;
    std::memcpy(&list[12], "LIST", 4);
    list.insert(list.begin() + 100, kFrame128.begin(), kFrame128.end());
    Analyse(list, r);
    EXPECT_FALSE(r.a.Wrapped);
    EXPECT_EQ(r.a.AudioStart, 100);
}

TEST(FrameAnalysis, CatalogueMatchTakesTheLastEqualSlot) {
    TFormatSlot a{}, b{};
    for (TFormatSlot* s : {&a, &b}) {
        auto* m = reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(s->data());
        m->wfx.wFormatTag = 0x55;
        m->wfx.nChannels = 2;
        m->wfx.nSamplesPerSec = 44100;
        m->wfx.nAvgBytesPerSec = 16000;
        m->wfx.cbSize = 12;
    }
    reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(a.data())->nBlockSize = 111;
    reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(b.data())->nBlockSize = 222;
    Result r;
    Analyse(kFrame128 + std::vector<std::uint8_t>(10, 1), r, {a, b});
    EXPECT_EQ(r.mp3wav.FormatIn.Mp3().nBlockSize, 222);
}

}  // namespace
