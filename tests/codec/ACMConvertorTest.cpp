// The stream convertor's states, its error texts, its stored formats and
// the format catalogue built from the real drivers.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/ACMConvertor.h"
#include "codec/ConvertorForm.h"
#include "codec/FormatCatalogue.h"

using namespace sondrel;

namespace {

// Records the calls the convertor makes and answers with chosen codes.
struct FakeAcm {
    static inline int calls = 0;
    static inline MMRESULT openResult = 0, sizeResult = 0, prepareResult = 0, unprepareResult = 0, closeResult = 0;
    static inline int closes = 0;
    static inline DWORD preparedSrc = 0, unpreparedSrc = 0, unpreparedDst = 0;

    static void Reset() {
        calls = closes = 0;
        openResult = sizeResult = prepareResult = unprepareResult = closeResult = 0;
    }
    static MMRESULT Open(HACMSTREAM* phas, HACMDRIVER, const WAVEFORMATEX*, const WAVEFORMATEX*, LPWAVEFILTER,
                         DWORD_PTR, DWORD_PTR, DWORD) {
        ++calls;
        *phas = reinterpret_cast<HACMSTREAM>(std::uintptr_t{0x42});
        return openResult;
    }
    static MMRESULT Size(HACMSTREAM, DWORD in, DWORD* out, DWORD) {
        ++calls;
        *out = in * 3;
        return sizeResult;
    }
    static MMRESULT Prepare(HACMSTREAM, LPACMSTREAMHEADER h, DWORD) {
        ++calls;
        preparedSrc = h->cbSrcLength;
        return prepareResult;
    }
    static MMRESULT Unprepare(HACMSTREAM, LPACMSTREAMHEADER h, DWORD) {
        ++calls;
        unpreparedSrc = h->cbSrcLength;
        unpreparedDst = h->cbDstLength;
        return unprepareResult;
    }
    static MMRESULT Close(HACMSTREAM, DWORD) {
        ++calls;
        ++closes;
        return closeResult;
    }
    static void Install(TACMConvertor& c) {
        c.Calls = TAcmStreamCalls{&Open, &Size, &Prepare, &Unprepare, &Close};
    }
};

class ConvertorStates : public ::testing::Test {
protected:
    void SetUp() override {
        FakeAcm::Reset();
        FakeAcm::Install(c);
    }
    TACMConvertor c;
};

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EACMConvertor& e) {
        return e.what();
    }
    return "";
}

TEST_F(ConvertorStates, CreationValues) {
    EXPECT_FALSE(c.Active());
    EXPECT_FALSE(c.UseRealTime());
    EXPECT_EQ(c.InputBufferSize(), 2048u);
    EXPECT_EQ(c.StreamHandle(), nullptr);
    for (const TFormatArea* a : {&c.FormatIn, &c.FormatOut}) {
        const WAVEFORMATEX& f = a->Wfx();
        EXPECT_EQ(f.wFormatTag, 1);
        EXPECT_EQ(f.nChannels, 1);
        EXPECT_EQ(f.nSamplesPerSec, 22050u);
        EXPECT_EQ(f.nAvgBytesPerSec, 22050u);
        EXPECT_EQ(f.nBlockAlign, 1);
        EXPECT_EQ(f.wBitsPerSample, 8);
        EXPECT_EQ(f.cbSize, 129);
        for (std::size_t i = 18; i < 129; ++i) EXPECT_EQ(a->Bytes[i], 0);
    }
}

TEST_F(ConvertorStates, SettingTheSameStateDoesNothing) {
    c.SetActive(false);
    EXPECT_EQ(FakeAcm::calls, 0);
    c.SetActive(true);
    EXPECT_EQ(FakeAcm::calls, 3);
    EXPECT_TRUE(c.Active());
    EXPECT_EQ(c.OutputBufferSize(), 2048u * 3);
    EXPECT_EQ(FakeAcm::preparedSrc, 2048u);
    EXPECT_EQ(c.StreamHeader.cbStruct, sizeof(ACMSTREAMHEADER));
    EXPECT_EQ(c.StreamHeader.pbSrc, c.InputBuffer());
    EXPECT_EQ(c.StreamHeader.cbDstLength, 6144u);
    c.SetActive(true);
    EXPECT_EQ(FakeAcm::calls, 3);
    // Close restores the prepared sizes that a last short chunk lowered.
    c.StreamHeader.cbSrcLength = 17;
    c.SetActive(false);
    EXPECT_EQ(FakeAcm::unpreparedSrc, 2048u);
    EXPECT_EQ(FakeAcm::unpreparedDst, 6144u);
    EXPECT_FALSE(c.Active());
    EXPECT_EQ(c.InputBuffer(), nullptr);
}

