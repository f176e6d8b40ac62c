// The acm* surface: enumeration order and records, and every kind of misuse
// coming back as a result code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/acm/Driver.h"
#include "platform/acm/msacm.h"

namespace {

struct Listed {
    std::vector<std::vector<std::uint8_t>> records;
    std::vector<std::string> texts;
    std::vector<int> driver;
};

struct EnumState {
    Listed* listed;
    int driverIndex;
};

BOOL OnFormat(HACMDRIVERID, LPACMFORMATDETAILSA d, DWORD_PTR instance, DWORD) {
    auto* s = reinterpret_cast<EnumState*>(instance);
    const auto* p = reinterpret_cast<const std::uint8_t*>(d->pwfx);
    s->listed->records.emplace_back(p, p + d->cbwfx);
    s->listed->texts.emplace_back(d->szFormat);
    s->listed->driver.push_back(s->driverIndex);
    EXPECT_EQ(d->dwFormatTag, d->pwfx->wFormatTag);
    return TRUE;
}

BOOL OnDriver(HACMDRIVERID id, DWORD_PTR instance, DWORD) {
    auto* s = reinterpret_cast<EnumState*>(instance);
    HACMDRIVER had = nullptr;
    EXPECT_EQ(acmDriverOpen(&had, id, 0), MMSYSERR_NOERROR);
    std::vector<std::uint8_t> buffer(129);
    ACMFORMATDETAILSA details{};
    details.cbStruct = sizeof details;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    details.cbwfx = 129;
    EXPECT_EQ(acmFormatEnumA(had, &details, &OnFormat, instance, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmDriverClose(had, 0), MMSYSERR_NOERROR);
    ++s->driverIndex;
    return TRUE;
}

Listed ListAll() {
    Listed listed;
    EnumState state{&listed, 0};
    EXPECT_EQ(acmDriverEnum(&OnDriver, reinterpret_cast<DWORD_PTR>(&state), ACM_DRIVERENUMF_DISABLED),
              MMSYSERR_NOERROR);
    return listed;
}

WAVEFORMATEX Pcm(DWORD rate, WORD ch, WORD bits) { return acm::PcmFormat(rate, ch, bits); }

TEST(AcmEnumeration, EverydayFormatsComeFirstAndEveryCombinationFollows) {
    const Listed all = ListAll();
    std::vector<std::size_t> mp3, pcm;
    for (std::size_t i = 0; i < all.records.size(); ++i) {
        const auto* f = reinterpret_cast<const WAVEFORMATEX*>(all.records[i].data());
        if (f->wFormatTag == WAVE_FORMAT_MPEGLAYER3) mp3.push_back(i);
        if (f->wFormatTag == WAVE_FORMAT_PCM) pcm.push_back(i);
    }
    // MPEG-1: 3 rates x 2 channel counts x 14 bitrates; MPEG-2 the same;
    // then VBR: 10 qualities x 3 rates x 2 channel counts.
    ASSERT_EQ(mp3.size(), 228u);
    EXPECT_EQ(all.texts[mp3[168]], "VBR 0 (ca. 245 kBit/s), 32.000 Hz, Stereo");
    EXPECT_EQ(all.texts[mp3[227]], "VBR 9 (ca. 39 kBit/s), 48.000 Hz, Mono");
    ASSERT_EQ(pcm.size(), 28u);
    EXPECT_EQ(all.texts[mp3[0]], "128 kBit/s, 44.100 Hz, Stereo");
    EXPECT_EQ(all.texts[pcm[0]], "44.100 Hz, 16 Bit, Stereo");
    EXPECT_EQ(all.texts[mp3[1]], "8 kBit/s, 16.000 Hz, Mono");
    EXPECT_EQ(all.texts[pcm[1]], "8.000 Hz, 8 Bit, Mono");
    // MP3 formats all come from the first driver, PCM from the second.
    EXPECT_EQ(all.driver[mp3.front()], 0);
    EXPECT_EQ(all.driver[pcm.front()], 1);

    const auto& rec = all.records[mp3[0]];
    ASSERT_EQ(rec.size(), sizeof(MPEGLAYER3WAVEFORMAT));
    MPEGLAYER3WAVEFORMAT m;
    std::memcpy(&m, rec.data(), sizeof m);
    EXPECT_EQ(m.wfx.nChannels, 2);
    EXPECT_EQ(m.wfx.nSamplesPerSec, 44100u);
    EXPECT_EQ(m.wfx.nAvgBytesPerSec, 16000u);
    EXPECT_EQ(m.wfx.nBlockAlign, 1);
    EXPECT_EQ(m.wfx.cbSize, 12);
    EXPECT_EQ(m.wID, 1);
    EXPECT_EQ(m.nBlockSize, 417);  // 144 * 128000 / 44100
    EXPECT_EQ(m.nFramesPerBlock, 1);

    bool sawMpeg2Top = false, sawMpeg1Bottom = false;
    for (std::size_t i : mp3) {
        sawMpeg2Top |= all.texts[i] == "160 kBit/s, 22.050 Hz, Stereo";
        sawMpeg1Bottom |= all.texts[i] == "32 kBit/s, 48.000 Hz, Mono";
        EXPECT_EQ(all.texts[i].find("320 kBit/s, 24"), std::string::npos);
    }
    EXPECT_TRUE(sawMpeg2Top);
    EXPECT_TRUE(sawMpeg1Bottom);
    bool sawSmallPcm = false;
    for (std::size_t i : pcm) sawSmallPcm |= all.texts[i] == "22.050 Hz, 8 Bit, Mono";
    EXPECT_TRUE(sawSmallPcm);
}

TEST(AcmEnumeration, FormatFiltersAndSmallBuffers) {
    std::vector<std::uint8_t> buffer(129);
    ACMFORMATDETAILSA d{};
    d.cbStruct = sizeof d;
    d.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    d.cbwfx = 129;
    d.dwFormatTag = WAVE_FORMAT_PCM;
    Listed listed;
    EnumState state{&listed, 0};
    EXPECT_EQ(acmFormatEnumA(nullptr, &d, &OnFormat, reinterpret_cast<DWORD_PTR>(&state), ACM_FORMATENUMF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_EQ(listed.records.size(), 28u);
    // A buffer too small for an MP3 record never gets one written into it.
    d.cbwfx = 18;
    d.dwFormatTag = WAVE_FORMAT_MPEGLAYER3;
    listed = {};
    EXPECT_EQ(acmFormatEnumA(nullptr, &d, &OnFormat, reinterpret_cast<DWORD_PTR>(&state), ACM_FORMATENUMF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_TRUE(listed.records.empty());
    EXPECT_EQ(acmFormatEnumA(nullptr, nullptr, &OnFormat, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmFormatEnumA(nullptr, &d, nullptr, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmFormatEnumA(nullptr, &d, &OnFormat, 0, 0x8), MMSYSERR_INVALFLAG);
}

TEST(AcmMisuse, BadHandlesAreRefused) {
    auto* bogusStream = reinterpret_cast<HACMSTREAM>(std::uintptr_t{0x1234});
    auto* bogusDriver = reinterpret_cast<HACMDRIVER>(std::uintptr_t{0x5678});
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    DWORD size = 0;
    EXPECT_EQ(acmStreamSize(bogusStream, 100, &size, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamSize(nullptr, 100, &size, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamPrepareHeader(bogusStream, &h, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamConvert(bogusStream, &h, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamReset(bogusStream, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamUnprepareHeader(bogusStream, &h, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamClose(bogusStream, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmDriverClose(bogusDriver, 0), MMSYSERR_INVALHANDLE);
    HACMDRIVER had = nullptr;
    EXPECT_EQ(acmDriverOpen(&had, reinterpret_cast<HACMDRIVERID>(std::uintptr_t{0x99}), 0), MMSYSERR_INVALHANDLE);
    const WAVEFORMATEX a = Pcm(44100, 2, 16);
    HACMSTREAM has = nullptr;
    EXPECT_EQ(acmStreamOpen(&has, bogusDriver, &a, &a, nullptr, 0, 0, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmMisuse, StreamLifecycleErrors) {
    const WAVEFORMATEX in = Pcm(44100, 2, 16), out = Pcm(22050, 1, 8);
    HACMSTREAM has = nullptr;
    ASSERT_EQ(acmStreamOpen(&has, nullptr, &in, &out, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
    DWORD outSize = 0;
    ASSERT_EQ(acmStreamSize(has, 4096, &outSize, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamSize(has, 4096, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamSize(has, 4096, &outSize, 7), MMSYSERR_INVALFLAG);
    std::vector<BYTE> src(4096), dst(outSize);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = src.data();
    h.cbSrcLength = 4096;
    h.pbDst = dst.data();
    h.cbDstLength = outSize;
    EXPECT_EQ(acmStreamConvert(has, &h, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamPrepareHeader(has, &h, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamPrepareHeader(has, nullptr, 0), MMSYSERR_INVALPARAM);
    ACMSTREAMHEADER small = h;
    small.cbStruct = 20;
    EXPECT_EQ(acmStreamPrepareHeader(has, &small, 0), MMSYSERR_INVALPARAM);
    ASSERT_EQ(acmStreamPrepareHeader(has, &h, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    h.cbSrcLength = 4097;  // more than prepared
    EXPECT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_START), MMSYSERR_INVALPARAM);
    h.cbSrcLength = 4096;
    EXPECT_EQ(acmStreamConvert(has, &h, 0x1000), MMSYSERR_INVALFLAG);
    h.pbSrc = dst.data();  // another buffer than prepared
    EXPECT_EQ(acmStreamConvert(has, &h, 0), MMSYSERR_INVALPARAM);
    h.pbSrc = src.data();
    EXPECT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_START), MMSYSERR_NOERROR);
    EXPECT_EQ(h.cbSrcLengthUsed, 4096u);
    // 1024 frames in, half the rate out, one byte a frame; the resampler
    // may hold them back until the END call gives them all.
    DWORD produced = h.cbDstLengthUsed;
    EXPECT_LE(produced, outSize);
    EXPECT_EQ(acmStreamConvert(has, &h, ACM_STREAMCONVERTF_END), MMSYSERR_NOERROR);
    EXPECT_LE(h.cbDstLengthUsed, outSize);
    produced += h.cbDstLengthUsed;
    EXPECT_NEAR(static_cast<double>(produced), 1024.0, 2.0);
    EXPECT_EQ(acmStreamReset(has, 3), MMSYSERR_INVALFLAG);
    h.cbSrcLength = 100;  // unprepare wants the prepared sizes back
    EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), MMSYSERR_INVALPARAM);
    h.cbSrcLength = 4096;
    EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamConvert(has, &h, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamClose(has, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamClose(has, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(has, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamConvert(has, &h, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmMisuse, PairsNoDriverConvertsAreNotPossible) {
    HACMSTREAM has = nullptr;
    WAVEFORMATEX mp3{};
    mp3.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.nChannels = 2;
    mp3.nSamplesPerSec = 44100;
    mp3.nAvgBytesPerSec = 16000;
    mp3.nBlockAlign = 1;
    const WAVEFORMATEX pcm = Pcm(44100, 2, 16);
    WAVEFORMATEX weird = pcm;
    weird.wFormatTag = 0x7777;
    EXPECT_EQ(acmStreamOpen(&has, nullptr, &weird, &pcm, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(has, nullptr);
    WAVEFORMATEX noChannels = pcm;
    noChannels.nChannels = 0;
    EXPECT_EQ(acmStreamOpen(&has, nullptr, &noChannels, &pcm, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX oddBitrate = mp3;
    oddBitrate.nAvgBytesPerSec = 12345;
    EXPECT_EQ(acmStreamOpen(&has, nullptr, &pcm, &oddBitrate, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(&has, nullptr, &pcm, &weird, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(&has, nullptr, nullptr, &pcm, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &pcm, &pcm, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamOpen(&has, nullptr, &pcm, &pcm, nullptr, 0, 0, 0x100), MMSYSERR_INVALFLAG);
    // A query answers without opening anything.
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &pcm, &mp3, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), MMSYSERR_NOERROR);
    // PCM at another rate into MP3 is chained through the PCM converter.
    const WAVEFORMATEX pcm22 = Pcm(22050, 1, 8);
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &pcm22, &mp3, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), MMSYSERR_NOERROR);
    // Extensible PCM whose block alignment (3) fits none of its five 16-bit
    // channels (found by fuzzing):
    // the chain's PCM steps copied the source's 22 extra bytes from a bare
    // record. A sanitizer build sees that; the answer is a code either way.
    const std::uint8_t extensible[40] = {0xFE, 0xFF, 5, 0, 0x22, 0x56, 0, 0, 0x66, 2, 1, 0, 3, 0, 0x10, 0, 0x16, 0, 0x18, 0,
                                         4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const MMRESULT r = acmStreamOpen(nullptr, nullptr, reinterpret_cast<const WAVEFORMATEX*>(extensible), &pcm, nullptr,
                                     0, 0, ACM_STREAMOPENF_QUERY);
    EXPECT_TRUE(r == MMSYSERR_NOERROR || r == ACMERR_NOTPOSSIBLE) << r;
}

}  // namespace
