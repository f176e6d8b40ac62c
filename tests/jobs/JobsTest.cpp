// Progress arithmetic and target naming.
#include <gtest/gtest.h>

#include "jobs/JobState.h"
#include "jobs/Naming.h"

using namespace sondrel;

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

}  // namespace
