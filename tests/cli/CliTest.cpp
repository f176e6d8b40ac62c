// sondrel-cli as a user runs it: its exit statuses, its output and Ctrl-C.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <thread>

#include "codec/LittleEndian.h"
#include "support/Audio.h"

using namespace testing_support;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs the tool with a shell command line of arguments; stderr joins stdout.
Outcome Cli(const std::string& args) {
    Outcome o;
    FILE* p = popen((std::string(SONDREL_CLI) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return o;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) o.out.append(buf.data(), n);
    const int st = pclose(p);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return o;
}

TEST(Cli, UsageAndFormats) {
    EXPECT_EQ(Cli("").status, 2);
    const Outcome help = Cli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("batch-wav-to-mp3"), std::string::npos);
    EXPECT_EQ(Cli("frobnicate").status, 2);
    EXPECT_EQ(Cli("mp3-to-wav only-one").status, 2);
    EXPECT_EQ(Cli("wav-to-mp3 --format").status, 2);
    EXPECT_EQ(Cli("mp3-to-wav --format 3 a b").status, 2);
    EXPECT_EQ(Cli("wav-to-mp3 --format '999 kBit/s' a b").status, 2);
    const Outcome formats = Cli("formats");
    EXPECT_EQ(formats.status, 0);
    EXPECT_EQ(formats.out.rfind("mp3 0 128 kBit/s, 44.100 Hz, Stereo\n", 0), 0u);
    EXPECT_NE(formats.out.find("\nwav 0 44.100 Hz, 16 Bit, Stereo\n"), std::string::npos);
    EXPECT_NE(formats.out.find("\nwav 27 "), std::string::npos);
}

TEST(Cli, ConversionsAndTheirMessages) {
    TempDir dir;
    const std::string d = dir.Path().string();
    WriteFile(dir / "a.wav", MakeWav(MakeMusic(22050, 1, 1.0), 22050, 1));
    EXPECT_EQ(Cli("wav-to-mp3 --format '64 kBit/s, 22.050 Hz, Mono' " + d + "/a.wav " + d + "/a.mp3").status, 0);
    EXPECT_GT(std::filesystem::file_size(dir / "a.mp3"), 6000u);
    EXPECT_EQ(Cli("mp3-to-wav --cd " + d + "/a.mp3 " + d + "/cd.wav").status, 0);
    const auto cd = ReadFile(dir / "cd.wav");
    ASSERT_GT(cd.size(), 44u);
    EXPECT_EQ(cd[22], 2);
    EXPECT_EQ(Cli("wav-to-wav --format 1 " + d + "/a.wav " + d + "/low.wav").status, 0);
    const Outcome missing = Cli("mp3-to-wav " + d + "/none.mp3 " + d + "/x.wav");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Konnte Datei nicht öffnen!\n");
    const Outcome same = Cli("wav-to-wav " + d + "/a.wav " + d + "/a.wav");
    EXPECT_EQ(same.status, 1);
    EXPECT_EQ(same.out, "Quell- und Zieldatei sind dieselbe Datei!\n");
    std::filesystem::create_directory(dir / "out");
    const Outcome batch = Cli("batch-wav-to-mp3 --out-dir " + d + "/out " + d + "/a.wav " + d + "/low.wav");
    EXPECT_EQ(batch.status, 0) << batch.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "low.mp3"));
    const Outcome next = Cli("batch-mp3-to-wav " + d + "/out/a.mp3 " + d + "/nothing.mp3");
    EXPECT_EQ(next.status, 1);
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a.wav"));
}

TEST(Cli, TagShowAndSet) {
    TempDir dir;
    const std::string f = (dir / "t.mp3").string();
    WriteFile(dir / "t.mp3", std::vector<std::uint8_t>(3000, 0x55));
    const Outcome none = Cli("tag show " + f);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "Die Datei enthält keine ID3-Tag Informationen!\n");
    EXPECT_EQ(Cli("tag set " + f + " --title 'Schöne Grüße' --genre Rock --track 3 --year 2026").status, 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "t.mp3"), 3128u);
    EXPECT_EQ(Cli("tag set " + f + " --artist Band").status, 0);  // keeps the rest, replaces in place
    EXPECT_EQ(std::filesystem::file_size(dir / "t.mp3"), 3128u);
    const Outcome shown = Cli("tag show " + f);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, "title=Schöne Grüße\nartist=Band\nalbum=\nyear=2026\ncomment=\ntrack=3\ngenre=Rock\n");
    EXPECT_EQ(Cli("tag set " + (dir / "none.mp3").string() + " --title x").out, "Konnte die Datei nicht öffnen!\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "none.mp3"));
    EXPECT_EQ(Cli("tag set " + f + " --colour blau").status, 2);
    EXPECT_EQ(Cli("tag").status, 2);
}

TEST(Cli, CtrlCStopsWithACompleteTarget) {
    TempDir dir;
    WriteFile(dir / "long.wav", MakeWav(MakeMusic(44100, 2, 60.0), 44100, 2));
    const std::string target = (dir / "long-48.wav").string();
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(SONDREL_CLI, SONDREL_CLI, "wav-to-wav", "--format", "48.000 Hz, 16 Bit, Mono",
              (dir / "long.wav").c_str(), target.c_str(), static_cast<char*>(nullptr));
        _exit(99);
    }
    // Wait until the conversion is under way, then interrupt it.
    for (int i = 0; i < 200 && (!std::filesystem::exists(target) || std::filesystem::file_size(target) < 100000); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
    int st = 0;
    waitpid(pid, &st, 0);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 130);
    const auto out = ReadFile(target);
    ASSERT_GE(out.size(), 44u);
    const auto at32 = [&](std::size_t i) {
        return sondrel::GetLe32(&out[i]);
    };
    EXPECT_EQ(at32(4), out.size() - 8);
    EXPECT_EQ(at32(40), out.size() - 44);
    EXPECT_LT(out.size(), 44u + 60 * 96000);
}

}  // namespace
