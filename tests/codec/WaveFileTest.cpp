// The 44-byte header and the chunk walk over the shapes WAV files come in.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/LittleEndian.h"
#include "codec/WaveFile.h"
#include "support/Audio.h"

using namespace sondrel;
using namespace testing_support;

namespace {

const std::uint8_t kCd[16] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00,
                              0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00};

std::uint32_t At32(const std::uint8_t* p) { return GetLe32(p); }

TEST(WaveHeader, OneSecondOfCdAudio) {
    TempDir dir;
    TByteFile f;
    ASSERT_TRUE(f.Create(dir / "t.wav"));
    WriteProvisionalHeader(f, kCd);
    const auto provisional = ReadFile(dir / "t.wav");
    ASSERT_EQ(provisional.size(), 44u);
    EXPECT_EQ(At32(&provisional[4]), 0u);
    EXPECT_EQ(At32(&provisional[40]), 0u);
    std::vector<std::uint8_t> second(176400, 7);
    f.Seek(44);
    f.Write(second.data(), second.size());
    WriteFinalHeader(f, kCd);
    f.Close();
    const auto file = ReadFile(dir / "t.wav");
    ASSERT_EQ(file.size(), 176444u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 16), std::string("RIFF\x34\xB1\x02\x00WAVEfmt ", 16));
    EXPECT_EQ(At32(&file[4]), 176436u);
    EXPECT_EQ(At32(&file[16]), 16u);
    EXPECT_EQ(std::memcmp(&file[20], kCd, 16), 0);
    EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
    EXPECT_EQ(At32(&file[40]), 176400u);
}

TEST(WaveHeader, EmptyAndHugeTargets) {
    const auto empty = WaveHeader(kCd, 44);
    EXPECT_EQ(At32(&empty[4]), 36u);
    EXPECT_EQ(At32(&empty[40]), 0u);
    // Past 4 GiB the size fields stop at their largest value.
    const auto huge = WaveHeader(kCd, (std::int64_t{5} << 30));
    EXPECT_EQ(At32(&huge[4]), 0xFFFFFFFFu);
    EXPECT_EQ(At32(&huge[40]), 0xFFFFFFFFu);
    const auto edge = WaveHeader(kCd, 0xFFFFFFFFll + 8);
    EXPECT_EQ(At32(&edge[4]), 0xFFFFFFFFu);
    EXPECT_EQ(At32(&edge[40]), 0xFFFFFFFFu - 36);
}

// A target that may pass 4 GiB reserves a JUNK chunk for the RF64 sizes:
// past 4 GiB (seven hours of CD audio, a sparse file here) it becomes an
// RF64 file with a ds64 chunk, below it stays a RIFF file with the JUNK
// chunk; both read whole in the chunk walk and in ffprobe.
TEST(WaveHeader, ATargetPastFourGiBBecomesRf64) {
    TempDir dir;
    const std::int64_t sevenHours = std::int64_t{7} * 3600 * 176400;
    for (const std::int64_t data : {sevenHours, std::int64_t{176400}}) {
        SCOPED_TRACE(data);
        TByteFile f;
        ASSERT_TRUE(f.Create(dir / "t.wav"));
        WriteProvisionalHeader(f, kCd, true);
        EXPECT_EQ(f.Size(), kReservedWaveDataStart);
        ASSERT_TRUE(f.Truncate(kReservedWaveDataStart + data));
        WriteFinalHeader(f, kCd, -1, kReservedWaveDataStart);
        f.Close();
        std::vector<std::uint8_t> h(kReservedWaveDataStart);
        ASSERT_TRUE(f.OpenRead(dir / "t.wav"));
        f.ReadExact(h.data(), h.size());
        const bool rf64 = data > 0xFFFFFFFFll;
        EXPECT_EQ(std::string(h.begin(), h.begin() + 4), rf64 ? "RF64" : "RIFF");
        EXPECT_EQ(At32(&h[4]), rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kReservedWaveDataStart - 8 + data));
        EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 16), rf64 ? "WAVEds64" : "WAVEJUNK");
        EXPECT_EQ(At32(&h[16]), 28u);
        if (rf64) {
            EXPECT_EQ(GetLe64(&h[20]), static_cast<std::uint64_t>(kReservedWaveDataStart - 8 + data));
            EXPECT_EQ(GetLe64(&h[28]), static_cast<std::uint64_t>(data));
            EXPECT_EQ(GetLe64(&h[36]), static_cast<std::uint64_t>(data / 4));
            EXPECT_EQ(At32(&h[44]), 0u);
        }
        EXPECT_EQ(std::string(h.begin() + 48, h.begin() + 52), "fmt ");
        EXPECT_EQ(std::memcmp(&h[56], kCd, 16), 0);
        EXPECT_EQ(std::string(h.begin() + 72, h.begin() + 76), "data");
        EXPECT_EQ(At32(&h[76]), rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(data));
        TWaveChunks w;
        ASSERT_TRUE(WalkChunks(f, w));
        EXPECT_EQ(w.DataOffset, kReservedWaveDataStart);
        EXPECT_EQ(w.DataSize, data);
        f.Close();
        if (HaveTool("ffprobe")) {
            FILE* p = popen(("ffprobe -v error -show_entries format=duration -of csv=p=0 " + (dir / "t.wav").string()).c_str(), "r");
            char text[64] = {};
            ASSERT_NE(p, nullptr);
            const std::size_t n = std::fread(text, 1, sizeof text - 1, p);
            pclose(p);
            EXPECT_NEAR(std::atof(std::string(text, n).c_str()), static_cast<double>(data) / 176400, 0.01);
        }
    }
}