TEST_F(ConvertorStates, SettersRefuseWhileActiveEvenForTheSameValue) {
    c.SetActive(true);
    EXPECT_EQ(MessageOf([&] { c.SetInputBufferSize(2048); }), "You cannot change the buffer size while active.");
    EXPECT_EQ(MessageOf([&] { c.SetUseRealTime(false); }), "You cannot change the real time flag while active.");
    c.SetActive(false);
    c.SetInputBufferSize(4096);
    EXPECT_EQ(c.InputBufferSize(), 4096u);
}

TEST_F(ConvertorStates, FailuresOnTheWayInAndOut) {
    FakeAcm::sizeResult = 515;
    EXPECT_EQ(MessageOf([&] { c.SetActive(true); }), "acmStreamSize: raised an unknown error (code #515)");
    EXPECT_FALSE(c.Active());
    EXPECT_EQ(FakeAcm::closes, 1);  // the opened stream is not left behind
    FakeAcm::Reset();
    FakeAcm::prepareResult = ACMERR_BUSY;
    EXPECT_EQ(MessageOf([&] { c.SetActive(true); }), "acmStreamPrepareHeader: The conversion stream is already in use.");
    EXPECT_FALSE(c.Active());
    EXPECT_EQ(c.InputBuffer(), nullptr);
    EXPECT_EQ(c.OutputBuffer(), nullptr);
    FakeAcm::Reset();
    FakeAcm::openResult = MMSYSERR_NODRIVER;
    EXPECT_EQ(MessageOf([&] { c.SetActive(true); }),
              "acmStreamOpen: A suitable driver is not available to provide valid format selections.");
    EXPECT_EQ(FakeAcm::calls, 1);
    FakeAcm::Reset();
    c.SetActive(true);
    FakeAcm::unprepareResult = ACMERR_UNPREPARED;
    EXPECT_EQ(MessageOf([&] { c.SetActive(false); }),
              "acmStreamUnPrepareHeader: Cannot perform this action on a header that has not been prepared.");
    EXPECT_TRUE(c.Active());
    EXPECT_EQ(FakeAcm::closes, 0);
    FakeAcm::unprepareResult = 0;
    FakeAcm::closeResult = MMSYSERR_INVALHANDLE;
    EXPECT_EQ(MessageOf([&] { c.SetActive(false); }), "acmStreamClose: The specified handle is invalid.");
    EXPECT_TRUE(c.Active());
    FakeAcm::closeResult = 0;
    c.SetActive(false);
}

TEST(CheckResult, EveryKnownCodeAndTheUnknownFormat) {
    const std::pair<MMRESULT, const char*> known[] = {
        {5, " The specified handle is invalid."},
        {6, " A suitable driver is not available to provide valid format selections."},
        {7, " The system is unable to allocate resources."},
        {10, " At least one flag is invalid."},
        {11, " At least one parameter is invalid."},
        {512, " The requested operation cannot be performed."},
        {513, " The conversion stream is already in use."},
        {514, " Cannot perform this action on a header that has not been prepared."}};
    for (const auto& entry : known)
        EXPECT_EQ(MessageOf([&] { TACMConvertor::CheckResult("acmStreamConvert:", entry.first); }),
                  std::string("acmStreamConvert:") + entry.second);
    EXPECT_NO_THROW(TACMConvertor::CheckResult("x", 0));
    for (MMRESULT code : {1u, 2u, 3u, 4u, 8u, 9u, 515u})
        EXPECT_EQ(MessageOf([&] { TACMConvertor::CheckResult("acmStreamSize:", code); }),
                  "acmStreamSize: raised an unknown error (code #" + std::to_string(code) + ")");
    // The reset's prefix has no colon: only the text's blank separates them.
    EXPECT_EQ(MessageOf([] { TACMConvertor::CheckResult("acmStreamReset", 11); }),
              "acmStreamReset At least one parameter is invalid.");
}

