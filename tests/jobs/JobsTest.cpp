// Progress arithmetic and target naming.
#include <gtest/gtest.h>

#include <random>

#include "jobs/BatchProgress.h"
#include "jobs/JobState.h"
#include "jobs/Messages.h"
#include "jobs/Naming.h"
#include "support/Audio.h"

using namespace sondrel;
using namespace testing_support;

namespace {

TEST(Progress, OverallPercentOfABatch) {
    EXPECT_EQ(OverallPercent(2, 4, 50), 62);  // third file of four, half done
    EXPECT_EQ(OverallPercent(0, 1, 29), 29);  // not 28 from 28.999...
    for (int v = 0; v <= 100; ++v) EXPECT_EQ(OverallPercent(0, 1, v), v);
    EXPECT_EQ(OverallPercent(3, 4, 100), 100);
    EXPECT_EQ(OverallPercent(1, 3, 0), 33);
    EXPECT_EQ(OverallPercent(5, 4, 50), 100);  // clamped
    EXPECT_EQ(OverallPercent(-1, 1, 0), 0);
}

// "Gesamt" of a batch run at an even pace through its bytes, one file after
// the other, moves with the work: batches of every shape (a long file
// first, last, in the middle, all alike, an unreadable one), their sizes
// drawn at random.
TEST(Progress, TheBatchShareFollowsTheWorkWhateverTheShape) {
    TempDir dir;
    std::mt19937 random(41);
    for (int shape = 0; shape < 12; ++shape) {
        SCOPED_TRACE(shape);
        const std::size_t files = 2 + random() % 9, longOne = random() % files;
        std::vector<std::string> names;
        std::vector<std::uint64_t> sizes;
        for (std::size_t i = 0; i < files; ++i) {
            names.push_back((dir / ("f" + std::to_string(shape) + "_" + std::to_string(i))).string());
            const bool unreadable = shape == 11 && i == 0;
            sizes.push_back(unreadable ? 1 : shape % 4 == 3 ? 50000 : (i == longOne ? 60 : 1) * (20000 + random() % 40000));
            if (!unreadable) WriteFile(names.back(), std::vector<std::uint8_t>(sizes.back(), 0));
        }
        // From the sixth shape on, files whose targets are done already
        // are skipped: the share counts only the work that is left.
        std::vector<bool> skipped(files);
        for (std::size_t i = 0; i < files; ++i) skipped[i] = shape >= 6 && random() % 3 == 0;
        std::uint64_t total = 0, before = 0;
        for (std::size_t i = 0; i < files; ++i) total += skipped[i] ? 0 : sizes[i];
        TBatchProgress progress(names);
        for (std::size_t i = 0; i < files; ++i)
            if (skipped[i]) progress.Skipped(i);
        std::string astray;
        for (std::size_t i = 0; i < files; ++i) {
            if (skipped[i]) continue;
            progress.Started(i);
            for (int percent = 0; percent <= 100; percent += 10) {
                progress.Percent(i, percent);
                const double work = 100.0 * (static_cast<double>(before) + sizes[i] * percent / 100.0) / static_cast<double>(total);
                if (std::abs(progress.Overall() - work) > 1.0)
                    astray += " file " + std::to_string(i) + " at " + std::to_string(percent) + " %: " +
                              std::to_string(progress.Overall()) + " for " + std::to_string(work) + ";";
            }
            progress.Done(i, i % 3 == 1 ? TFileEnd::Failed : TFileEnd::Finished);
            before += sizes[i];
        }
        EXPECT_EQ(astray, "");
        EXPECT_EQ(progress.Overall(), 100);
    }
}

// What the summary of a batch says, for every way a batch ends: how many
// were converted (every one, German thousands), failed, skipped, whether
// the user stopped it, and which were not done.
TEST(Progress, TheSummarySaysHowTheBatchEnded) {
    for (const int total : {1, 3, 1200})
        for (const int failed : {0, 1})
            for (const int skipped : {0, total / 2})
                for (const bool stopped : {false, true}) {
                    const int finished = total - failed - skipped - (stopped && total > 2 ? 1 : 0);
                    if (finished < 0) continue;
                    const std::string said = msg::BatchSummary(finished, total, "a, b", failed, skipped, stopped);
                    SCOPED_TRACE(said);
                    EXPECT_EQ(said.rfind("Abgebrochen: ", 0) == 0, stopped);
                    EXPECT_EQ(said.find(" übersprungen") != std::string::npos, skipped > 0);
                    const bool all = finished + skipped == total;
                    EXPECT_EQ(said.find("Nicht fertig: a, b") != std::string::npos, !all);
                    EXPECT_EQ(said.find("1 fehlgeschlagen") != std::string::npos, failed > 0 && !all);
                    if (total == 1200 && all && skipped == 0) {
                        EXPECT_NE(said.find("Alle 1.200 Dateien"), std::string::npos);
                    }
                }
}

TEST(Naming, TheBatchTableWithWindowsNames) {
    const char* win = "\\:";
    struct Row {
        const char* source;
        bool nextToSource;
        const char* folder;
        const char* target;
    } rows[] = {
        {"C:\\Musik\\Lied.mp3", true, "D:\\Aus", "C:\\Musik\\Lied.wav"},
        {"C:\\Musik\\Lied.mp3", false, "D:\\Aus", "D:\\Aus\\Lied.wav"},
        {"C:\\Musik\\Lied.mp3", false, "D:\\Aus\\", "D:\\Aus\\Lied.wav"},
        {"C:\\Musik\\Lied.mp3", false, "", "C:\\Musik\\Lied.wav"},
        {"C:\\Musik\\Lied", true, "x", "C:\\Musik\\Lied.wav"},
        {"C:\\a.b\\Lied", true, "x", "C:\\a.b\\Lied.wav"},
        {"C:\\Musik\\x.b.mp3", true, "x", "C:\\Musik\\x.b.wav"},
        {"C:\\Musik\\LIED.MP3", true, "x", "C:\\Musik\\LIED.wav"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(BatchTarget(r.source, ".wav", r.nextToSource, r.folder, win, '\\'), r.target) << r.source;
    EXPECT_EQ(FileNamePart("C:Lied.mp3", win), "Lied.mp3");
    EXPECT_EQ(ReplaceExtension("", ".wav", win), ".wav");
}

TEST(Naming, TheSameRulesWithThisSystemsNames) {
    EXPECT_EQ(BatchTarget("/musik/Lied.mp3", ".wav", true, "/aus"), "/musik/Lied.wav");
    EXPECT_EQ(BatchTarget("/musik/Lied.mp3", ".wav", false, "/aus"), "/aus/Lied.wav");
    EXPECT_EQ(BatchTarget("/musik/Lied.mp3", ".mp3", false, "/aus/"), "/aus/Lied.mp3");
    EXPECT_EQ(BatchTarget("/a.b/Lied", ".wav", true, ""), "/a.b/Lied.wav");
    EXPECT_EQ(BatchTarget("/musik/.hidden", ".wav", true, ""), "/musik/.wav");
    EXPECT_EQ(Extension("/musik/x.b.mp3"), ".mp3");
    EXPECT_EQ(FileNamePart("Lied.mp3"), "Lied.mp3");
}

// A batch's names, decided for the whole list before it starts: no name
// twice, none that is one of the sources, first free "(n)" in list order.
TEST(Naming, ABatchNeverGivesOneNameTwiceNorASourcesName) {
    testing_support::TempDir dir;
    const std::string d = dir.Path().string() + "/";
    std::filesystem::create_directory(dir / "a");
    std::filesystem::create_directory_symlink(dir / "a", dir / "link");
    // Names near the longest a file may have (255 bytes): the stem gives
    // way for the number or the extension, never inside a character.
    const std::string x246(246, 'x'), longStem = x246 + "\xC3\xBC" + "ab";  // 250 bytes, an "ü" at 246
    struct Row {
        std::vector<std::string> sources;
        const char* extension;
        const char* folder;  // empty: next to the source
        std::vector<std::string> targets;
    } rows[] = {
        {{"a/" + longStem + ".mp3", "b/" + longStem + ".mp3"}, ".wav", "out",
         {"out/" + longStem + ".wav", "out/" + x246 + " (2).wav"}},
        {{"a/" + x246 + "1234567"}, ".wav", "", {"a/" + x246 + "12345.wav"}},
        {{"a/Lied.wav", "b/Lied.wav", "c/Lied.wav"}, ".mp3", "out", {"out/Lied.mp3", "out/Lied (2).mp3", "out/Lied (3).mp3"}},
        // An MP3 beside an MP3 in a WAVE wrapper: both targets would be the
        // second source.
        {{"rw/x.mp3", "rw/x.wav"}, ".wav", "", {"rw/x (2).wav", "rw/x (3).wav"}},
        {{"a/Lied.mp3", "a/Lied.mp3"}, ".wav", "", {"a/Lied.wav", "a/Lied (2).wav"}},
        // Other spellings of one folder, through a link and through "..".
        {{"a/Lied.mp3", "a/../a/./Lied.mp3", "link/Lied.mp3"}, ".wav", "",
         {"a/Lied.wav", "a/../a/./Lied (2).wav", "link/Lied (3).wav"}},
        // A numbered name that is a source is skipped, one given is kept.
        {{"m/Lied.mp3", "n/Lied.mp3", "out/Lied (2).wav"}, ".wav", "out", {"out/Lied.wav", "out/Lied (3).wav", "out/Lied (2) (2).wav"}},
        {{"m/Lied.mp3", "n/Lied.mp3", "c/Lied (2).mp3"}, ".wav", "out", {"out/Lied.wav", "out/Lied (2).wav", "out/Lied (2) (2).wav"}},
        {{"m/Eins.mp3", "n/Zwei.mp3"}, ".wav", "out", {"out/Eins.wav", "out/Zwei.wav"}},
    };
    for (const Row& r : rows) {
        std::vector<std::string> sources, expected;
        for (const std::string& s : r.sources) sources.push_back(d + s);
        for (const std::string& t : r.targets) expected.push_back(d + t);
        const std::string folder = *r.folder ? d + r.folder : "";
        EXPECT_EQ(BatchTargets(sources, r.extension, folder.empty(), folder), expected) << r.sources[0];
    }
    // Those names are ones the file system takes.
    std::filesystem::create_directory(dir / "out");
    testing_support::WriteFile(dir / "out" / (x246 + " (2).wav"), {'x'});

    // Files the user had before the batch: kept, unless the batch may
    // replace them; a name the batch gives itself is still never given
    // twice.
    std::filesystem::create_directory(dir / "e");
    for (const char* had : {"e/Lied.wav", "e/Lied (3).wav", "e/Solo.wav"}) testing_support::WriteFile(dir / had, {'x'});
    const std::vector<std::string> sources = {d + "e/Lied.mp3", d + "e/Solo.mp3", d + "f/Lied.mp3", d + "e/Neu.mp3"};
    EXPECT_EQ(BatchTargets(sources, ".wav", false, d + "e"),
              (std::vector<std::string>{d + "e/Lied (2).wav", d + "e/Solo (2).wav", d + "e/Lied (4).wav", d + "e/Neu.wav"}));
    const std::vector<std::string> replacing = BatchTargets(sources, ".wav", false, d + "e", true);
    EXPECT_EQ(replacing,
              (std::vector<std::string>{d + "e/Lied.wav", d + "e/Solo.wav", d + "e/Lied (2).wav", d + "e/Neu.wav"}));
    EXPECT_EQ(ExistingFiles(replacing), 2);
}

}  // namespace
