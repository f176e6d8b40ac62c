// Several cores side by side, as the command-line batch runs them: each on
// its own thread with its own convertors, sharing only the codec layer's
// driver list, handle registry and lazily loaded decoder library. Run under
// ThreadSanitizer by the test command.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;

namespace {

TEST(Threads, ConversionsSideBySideMakeWhatOneThreadMakes) {
    TempDir dir;
    // Plain PCM, a float file (the decoder library, loaded on first use by
    // whichever thread comes first) and an MP3 made here.
    WriteFile(dir / "pcm.wav", MakeWav(MakeMusic(22050, 2, 1.0), 22050, 2));
    {
        RecordingHost host;
        TConverterCore core(host);
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        core.ConvertWAVMP3((dir / "pcm.wav").string(), (dir / "src.mp3").string());
        ASSERT_TRUE(host.errors.empty());
    }
    std::vector<std::uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                     3, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x00, 0x7D, 0, 0, 4, 0, 32, 0,
                                     'd', 'a', 't', 'a', 0x00, 0x7D, 0, 0};
    // Sized first and filled in place: gcc 12 misreads an insert behind
    // the header's initialiser list as a copy past its end.
    const std::size_t header = wav.size();
    wav.resize(header + 8000 * 4);
    for (int i = 0; i < 8000; ++i) {
        const float v = static_cast<float>(0.4 * std::sin(i * 0.05));
        std::memcpy(wav.data() + header + static_cast<std::size_t>(i) * 4, &v, 4);
    }
    WriteFile(dir / "float.wav", wav);

    // Each thread runs every kind of conversion into its own folder.
    auto work = [&](int n) {
        RecordingHost host;
        TConverterCore core(host);
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        core.WavFormatIndex = 3;
        const std::string out = (dir / ("t" + std::to_string(n))).string();
        std::filesystem::create_directory(out);
        core.ConvertWAVMP3((dir / "pcm.wav").string(), out + "/a.mp3");
        core.ConvertMP3WAV((dir / "src.mp3").string(), out + "/b.wav");
        core.ConvertMP3CDWAV((dir / "src.mp3").string(), out + "/c.wav");
        core.ConvertWAV2WAV((dir / "float.wav").string(), out + "/d.wav");
        core.ConvertWAVMP3((dir / "float.wav").string(), out + "/e.mp3");
        EXPECT_TRUE(host.errors.empty()) << n;
    };
    work(0);
    std::vector<std::thread> threads;
    for (int n = 1; n <= 4; ++n) threads.emplace_back(work, n);
    for (std::thread& t : threads) t.join();
    for (int n = 1; n <= 4; ++n)
        for (const char* name : {"a.mp3", "b.wav", "c.wav", "d.wav", "e.mp3"}) {
            const auto reference = ReadFile(dir / "t0" / name);
            EXPECT_GT(reference.size(), 44u) << name;
            EXPECT_EQ(ReadFile(dir / ("t" + std::to_string(n)) / name), reference) << n << " " << name;
        }
}

}  // namespace
