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
