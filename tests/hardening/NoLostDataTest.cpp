// Nothing is lost: a conversion that is cancelled, or cannot write its
// target, leaves the source as it was and a target that is whole (a WAV
// header that describes what it holds, MP3 frames up to its last byte).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "codec/FrameAnalysis.h"
#include "hardening/Isolated.h"
#include "jobs/ConverterCore.h"
#include "jobs/Messages.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"
#include "tags/Id3Tag.h"

using namespace sondrel;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Empty, or what is wrong with a WAV target.
std::string WaveProblem(const Bytes& wav) {
    if (std::string header = WaveHeaderProblem(wav); !header.empty()) return header;
    const unsigned align = wav[32] | (wav[33] << 8);
    if (align == 0 || (wav.size() - 44) % align != 0) return "a part of a sample frame at the end";
    return "";
}

// Empty, or where an MP3 target stops being a chain of whole frames.
std::string FramesProblem(const Bytes& mp3) {
    static const unsigned rates[3] = {44100, 48000, 32000};
    std::size_t pos = 0;
    while (pos + 4 <= mp3.size()) {
        const std::uint8_t* h = &mp3[pos];
        if (!IsValidHeader(h)) return "no frame header at " + std::to_string(pos);
        const int version = (h[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        const unsigned rate = rates[(h[2] >> 2) & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
        const unsigned kbps = static_cast<unsigned>(BitrateKbps(version == 3, (h[1] >> 1) & 3, h[2] >> 4));
        pos += (version == 3 ? 144000 : 72000) * kbps / rate + ((h[2] >> 1) & 1);
    }
    if (pos != mp3.size()) return "a cut frame at the end";
    return "";
}

class NoLostData : public ::testing::Test {
protected:
    void SetUp() override {
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        core.WavFormatIndex = 0;
        WriteFile(dir / "src.wav", MakeWav(MakeMusic(44100, 2, 3.0), 44100, 2));
        core.ConvertWAVMP3(P("src.wav"), P("src.mp3"));
        ASSERT_TRUE(host.errors.empty());
        // The PCM list's 8-bit mono entry, whose frames are one byte.
        for (int i = 0; i < core.Catalogue.WAVFormatCount(); ++i) {
            const auto& f = *reinterpret_cast<const WAVEFORMATEX*>(core.Catalogue.WAVFormatTable[i].data());
            if (f.nChannels == 1 && f.wBitsPerSample == 8) mono8 = i;
        }
    }
    std::string P(const std::string& name) const { return (dir / name).string(); }

    // Runs one of the four conversions, "mp3wav", "mp3cd", "wavmp3" or
    // "wav2wav", from the matching source into target.
    void Run(const std::string& routine, const std::string& target) {
        if (routine == "mp3wav") core.ConvertMP3WAV(P("src.mp3"), target);
        if (routine == "mp3cd") core.ConvertMP3CDWAV(P("src.mp3"), target);
        if (routine == "wavmp3") core.ConvertWAVMP3(P("src.wav"), target);
        if (routine == "wav2wav") core.ConvertWAV2WAV(P("src.wav"), target);
    }

    TempDir dir;
    RecordingHost host;
    TConverterCore core{host};
    int mono8 = 0;
};

const char* const kRoutines[] = {"mp3wav", "mp3cd", "wavmp3", "wav2wav"};

TEST_F(NoLostData, CancelAnywhereKeepsTheSourceAndLeavesAWholeTarget) {
    const Bytes wav = ReadFile(dir / "src.wav"), mp3 = ReadFile(dir / "src.mp3");
    for (const char* routine : kRoutines) {
        for (int cancelAt : {1, 2, 7, 40}) {
            SCOPED_TRACE(std::string(routine) + ", cancelled at step " + std::to_string(cancelAt));
            host.pumps = 0;
            host.onPump = [&](int n) {
                if (n == cancelAt) core.State.Cancel = true;
            };
            core.State.Cancel = false;
            core.WavFormatIndex = cancelAt % 2 ? 0 : mono8;  // odd-sized frames, too
            const std::string target = P(std::string("part-") + routine + std::to_string(cancelAt));
            Run(routine, target);
            const Bytes out = ReadFile(target);
            if (std::string(routine) == "wavmp3")
                EXPECT_EQ(FramesProblem(out), "");
            else
                EXPECT_EQ(WaveProblem(out), "");
            EXPECT_EQ(ReadFile(dir / "src.wav"), wav);
            EXPECT_EQ(ReadFile(dir / "src.mp3"), mp3);
            EXPECT_FALSE(core.State.Busy);
        }
    }
    EXPECT_TRUE(host.errors.empty());
}

// A file that is replaced stays as it was until its replacement is
// complete: a cancel or a full disk part way leave it whole and nothing
// beside it; a complete result takes its place, its name, permissions and
// (where we may give it) owner.
TEST_F(NoLostData, AReplacedFileStaysUntilItsReplacementIsComplete) {
    const Bytes mine = {'m', 'i', 'n', 'e'};
    const bool root = geteuid() == 0;
    for (const char* routine : kRoutines) {
        SCOPED_TRACE(routine);
        const std::string target = P(std::string("old-") + routine);
        WriteFile(target, mine);
        ASSERT_EQ(chmod(target.c_str(), 0640), 0);
        if (root) {
            ASSERT_EQ(chown(target.c_str(), 1234, 1235), 0);
        }
        const auto entries = [&] { return std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()); };
        const auto before = entries();
        host.pumps = 0;
        host.onPump = [&](int n) {
            if (n == 3) core.State.Cancel = true;
        };
        core.State.Cancel = false;
        Run(routine, target);
        EXPECT_EQ(ReadFile(target), mine);
        EXPECT_EQ(entries(), before);
        const std::string problem = Isolated([&]() -> std::string {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{30000, 30000};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "no limit";
            core.State.Cancel = false;
            host.onPump = nullptr;
            Run(routine, target);
            return host.errors == std::vector<std::string>{msg::CannotWrite} ? "" : "no message";
        });
        EXPECT_EQ(problem, "");
        EXPECT_EQ(ReadFile(target), mine);
        EXPECT_EQ(entries(), before);
        host.onPump = nullptr;
        core.State.Cancel = false;
        Run(routine, target);
        EXPECT_TRUE(host.errors.empty());
        EXPECT_GT(ReadFile(target).size(), 1000u);
        EXPECT_EQ(entries(), before);
        struct stat st {};
        ASSERT_EQ(stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        if (root) {
            EXPECT_EQ(st.st_uid, 1234u);
            EXPECT_EQ(st.st_gid, 1235u);
        }
    }
}

TEST_F(NoLostData, AFullDiskIsReportedAndEndsTheBatch) {
    // A file size limit stands in for a full disk: writes past it fail.
    const Bytes wav = ReadFile(dir / "src.wav"), mp3 = ReadFile(dir / "src.mp3");
    for (const char* routine : kRoutines) {
        const std::string target = P(std::string("full-") + routine);
        const std::string problem = Isolated([&]() -> std::string {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{30000, 30000};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "no limit";
            Run(routine, target);
            if (host.errors != std::vector<std::string>{msg::CannotWrite}) return "messages: " + std::to_string(host.errors.size());
            return "";
        });
        EXPECT_EQ(problem, "") << routine;
        const Bytes out = ReadFile(target);
        EXPECT_LE(out.size(), 30000u) << routine;
        EXPECT_GT(out.size(), 44u) << routine;
        // What fitted is there, described by its header; an MP3 may end in
        // a cut frame, since a disk runs full anywhere.
        if (std::string(routine) != "wavmp3") {
            EXPECT_EQ(WaveHeaderProblem(out), "") << routine;
        }
    }
    EXPECT_EQ(ReadFile(dir / "src.wav"), wav);
    EXPECT_EQ(ReadFile(dir / "src.mp3"), mp3);

    // A batch says it once and leaves the other files alone.
    WriteFile(dir / "b.wav", wav);
    TBatchSettings batch;
    batch.Files = {P("src.wav"), P("b.wav")};
    batch.NextToSource = false;
    batch.OutputFolder = P("out");
    fs::create_directory(dir / "out");
    const std::string problem = Isolated([&]() -> std::string {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{30000, 30000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "no limit";
        core.Gobtn4Proc(batch);
        return std::to_string(host.errors.size()) + " messages";
    });
    EXPECT_EQ(problem, "1 messages");
    EXPECT_TRUE(fs::exists(dir / "out" / "src.mp3"));
    EXPECT_FALSE(fs::exists(dir / "out" / "b.mp3"));

    // Without the limit the same batch goes through.
    core.Gobtn4Proc(batch);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(FramesProblem(ReadFile(dir / "out" / "b.mp3")), "");
}

TEST(NoLostDataInTags, ASaveKeepsEveryByteBeforeTheTag) {
    // Files around the tag's size, with and without a tag, and with "TAG"
    // in the audio just before where a tag would sit.
    TempDir dir;
    TId3Fields fields;
    fields.Title = "Prüfung";
    fields.Track = "9";
    fields.Genre = "Jazz";
    const TTagRecord record = RecordFromFields(fields);
    for (std::size_t size : {0u, 1u, 3u, 127u, 128u, 129u, 131u, 255u, 256u, 257u, 4000u}) {
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(std::to_string(size) + " bytes, kind " + std::to_string(kind));
            Bytes file(size);
            for (std::size_t i = 0; i < size; ++i) file[i] = static_cast<std::uint8_t>(i * 13 + 5);
            const bool tagged = kind == 1 && size >= 128;
            if (tagged) std::memcpy(&file[size - 128], "TAG", 3);
            if (kind == 2 && size >= 131) std::memcpy(&file[size - 131], "TAG", 3);
            WriteFile(dir / "f.mp3", file);
            ASSERT_EQ(WriteTagRecord(dir / "f.mp3", record), TTagResult::Ok);
            const Bytes after = ReadFile(dir / "f.mp3");
            const std::size_t audio = tagged ? size - 128 : size;
            ASSERT_EQ(after.size(), audio + 128);
            EXPECT_TRUE(std::equal(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(audio), after.begin()));
            EXPECT_TRUE(std::equal(record.begin(), record.end(), after.begin() + static_cast<std::ptrdiff_t>(audio)));
        }
    }
}

TEST_F(NoLostData, PipesFoldersAndDevicesAreRefusedWithoutWaiting) {
    // A pipe with nobody at its other end used to block the open for good.
    ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    const std::string problem = Isolated([&]() -> std::string {
        std::string wrong;
        for (const std::string& source : {P("pipe"), P("folder")}) {
            host.errors.clear();
            core.ConvertMP3WAV(source, P("x.wav"));
            core.ConvertWAV2WAV(source, P("x.wav"));
            if (host.errors != std::vector<std::string>{msg::CannotOpen, msg::CannotOpenNamed(source)})
                wrong += source + " as source; ";
        }
        for (const std::string& target : {P("pipe"), P("folder"), std::string("/dev/null")}) {
            host.errors.clear();
            core.ConvertWAVMP3(P("src.wav"), target);
            core.ConvertMP3WAV(P("src.mp3"), target);
            if (host.errors != std::vector<std::string>{msg::CannotCreate, msg::CannotCreate})
                wrong += target + " as target; ";
        }
        TTagRecord record{};
        if (ReadTagRecord(P("pipe"), record) != TTagResult::CannotOpen) wrong += "tag read of a pipe; ";
        if (WriteTagRecord(P("pipe"), RecordFromFields(TId3Fields{})) != TTagResult::CannotOpen)
            wrong += "tag save into a pipe; ";
        return wrong;
    }, {20, 256});
    EXPECT_EQ(problem, "");
    EXPECT_FALSE(fs::exists(dir / "x.wav"));
}

}  // namespace
