// A collection converted as a whole into a mirrored tree, again and again
// (tests/support/Library.h): skipping what is done, converting what is
// stale, cleaning what a killed run left, covers, playlists and cue
// sheets along; and a run killed part way, taken up again.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/Audio.h"
#include "support/Library.h"

using namespace testing_support;

namespace {

struct Outcome {
    int status = -1;
    std::string said;  // stderr
};

// sondrel-cli batch-wav-to-mp3 --skip-existing into the library's output
// folder; killed with SIGKILL while the long album is being written, once
// killAt bytes of it are (0: never).
Outcome Convert(const Library& lib, std::uintmax_t killAt = 0) {
    const std::string err = (lib.out.parent_path() / "err.txt").string();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDERR_FILENO);
        execl(SONDREL_CLI, SONDREL_CLI, "batch-wav-to-mp3", "--skip-existing", "--jobs", "2", "--out-dir",
              lib.out.c_str(), lib.given.c_str(), static_cast<char*>(nullptr));
        _exit(99);
    }
    const auto written = [&] {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(lib.out / "Künstler" / "Album B", ec))
            if (e.path().filename().string().rfind(".Album B.mp3.sondrel-", 0) == 0) return e.file_size(ec);
        return std::uintmax_t{0};
    };
    for (int i = 0; killAt > 0 && i < 60000 && written() < killAt; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (killAt > 0) kill(pid, SIGKILL);
    int st = 0;
    waitpid(pid, &st, 0);
    const auto bytes = ReadFile(err);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, std::string(bytes.begin(), bytes.end())};
}

TEST(Collection, ARunAgainConvertsWhatIsMissingAndBringsWhatLiesBeside) {
    TempDir dir;
    const Library lib(dir.Path());
    const Outcome first = Convert(lib);
    EXPECT_EQ(first.status, 0) << first.said;
    EXPECT_EQ(lib.Check(), "");
    // The killed run's hidden file, said; the foreign target skipped.
    EXPECT_NE(first.said.find("Eine unvollständige Zieldatei eines abgebrochenen Laufs wurde entfernt."), std::string::npos)
        << first.said;
    EXPECT_NE(first.said.find("6 Dateien konvertiert, 1 übersprungen."), std::string::npos) << first.said;
    EXPECT_NE(first.said.find("Eine Wiedergabeliste konnte nicht gelesen werden und wurde unverändert kopiert:\n" +
                              (lib.given / "Andere/Album C/kaputt.m3u").string()),
              std::string::npos)
        << first.said;
    // Again: nothing to do, nothing changed.
    std::vector<std::vector<std::uint8_t>> before;
    for (const std::string& t : lib.targets) before.push_back(ReadFile(lib.out / t));
    const Outcome again = Convert(lib);
    EXPECT_EQ(again.said, "Alle 7 Dateien waren schon konvertiert und wurden übersprungen.\n");
    for (std::size_t i = 0; i < lib.targets.size(); ++i) EXPECT_EQ(ReadFile(lib.out / lib.targets[i]), before[i]);
    EXPECT_EQ(lib.Check(), "");
}

TEST(Collection, ARunKilledPartWayIsTakenUpAgain) {
    for (const std::uintmax_t killAt : {1u, 200000u}) {
        SCOPED_TRACE("killed after " + std::to_string(killAt) + " bytes of the long album");
        TempDir dir;
        const Library lib(dir.Path());
        EXPECT_EQ(Convert(lib, killAt).status, -1);
        const Outcome resumed = Convert(lib);
        EXPECT_EQ(resumed.status, 0) << resumed.said;
        EXPECT_EQ(lib.Check(), "");
    }
}

}  // namespace
