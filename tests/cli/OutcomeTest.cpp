// Every conversion path checked against its source, not against another
// path: the core's single and batch routines (what the window runs) and
// sondrel-cli's, each conversion with and without CD quality, sources at
// another rate than the target and with a chunk after their audio.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>

#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;

namespace {

enum class Kind { Mp3ToWav, Mp3ToCdWav, WavToMp3, WavToWav };
enum class Path { CoreSingle, CoreBatch, CliSingle, CliBatch };

struct Case {
    const char* name;
    Kind kind;
    const char* source;     // in the test folder
    const char* reference;  // what the target must sound like
    const char* format;     // the chosen format's description; empty for entry 0
    TargetCheck want;
};

// A WAV file with a LIST chunk after its audio, as many editors write them.
std::vector<std::uint8_t> WithTrailingChunk(std::vector<std::uint8_t> wav) {
    const std::uint8_t list[] = {'L', 'I', 'S', 'T', 14, 0, 0, 0, 'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 2, 0, 0, 0, 'x', 0};
    wav.insert(wav.end(), std::begin(list), std::end(list));
    const auto riff = static_cast<std::uint32_t>(wav.size() - 8);
    for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return wav;
}

class Outcome : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* tool : {"lame", "mpg123", "sox"})
            if (!HaveTool(tool)) return;
        dir = new TempDir;
        const auto& d = *dir;
        WriteFile(d / "s44.wav", WithTrailingChunk(MakeWav(MakeMusic(44100, 2, 2.0, 3), 44100, 2)));
        WriteFile(d / "s22m.wav", MakeWav(MakeMusic(22050, 1, 2.0, 4), 22050, 1));
        Shell("lame --quiet -b 128 " + (d / "s44.wav").string() + " " + (d / "m44.mp3").string());
        Shell("lame --quiet -b 64 " + (d / "s22m.wav").string() + " " + (d / "m22m.mp3").string());
        for (const char* mp3 : {"m44", "m22m"})
            Shell("mpg123 -q -w " + (d / (std::string(mp3) + ".ref.wav")).string() + " " +
                  (d / (std::string(mp3) + ".mp3")).string());
    }
    static void TearDownTestSuite() { delete dir; }
    void SetUp() override {
        if (!dir) GTEST_SKIP() << "lame, mpg123 or sox not installed";
    }

    // Runs one conversion of c along path p; the target's name.
    std::filesystem::path Run(const Case& c, Path p) {
        const auto& d = *dir;
        const bool toMp3 = c.kind == Kind::WavToMp3;
        const std::string ext = toMp3 ? ".mp3" : ".wav";
        const std::filesystem::path out = d / ("out-" + std::to_string(static_cast<int>(p)));
        std::filesystem::create_directories(out);
        const std::string source = (d / c.source).string();
        const std::filesystem::path target = out / (std::filesystem::path(c.source).stem().string() + ext);
        // An earlier case's target would make a batch choose another name.
        std::filesystem::remove(target);
        if (p == Path::CoreSingle || p == Path::CoreBatch) {
            RecordingHost host;
            TConverterCore core(host);
            core.Catalogue.Build();
            const auto& list = toMp3 ? core.Catalogue.MP3Descriptions : core.Catalogue.WAVDescriptions;
            const int index = *c.format ? static_cast<int>(std::find(list.begin(), list.end(), c.format) - list.begin()) : 0;
            core.Mp3FormatIndex = toMp3 ? index : 0;
            core.WavFormatIndex = toMp3 ? 0 : index;
            if (p == Path::CoreBatch) {
                TBatchSettings batch;
                batch.Files = {source};
                batch.NextToSource = false;
                batch.OutputFolder = out.string();
                batch.CdQuality = c.kind == Kind::Mp3ToCdWav;
                toMp3 ? core.Gobtn4Proc(batch) : core.Gobtn2Proc(batch);
            } else {
                switch (c.kind) {
                case Kind::Mp3ToWav: core.ConvertMP3WAV(source, target.string()); break;
                case Kind::Mp3ToCdWav: core.ConvertMP3CDWAV(source, target.string()); break;
                case Kind::WavToMp3: core.ConvertWAVMP3(source, target.string()); break;
                case Kind::WavToWav: core.ConvertWAV2WAV(source, target.string()); break;
                }
            }
            EXPECT_TRUE(host.errors.empty());
        } else {
            const char* commands[] = {"mp3-to-wav", "mp3-to-wav", "wav-to-mp3", "wav-to-wav"};
            std::string command = commands[static_cast<int>(c.kind)];
            if (p == Path::CliBatch) command = "batch-" + command;
            if (c.kind == Kind::Mp3ToCdWav) command += " --cd";
            if (*c.format) command += " --format '" + std::string(c.format) + "'";
            command += p == Path::CliBatch ? " --out-dir " + out.string() + " " + source : " " + source + " " + target.string();
            EXPECT_EQ(std::system((std::string(SONDREL_CLI) + " " + command + " 2>/dev/null").c_str()), 0) << command;
        }
        return target;
    }

    static TempDir* dir;
};

TempDir* Outcome::dir = nullptr;