TEST(StoredFormats, WrittenAsCountAndWholeArea) {
    TACMConvertor c;
    c.FormatIn.Bytes[128] = 0x5A;
    TPropertyWriter writer;
    c.DefineProperties(writer);
    ASSERT_EQ(writer.Stored.size(), 2u);
    for (const char* name : {"ACMFormatIn", "ACMFormatOut"}) {
        const auto& b = writer.Stored.at(name);
        ASSERT_EQ(b.size(), 133u);
        EXPECT_EQ(b[0], 0x81);
        EXPECT_EQ(b[1], 0);
        EXPECT_EQ(b[2], 0);
        EXPECT_EQ(b[3], 0);
    }
    EXPECT_EQ(writer.Stored.at("ACMFormatIn")[132], 0x5A);
}

TEST(StoredFormats, ReadingShortAndOversizedCounts) {
    TACMConvertor c;
    // A count of 4 replaces the first four bytes and keeps the rest.
    const std::map<std::string, std::vector<std::uint8_t>> shortOne = {{"ACMFormatIn", {4, 0, 0, 0, 0x55, 0, 2, 0}}};
    TPropertyReader shortReader(shortOne);
    c.DefineProperties(shortReader);
    EXPECT_EQ(c.FormatIn.Wfx().wFormatTag, 0x55);
    EXPECT_EQ(c.FormatIn.Wfx().nChannels, 2);
    EXPECT_EQ(c.FormatIn.Wfx().nSamplesPerSec, 22050u);
    // A count beyond the area is cut to 129 bytes.
    std::vector<std::uint8_t> big = {200, 0, 0, 0};
    big.resize(204, 0xEE);
    const std::map<std::string, std::vector<std::uint8_t>> bigOne = {{"ACMFormatOut", big}};
    TPropertyReader bigReader(bigOne);
    c.DefineProperties(bigReader);
    EXPECT_EQ(c.FormatOut.Bytes[128], 0xEE);
    EXPECT_EQ(c.FormatIn.Wfx().nSamplesPerSec, 22050u);
}

TEST(StoredFormats, TheFourConvertorsArriveWithTheirFormats) {
    TACMConvertor mp3wav, wavcd, wavtowav, wavmp3;
    LoadStoredConvertor(mp3wav, "mp3wav");
    LoadStoredConvertor(wavcd, "wavcd");
    LoadStoredConvertor(wavtowav, "wavtowav");
    LoadStoredConvertor(wavmp3, "wavmp3");
    EXPECT_EQ(mp3wav.Name, "mp3wav");
    const MPEGLAYER3WAVEFORMAT& in = mp3wav.FormatIn.Mp3();
    EXPECT_EQ(in.wfx.wFormatTag, 0x55);
    EXPECT_EQ(in.wfx.nSamplesPerSec, 24000u);
    EXPECT_EQ(in.wfx.nAvgBytesPerSec, 7000u);
    EXPECT_EQ(in.wfx.cbSize, 12);
    EXPECT_EQ(in.fdwFlags, 2u);
    EXPECT_EQ(in.nBlockSize, 168);
    EXPECT_EQ(in.nCodecDelay, 1393);
    EXPECT_EQ(mp3wav.FormatOut.Wfx().nAvgBytesPerSec, 176400u);
    EXPECT_EQ(wavcd.FormatOut.Wfx().nBlockAlign, 4);
    EXPECT_EQ(wavtowav.FormatOut.Wfx().nAvgBytesPerSec, 88200u);
    EXPECT_EQ(wavtowav.FormatIn.Wfx().cbSize, 129);
    EXPECT_EQ(wavmp3.FormatOut.Mp3().nBlockSize, 417);
    EXPECT_EQ(wavmp3.FormatOut.Wfx().nAvgBytesPerSec, 16000u);
    EXPECT_EQ(wavmp3.InputBufferSize(), 2048u);
}

struct Recorder : TFormatCatalogue::Host {
    std::vector<std::string> mp3, wav;
    int pumps = 0;
    void AddMP3Description(const std::string& t) override { mp3.push_back(t); }
    void AddWAVDescription(const std::string& t) override { wav.push_back(t); }
    void ProcessMessages() override { ++pumps; }
};

