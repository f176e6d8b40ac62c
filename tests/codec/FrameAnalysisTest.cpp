// Finding the audio start and describing the stream, on the shapes MP3
// files come in.
#include <gtest/gtest.h>

#include <cstring>

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
    ASSERT_TRUE(f.OpenRead(dir / "x.mp3"));
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
    // MPEG 2.5 (sync 0xFFE) never passes: the search runs to the end and
    // the last window stands.
    std::vector<std::uint8_t> v25 = {0xFF, 0xE3, 0x50, 0xC4};
    v25.resize(64, 0x11);
    Analyse(v25, r);
    EXPECT_EQ(r.a.AudioStart, 60);
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
