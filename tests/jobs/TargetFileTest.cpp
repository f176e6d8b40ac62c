// What is left of a target after a conversion, however it ended: a new
// file or a replacement, complete, stopped part way or without a result;
// names at the longest a file may have; and sources that hold no audio.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>

#include "codec/ByteFile.h"
#include "jobs/ConverterCore.h"
#include "jobs/Messages.h"
#include "jobs/TargetFile.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

using namespace sondrel;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

ino_t Inode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Every way a target ends, for a new name and for a file that was there:
// what the folder holds afterwards.
TEST(TargetFile, WhatStaysOfATargetHoweverItEnds) {
    using TEnd = TTargetFile::TEnd;
    const std::vector<std::uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    const std::vector<std::uint8_t> written = {'n', 'e', 'w'};
    struct Row {
        bool existed;
        TEnd end;
        const char* after;  // what the name holds afterwards: "earlier", "new" or "" (no file)
        bool sameInode;     // the earlier file itself, untouched
    } rows[] = {
        {false, TEnd::Complete, "new", false}, {false, TEnd::Partial, "new", false},
        {false, TEnd::Discard, "", false},     {true, TEnd::Complete, "new", false},
        {true, TEnd::Partial, "earlier", true}, {true, TEnd::Discard, "earlier", true},
    };
    // The longest name a file may have: its hidden neighbour must still fit.
    for (const std::string& name : {std::string("Lied.wav"), std::string(251, 'n') + ".wav"}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(std::to_string(name.size()) + " bytes, existed " + std::to_string(r.existed) + ", end " +
                         std::to_string(static_cast<int>(r.end)));
            TempDir dir;
            const fs::path target = dir / name;
            if (r.existed) {
                WriteFile(target, earlier);
                fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
            }
            const ino_t before = Inode(target);
            {
                TTargetFile t;
                ASSERT_TRUE(t.Create(target.string()));
                // Written beside an earlier file, never over it.
                if (r.existed) {
                    EXPECT_EQ(ReadFile(target), earlier);
                }
                EXPECT_EQ(t.File().Write(written.data(), written.size()), written.size());
                EXPECT_TRUE(t.Finish(r.end));
            }
            const std::string after = r.after;
            if (after.empty()) {
                EXPECT_FALSE(fs::exists(target));
            } else {
                EXPECT_EQ(ReadFile(target), after == "new" ? written : earlier);
                EXPECT_EQ(Inode(target) == before, r.sameInode);
            }
            // A replacement keeps the earlier file's permissions.
            if (r.existed && r.end == TEnd::Complete) {
                EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
                          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
            }
            // Nothing hidden left beside it.
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), after.empty() ? 0 : 1);
        }
    }
}

// Where the folder cannot take a hidden neighbour, a target is written
// over in place: whatever the earlier file held is gone, a longer file
// leaves no tail behind the shorter one.
TEST(TargetFile, WrittenInPlaceNothingOfTheEarlierFileStays) {
    TempDir dir;
    for (std::size_t earlier : {0u, 1u, 100000u}) {
        const fs::path target = dir / ("t" + std::to_string(earlier));
        if (earlier > 0) WriteFile(target, std::vector<std::uint8_t>(earlier, 'e'));
        TByteFile f;
        ASSERT_TRUE(f.Create(target));
        EXPECT_EQ(f.Write("new", 3), 3u);
        f.Close();
        EXPECT_EQ(ReadFile(target), (std::vector<std::uint8_t>{'n', 'e', 'w'})) << earlier;
    }
}

// Bytes that are no MP3 (random data, with the chance frame header that
// random data has) give "Keine gültige MP3-Datei!!!!" and no target; a file
// the target would have replaced stays as it was.
TEST(TargetFile, BytesWithoutAudioAreNoMp3AndLeaveNothing) {
    RecordingHost host;
    TConverterCore core(host);
    core.Catalogue.Build();
    TempDir dir;
    const std::vector<std::uint8_t> earlier = MakeWav(MakeMusic(8000, 1, 0.1), 8000, 1);
    for (unsigned seed = 1; seed <= 13; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        std::vector<std::uint8_t> bytes(seed == 13 ? 100000 : 3000);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        WriteFile(dir / "noise.mp3", bytes);
        for (const bool cd : {false, true}) {
            for (const bool replacing : {false, true}) {
                fs::remove(dir / "noise.wav");
                if (replacing) WriteFile(dir / "noise.wav", earlier);
                host.errors.clear();
                if (cd)
                    core.ConvertMP3CDWAV((dir / "noise.mp3").string(), (dir / "noise.wav").string());
                else
                    core.ConvertMP3WAV((dir / "noise.mp3").string(), (dir / "noise.wav").string());
                EXPECT_EQ(host.errors, std::vector<std::string>{msg::NoValidMp3});
                if (replacing) {
                    EXPECT_EQ(ReadFile(dir / "noise.wav"), earlier);
                } else {
                    EXPECT_FALSE(fs::exists(dir / "noise.wav"));
                }
                EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), replacing ? 2 : 1);
            }
        }
        EXPECT_EQ(ReadFile(dir / "noise.mp3"), bytes);
    }
}

}  // namespace