TEST(FormatCatalogue, BuildsBothTablesFromTheDrivers) {
    TFormatCatalogue cat;
    Recorder r;
    cat.Build(&r);
    EXPECT_EQ(cat.MP3FormatCount(), 228);
    EXPECT_EQ(cat.WAVFormatCount(), 28);
    EXPECT_EQ(r.mp3, cat.MP3Descriptions);
    EXPECT_EQ(r.wav.front(), "44.100 Hz, 16 Bit, Stereo");
    EXPECT_EQ(r.pumps, 3);  // once per driver
    TFormatArea area;
    ASSERT_TRUE(TFormatCatalogue::CopySlot(cat.MP3FormatTable, 0, area));
    EXPECT_EQ(area.Mp3().wfx.nAvgBytesPerSec, 16000u);
    EXPECT_EQ(area.Mp3().nBlockSize, 417);
    const TFormatArea before = area;
    EXPECT_FALSE(TFormatCatalogue::CopySlot(cat.MP3FormatTable, -1, area));
    EXPECT_FALSE(TFormatCatalogue::CopySlot(cat.MP3FormatTable, 228, area));
    EXPECT_EQ(area.Bytes, before.Bytes);
    cat.Release();
    EXPECT_EQ(cat.MP3FormatCount(), 0);
}