TEST_F(Outcome, EveryPathMakesItsSourcesAudioInTheChosenFormat) {
    const Case cases[] = {
        {"mp3 to wav", Kind::Mp3ToWav, "m44.mp3", "m44.ref.wav", "", {44100, 2, 16, 0, 60}},
        {"mpeg-2 mono mp3 to wav", Kind::Mp3ToWav, "m22m.mp3", "m22m.ref.wav", "", {22050, 1, 16, 0, 60}},
        {"mpeg-2 mono mp3 to cd wav", Kind::Mp3ToCdWav, "m22m.mp3", "m22m.ref.wav", "", {44100, 2, 16, 2, 60}},
        {"22 kHz mono into the first mp3 format", Kind::WavToMp3, "s22m.wav", "s22m.wav", "", {44100, 2, 16, 2, 18}},
        {"into 22 kHz mono mp3", Kind::WavToMp3, "s44.wav", "s44.wav", "64 kBit/s, 22.050 Hz, Mono", {22050, 1, 16, 2, 18}},
        {"into 22 kHz mono pcm", Kind::WavToWav, "s44.wav", "s44.wav", "22.050 Hz, 16 Bit, Mono", {22050, 1, 16, 2, 50}},
        {"into 8 kHz 8 bit", Kind::WavToWav, "s44.wav", "s44.wav", "8.000 Hz, 8 Bit, Mono", {8000, 1, 8, 2, 30}},
        {"mono into 48 kHz stereo", Kind::WavToWav, "s22m.wav", "s22m.wav", "48.000 Hz, 16 Bit, Stereo", {48000, 2, 16, 2, 50}},
    };
    for (const Case& c : cases) {
        for (Path p : {Path::CoreSingle, Path::CoreBatch, Path::CliSingle, Path::CliBatch}) {
            if (c.kind == Kind::WavToWav && (p == Path::CoreBatch || p == Path::CliBatch)) continue;
            SCOPED_TRACE(std::string(c.name) + ", path " + std::to_string(static_cast<int>(p)));
            const std::filesystem::path target = Run(c, p);
            EXPECT_EQ(TargetProblem(*dir / c.reference, target, c.want), "");
        }
    }
}

// A format given by number, at both ends of each list: the target is in
// exactly the format that entry describes.
TEST_F(Outcome, FormatNumbersAtTheEdgesOfTheLists) {
    RecordingHost host;
    TConverterCore core(host);
    core.Catalogue.Build();
    const int lastMp3 = core.Catalogue.MP3FormatCount() - 1, lastWav = core.Catalogue.WAVFormatCount() - 1;
    struct Row {
        bool mp3;
        int index;
    } rows[] = {{true, 0}, {true, lastMp3}, {false, 0}, {false, lastWav}};
    for (const Row& r : rows) {
        TFormatArea slot;
        ASSERT_TRUE(TFormatCatalogue::CopySlot(r.mp3 ? core.Catalogue.MP3FormatTable : core.Catalogue.WAVFormatTable,
                                               r.index, slot));
        const WAVEFORMATEX& f = slot.Wfx();
        SCOPED_TRACE((r.mp3 ? "mp3 " : "wav ") + std::to_string(r.index));
        const auto target = *dir / (r.mp3 ? "edge.mp3" : "edge.wav");
        // (Without the source's tags, which would add to the size.)
        const std::string command = std::string(SONDREL_CLI) + (r.mp3 ? " wav-to-mp3" : " wav-to-wav") + " --no-tags --format " +
                                    std::to_string(r.index) + " " + (*dir / "s44.wav").string() + " " + target.string();
        ASSERT_EQ(std::system(command.c_str()), 0);
        const TargetCheck want{f.nSamplesPerSec, f.nChannels, r.mp3 ? 16 : f.wBitsPerSample, 2, r.mp3 ? 12.0 : 30.0};
        EXPECT_EQ(TargetProblem(*dir / "s44.wav", target, want), "");
        if (r.mp3 && slot.Mp3().nBlockSize != 0) {
            // Two seconds at the entry's bitrate, give or take the info frame
            // (a VBR entry's is only what it is on average).
            const double rate = static_cast<double>(std::filesystem::file_size(target)) / 2.0;
            EXPECT_NEAR(rate, f.nAvgBytesPerSec, f.nAvgBytesPerSec * 0.06);
        }
    }
    // One past either end is no format: wrong usage, nothing written. The
    // VBR entries' former wording is still taken, as scripts name them.
    const std::pair<std::string, int> more[] = {
        {"wav-to-mp3 --format " + std::to_string(lastMp3 + 1), 2},
        {"wav-to-wav --format " + std::to_string(lastWav + 1), 2},
        {"wav-to-mp3 --format -1", 2},
        {"wav-to-mp3 --format 'VBR Qualität 2 (etwa 190 kBit/s), 44.100 Hz, Stereo'", 0}};
    for (const auto& [args, status] : more) {
        SCOPED_TRACE(args);
        const auto target = *dir / "more.out";
        std::filesystem::remove(target);
        const std::string command = std::string(SONDREL_CLI) + " " + args + " " + (*dir / "s44.wav").string() + " " +
                                    target.string() + " 2>/dev/null";
        const int st = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(st) ? WEXITSTATUS(st) : -1, status);
        EXPECT_EQ(std::filesystem::exists(target), status == 0);
    }
}

}  // namespace