// Sources past 4 GiB (sparse files): RF64 and BW64 give their data's size
// in ds64; a plain file whose data size is 0xFFFFFFFF, or whose RIFF size
// was clamped there, is read to its end. A fact chunk's count is read.
TEST(ChunkWalk, SourcesPastFourGiB) {
    TempDir dir;
    const std::int64_t data = (std::int64_t{5} << 30) + 6;
    const auto make = [&](const char* riff, std::uint32_t riffSize, bool ds64, std::uint32_t dataSize) {
        std::vector<std::uint8_t> b(riff, riff + 4);
        b.resize(12);
        PutLe32(&b[4], riffSize);
        std::memcpy(&b[8], "WAVE", 4);
        if (ds64) {
            std::uint8_t c[36] = {'d', 's', '6', '4', 28};
            PutLe64(c + 8, static_cast<std::uint64_t>(data + 72 - 8));
            PutLe64(c + 16, static_cast<std::uint64_t>(data));
            b.insert(b.end(), c, c + sizeof c);
        }
        const std::uint8_t fact[12] = {'f', 'a', 'c', 't', 4, 0, 0, 0, 0x10, 0x27, 0, 0};
        b.insert(b.end(), fact, fact + 12);
        b.insert(b.end(), {'f', 'm', 't', ' ', 16, 0, 0, 0});
        b.insert(b.end(), kCd, kCd + 16);
        b.insert(b.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
        PutLe32(&b[b.size() - 4], dataSize);
        WriteFile(dir / "s.wav", b);
        TByteFile f;
        EXPECT_TRUE(f.OpenReadWrite(dir / "s.wav"));
        EXPECT_TRUE(f.Truncate(static_cast<std::int64_t>(b.size()) + data));
        TWaveChunks w;
        EXPECT_TRUE(WalkChunks(f, w));
        EXPECT_EQ(w.FactSamples, 10000);
        return w.DataSize;
    };
    EXPECT_EQ(make("RF64", 0xFFFFFFFF, true, 0xFFFFFFFF), data);
    EXPECT_EQ(make("BW64", 0xFFFFFFFF, true, 0xFFFFFFFF), data);
    EXPECT_EQ(make("RIFF", 0xFFFFFFFF, false, 0xFFFFFFFF), data);
    EXPECT_EQ(make("RIFF", 0x1234, false, 0xFFFFFFFF), data);
    EXPECT_EQ(make("RIFF", 0xFFFFFFFF, false, 0xFFFFFF00), data);
    // Below 4 GiB a data size is what it says.
    EXPECT_EQ(make("RIFF", 0x1234, false, 0xFFFFFF00), 0xFFFFFF00);
}

// A RIFF file of the given chunks (ID, body), with or without pad bytes.
std::vector<std::uint8_t> Riff(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& chunks,
                               bool pad, std::uint32_t dataSizeOverride = 0) {
    std::vector<std::uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const auto& [id, body] : chunks) {
        b.insert(b.end(), id.begin(), id.end());
        std::uint32_t size = static_cast<std::uint32_t>(body.size());
        if (id == "data" && dataSizeOverride) size = dataSizeOverride;
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
        b.insert(b.end(), body.begin(), body.end());
        if (pad && (body.size() & 1)) b.push_back(0);
    }
    return b;
}

std::vector<std::uint8_t> Fmt(std::size_t size) {
    std::vector<std::uint8_t> f(size, 0);
    std::memcpy(f.data(), kCd, 16);
    if (size >= 18) f[16] = static_cast<std::uint8_t>(size - 18);
    for (std::size_t i = 18; i < size; ++i) f[i] = static_cast<std::uint8_t>(0xA0 + i);
    return f;
}