// Both lists entry for entry, in their released order (stored settings
// hold indices into them), each slot's record agreeing with its text.
TEST(FormatCatalogue, EveryEntryInItsPlace) {
    TFormatCatalogue cat;
    cat.Build();
    struct Mp3 {
        unsigned rate;
        int channels;
        int kbps;
        int quality = -1;  // VBR
    };
    std::vector<Mp3> mp3 = {{44100, 2, 128}};
    const int lsf[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    const int mpeg1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (unsigned rate : {16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
        for (int channels : {1, 2})
            for (int kbps : rate < 32000 ? std::vector<int>(std::begin(lsf), std::end(lsf))
                                         : std::vector<int>(std::begin(mpeg1), std::end(mpeg1)))
                if (!(rate == 44100 && channels == 2 && kbps == 128)) mp3.push_back({rate, channels, kbps});
    // Then VBR, after every constant bitrate (so those keep their places),
    // each quality at the MPEG-1 rates, stereo then mono: the library's
    // typical average, three fifths of it for mono.
    const int vbrStereo[] = {245, 225, 190, 175, 165, 130, 115, 100, 85, 65};
    const int vbrMono[] = {147, 135, 114, 105, 99, 78, 69, 60, 51, 39};
    for (int quality = 0; quality <= 9; ++quality)
        for (unsigned rate : {32000u, 44100u, 48000u})
            for (int channels : {2, 1})
                mp3.push_back({rate, channels, (channels == 2 ? vbrStereo : vbrMono)[quality], quality});
    const char* rateText[] = {"8.000", "11.025", "16.000", "22.050", "24.000", "32.000", "44.100", "48.000"};
    auto text = [&](unsigned rate) {
        for (const char* t : rateText) {
            std::string digits(t);
            digits.erase(digits.find('.'), 1);
            if (std::stoul(digits) == rate) return std::string(t);
        }
        return std::string("?");
    };
    ASSERT_EQ(cat.MP3FormatCount(), static_cast<int>(mp3.size()));
    for (std::size_t i = 0; i < mp3.size(); ++i) {
        const Mp3& m = mp3[i];
        const std::string what = m.quality < 0 ? std::to_string(m.kbps) + " kBit/s"
                                               : "VBR " + std::to_string(m.quality) + " (ca. " +
                                                     std::to_string(m.kbps) + " kBit/s)";
        EXPECT_EQ(cat.MP3Descriptions[i], what + ", " + text(m.rate) + " Hz, " + (m.channels == 1 ? "Mono" : "Stereo"))
            << "MP3 entry " << i;
        TFormatArea a;
        ASSERT_TRUE(TFormatCatalogue::CopySlot(cat.MP3FormatTable, static_cast<int>(i), a));
        EXPECT_EQ(a.Wfx().wFormatTag, WAVE_FORMAT_MPEGLAYER3);
        EXPECT_EQ(a.Wfx().nSamplesPerSec, m.rate) << "MP3 entry " << i;
        EXPECT_EQ(a.Wfx().nChannels, m.channels) << "MP3 entry " << i;
        EXPECT_EQ(a.Wfx().nAvgBytesPerSec, static_cast<DWORD>(m.kbps * 125)) << "MP3 entry " << i;
        // A VBR entry's record says its quality; no average of one is a
        // constant bitrate of the same rate and channels.
        const DWORD flags = a.Mp3().fdwFlags;
        EXPECT_EQ((flags & 0x10000) != 0, m.quality >= 0) << "MP3 entry " << i;
        if (m.quality >= 0) {
            EXPECT_EQ(static_cast<int>((flags >> 20) & 0xF), m.quality) << "MP3 entry " << i;
            for (std::size_t k = 0; k < 168; ++k)
                EXPECT_FALSE(mp3[k].rate == m.rate && mp3[k].channels == m.channels && mp3[k].kbps == m.kbps)
                    << "MP3 entry " << i << " and " << k;
        }
    }
    struct Pcm {
        unsigned rate;
        int bits, channels;
    };
    std::vector<Pcm> pcm = {{44100, 16, 2}};
    for (unsigned rate : {8000u, 11025u, 16000u, 22050u, 32000u, 44100u, 48000u})
        for (int bits : {8, 16})
            for (int channels : {1, 2})
                if (!(rate == 44100 && bits == 16 && channels == 2)) pcm.push_back({rate, bits, channels});
    ASSERT_EQ(cat.WAVFormatCount(), static_cast<int>(pcm.size()));
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const Pcm& p = pcm[i];
        EXPECT_EQ(cat.WAVDescriptions[i], text(p.rate) + " Hz, " + std::to_string(p.bits) + " Bit, " +
                                              (p.channels == 1 ? "Mono" : "Stereo"))
            << "PCM entry " << i;
        TFormatArea a;
        ASSERT_TRUE(TFormatCatalogue::CopySlot(cat.WAVFormatTable, static_cast<int>(i), a));
        EXPECT_EQ(a.Wfx().wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(a.Wfx().nSamplesPerSec, p.rate);
        EXPECT_EQ(a.Wfx().wBitsPerSample, p.bits);
        EXPECT_EQ(a.Wfx().nChannels, p.channels);
        EXPECT_EQ(a.Wfx().nBlockAlign, p.bits / 8 * p.channels);
        EXPECT_EQ(a.Wfx().nAvgBytesPerSec, p.rate * static_cast<unsigned>(p.bits / 8 * p.channels));
    }
    TFormatArea past;
    EXPECT_FALSE(TFormatCatalogue::CopySlot(cat.WAVFormatTable, static_cast<int>(pcm.size()), past));
}

TEST(FormatCatalogue, LongDescriptionsAreCutAt128AndUnknownTagsPassedOver) {
    TFormatCatalogue cat;
    std::vector<std::uint8_t> rec(129);
    ACMFORMATDETAILSA d{};
    d.pwfx = reinterpret_cast<WAVEFORMATEX*>(rec.data());
    d.cbwfx = 18;
    d.dwFormatTag = WAVE_FORMAT_PCM;
    std::memset(d.szFormat, 'x', sizeof d.szFormat);  // no closing NUL
    cat.ACMEnumFmtMethod(nullptr, d);
    d.dwFormatTag = 0x31;
    cat.ACMEnumFmtMethod(nullptr, d);
    ASSERT_EQ(cat.WAVFormatCount(), 1);
    EXPECT_EQ(cat.WAVDescriptions[0], std::string(128, 'x'));
    EXPECT_EQ(cat.MP3FormatCount(), 0);
}

TEST(ConvertorOnRealCodecs, UnconvertiblePairRaisesOnActivation) {
    TACMConvertor c;
    c.FormatIn.Wfx().wFormatTag = 0x7777;
    EXPECT_EQ(MessageOf([&] { c.SetActive(true); }), "acmStreamOpen: The requested operation cannot be performed.");
    EXPECT_FALSE(c.Active());
}

}  // namespace