bool Walk(const std::vector<std::uint8_t>& bytes, TWaveChunks& out) {
    TempDir dir;
    WriteFile(dir / "w.wav", bytes);
    TByteFile f;
    EXPECT_TRUE(f.OpenRead(dir / "w.wav"));
    const bool found = WalkChunks(f, out);
    if (found) {
        EXPECT_EQ(f.Position(), 0);
    }
    return found;
}

TEST(ChunkWalk, ListOddSizedAndLongFormatChunks) {
    const std::vector<std::uint8_t> audio(1000, 1);
    TWaveChunks w;
    // LIST between fmt and data is walked past.
    ASSERT_TRUE(Walk(Riff({{"fmt ", Fmt(16)}, {"LIST", std::vector<std::uint8_t>(26, 'x')}, {"data", audio}}, true), w));
    EXPECT_EQ(w.DataOffset, 12 + 24 + 34 + 8);
    EXPECT_EQ(w.DataSize, 1000u);
    EXPECT_EQ(w.Wfx().nSamplesPerSec, 44100u);
    EXPECT_EQ(w.Wfx().cbSize, 0);  // a 16-byte chunk leaves cbSize 0
    // An odd-sized chunk, with its pad byte and without.
    for (bool pad : {true, false}) {
        ASSERT_TRUE(Walk(Riff({{"fmt ", Fmt(16)}, {"junk", std::vector<std::uint8_t>(5, 'j')}, {"data", audio}}, pad), w))
            << "pad " << pad;
        EXPECT_EQ(w.DataSize, 1000u);
        EXPECT_EQ(w.DataOffset, 12 + 24 + 8 + 5 + (pad ? 1 : 0) + 8);
    }
    // 18 bytes are handed over whole; of 40, the first 18 and the extras.
    ASSERT_TRUE(Walk(Riff({{"fmt ", Fmt(18)}, {"data", audio}}, true), w));
    EXPECT_EQ(w.FormatBytes, 18u);
    ASSERT_TRUE(Walk(Riff({{"fmt ", Fmt(40)}, {"data", audio}}, true), w));
    EXPECT_EQ(w.Wfx().cbSize, 22);
    EXPECT_EQ(w.FormatBytes, 40u);
    EXPECT_EQ(w.Format[39], 0xA0 + 39);
}

TEST(ChunkWalk, ShortAndMissingPieces) {
    const std::vector<std::uint8_t> audio(100, 1);
    TWaveChunks w;
    // A data chunk claiming more than the file holds still counts.
    ASSERT_TRUE(Walk(Riff({{"fmt ", Fmt(16)}, {"data", audio}}, true, 5000), w));
    EXPECT_EQ(w.DataSize, 5000u);
    // A size of 2^31 and more stays positive.
    ASSERT_TRUE(Walk(Riff({{"fmt ", Fmt(16)}, {"data", audio}}, true, 0x80000010u), w));
    EXPECT_EQ(w.DataSize, 0x80000010u);
    // No data chunk, not WAVE, not RIFF.
    EXPECT_FALSE(Walk(Riff({{"fmt ", Fmt(16)}}, true), w));
    auto notWave = Riff({{"fmt ", Fmt(16)}, {"data", audio}}, true);
    notWave[8] = 'A';
    EXPECT_FALSE(Walk(notWave, w));
    // Data without a format: found, with an all-zero record.
    ASSERT_TRUE(Walk(Riff({{"data", audio}}, true), w));
    EXPECT_EQ(w.Wfx().wFormatTag, 0);
    // Cut-off pieces raise, keeping what was found before.
    auto cut = Riff({{"fmt ", Fmt(16)}, {"data", audio}}, true);
    cut.insert(cut.end(), {'L', 'I', 'S'});
    EXPECT_THROW(Walk(cut, w), EInOutError);
    EXPECT_TRUE(w.Found);
    EXPECT_EQ(w.DataSize, 100u);
    EXPECT_THROW(Walk({'R', 'I', 'F', 'F', 0, 0}, w), EInOutError);
    auto fmtCut = Riff({{"fmt ", Fmt(16)}}, true);
    fmtCut.resize(fmtCut.size() - 4);
    EXPECT_THROW(Walk(fmtCut, w), EInOutError);
    // A format chunk claiming 4 GiB in a tiny file is refused at once, and
    // an empty one leaves an empty record.
    auto huge = Riff({{"fmt ", Fmt(16)}, {"data", audio}}, true);
    huge[16] = huge[17] = huge[18] = huge[19] = 0xFF;
    EXPECT_THROW(Walk(huge, w), EInOutError);
    ASSERT_TRUE(Walk(Riff({{"fmt ", {}}, {"data", audio}}, true), w));
    EXPECT_EQ(w.FormatBytes, 0u);
}

}  // namespace
