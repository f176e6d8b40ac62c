// A generated collection of tagged files (tests/tags/tag_collection.py:
// long texts in four scripts, ID3v1 renderings by other taggers, players'
// comment data, damaged frames) through the tag page's save, `tag set` and
// a conversion, held against mutagen before and after: the page shows
// every text whole, and no save loses a character, a frame, a track
// number or a genre the user did not change.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <taglib/id3v1genres.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"
#include "tags/CarriedTags.h"
#include "tags/FileTags.h"
#include "tags/TagUpdate.h"

using namespace sondrel;
using namespace testing_support;

namespace {

using Lines = std::vector<std::vector<std::string>>;

Lines Output(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[65536];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    waitpid(pid, nullptr, 0);
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::istringstream cellsIn(line);
        for (std::string cell; std::getline(cellsIn, cell, '\t');) cells.push_back(cell);
        if (line.back() == '\t') cells.emplace_back();
        lines.push_back(cells);
    }
    return lines;
}

std::vector<std::uint8_t> Hex(const std::string& hex) {
    std::vector<std::uint8_t> b;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) b.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

struct Case {
    std::string field, value;
    std::map<std::string, std::string> show, info;
    std::vector<std::pair<std::size_t, std::string>> v1;
    std::vector<std::uint8_t> keep;
};

// What mutagen reads of a file: frames (key and hash), texts by key, and
// the ID3v1 record.
struct Read {
    std::map<std::string, std::string> frames, texts;
    std::string v1;
};

std::string TId3Fields::*Member(const std::string& field) {
    static const std::map<std::string, std::string TId3Fields::*> members = {
        {"title", &TId3Fields::Title},     {"artist", &TId3Fields::Artist}, {"album", &TId3Fields::Album},
        {"year", &TId3Fields::Year},       {"comment", &TId3Fields::Comment}, {"track", &TId3Fields::Track},
        {"genre", &TId3Fields::Genre}};
    return members.at(field);
}

// The frames a change of the field may replace.
bool OfField(const std::string& key, const std::string& field) {
    static const std::map<std::string, std::vector<std::string>> keys = {
        {"title", {"TIT2"}}, {"artist", {"TPE1"}}, {"album", {"TALB"}}, {"year", {"TYER", "TDRC"}},
        {"comment", {"COMM::deu"}}, {"track", {"TRCK"}}, {"genre", {"TCON"}}};
    const auto& k = keys.at(field);
    return std::find(k.begin(), k.end(), key) != k.end();
}

class TagTable : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Shell("/usr/bin/python3 -c 'import mutagen'")) GTEST_SKIP() << "python3-mutagen not installed";
        setenv("LANGUAGE", "de_DE", 1);
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        WriteFile(dir / "src.wav", MakeWav(MakeMusic(44100, 2, 0.5), 44100, 2));
        core.ConvertWAVMP3((dir / "src.wav").string(), (dir / "audio.mp3").string());
        audio = ReadFile(dir / "audio.mp3");
    }
    TempDir dir;
    RecordingHost host;
    TConverterCore core{host};
    std::vector<std::uint8_t> audio;
};

TEST_F(TagTable, NoSaveLosesWhatTheUserDidNotChange) {
    for (const char* sub : {"files", "page", "cli"}) std::filesystem::create_directory(dir / sub);
    std::map<std::string, Case> cases;
    for (const auto& l : Output({"/usr/bin/python3", SONDREL_TAG_COLLECTION, "make", (dir / "files").string(),
                              (dir / "audio.mp3").string(), "1"})) {
        Case& c = cases[l.at(1)];
        if (l[0] == "case") c.field = l.at(2), c.value = l.at(3);
        if (l[0] == "show") c.show[l.at(2)] = l.at(3);
        if (l[0] == "info") c.info[l.at(2)] = l.at(3);
        if (l[0] == "v1") c.v1.emplace_back(std::stoul(l.at(2)), l.at(3));
        if (l[0] == "keep") c.keep = Hex(l.at(2));
    }
    ASSERT_GE(cases.size(), 100u);
    std::vector<std::string> read = {"/usr/bin/python3", SONDREL_TAG_COLLECTION, "read"};
    for (auto& entry : cases) {
        const std::string name = entry.first;
        const Case& c = entry.second;
        SCOPED_TRACE(name + ": " + c.field + " = " + c.value);
        const auto file = [&](const char* sub) { return (dir / sub / (name + ".mp3")).string(); };
        for (const char* sub : {"page", "cli"}) std::filesystem::copy_file(file("files"), file(sub));
        for (const char* sub : {"files", "page", "cli"}) read.push_back(file(sub));
        // The page: every field whole, from the tag that holds it.
        TId3Fields shown;
        ASSERT_EQ(ReadPageFields(file("page"), shown), TTagResult::Ok);
        for (const auto& [field, text] : c.show) EXPECT_EQ(shown.*Member(field), text) << field;
        // A conversion carries the whole texts, without a word.
        host.notices.clear();
        core.ConvertMP3WAV(file("files"), (dir / "a.wav").string());
        TByteFile wav;
        ASSERT_TRUE(wav.OpenRead(dir / "a.wav"));
        const TSummary info = ReadWaveTags(wav).Summary;
        for (const auto& [id, text] : c.info) EXPECT_EQ(SummaryText(info, id), text) << id;
        EXPECT_TRUE(host.notices.empty());
        // One change, by the page and by `tag set`.
        TId3Fields edited = shown;
        edited.*Member(c.field) = c.value;
        ASSERT_EQ(SaveTagFields(file("page"), edited), TTagResult::Ok);
        Output({SONDREL_CLI, "tag", "set", file("cli"), "--" + c.field, c.value});
        for (const char* sub : {"page", "cli"}) {
            TId3Fields after;
            ASSERT_EQ(ReadPageFields(file(sub), after), TTagResult::Ok) << sub;
            EXPECT_EQ(after.*Member(c.field), c.value) << sub;
            const auto bytes = ReadFile(file(sub));
            const auto start = bytes.begin() + static_cast<long>(Id3v2Size(bytes.data(), bytes.size()));
            EXPECT_TRUE(std::equal(audio.begin(), audio.end(), start)) << sub << ": the audio moved or changed";
            EXPECT_TRUE(c.keep.empty() || std::search(bytes.begin(), start, c.keep.begin(), c.keep.end()) != start) << sub;
        }
    }
    std::map<std::string, Read> seen;
    for (const auto& l : Output(read)) {
        Read& r = seen[l.at(0)];
        if (l[1] == "frame") r.frames[l.at(2)] = l.at(3);
        if (l[1] == "text") r.texts[l.at(2)] = l.at(3);
        if (l[1] == "v1") r.v1 = l.at(2);
    }
    for (const auto& entry : cases) {
        const std::string& name = entry.first;
        const Case& c = entry.second;
        SCOPED_TRACE(name + ": " + c.field + " = " + c.value);
        const Read& before = seen[(dir / "files" / (name + ".mp3")).string()];
        for (const char* sub : {"page", "cli"}) {
            const Read& after = seen[(dir / sub / (name + ".mp3")).string()];
            // Every frame of another field as it was; the field's own whole.
            for (const auto& [key, hash] : before.frames)
                if (!OfField(key, c.field)) {
                    EXPECT_EQ(after.frames.count(key) ? after.frames.at(key) : "lost", hash) << sub << " " << key;
                }
            for (const auto& [key, text] : after.texts)
                if (OfField(key, c.field) && c.field != "track" && c.field != "year") {
                    EXPECT_EQ(text, c.value) << sub << " " << key;
                }
            // ID3v1: the other fields' bytes as they were, the field's as
            // other taggers render it.
            const std::vector<std::uint8_t> v1 = Hex(after.v1), was = Hex(before.v1);
            ASSERT_EQ(v1.size(), 128u) << sub;
            for (std::size_t i = 3; i < 128 && was.size() == 128; ++i) {
                const bool changing = std::any_of(c.v1.begin(), c.v1.end(), [&](const auto& e) { return i >= e.first && i < e.first + e.second.size() / 2; });
                if (!changing) {
                    EXPECT_EQ(v1[i], was[i]) << sub << " byte " << i;
                }
            }
            for (const auto& [at, hex] : c.v1) {
                const std::vector<std::uint8_t> want = Hex(hex);
                EXPECT_EQ(std::vector<std::uint8_t>(v1.begin() + static_cast<long>(at), v1.begin() + static_cast<long>(at + want.size())), want)
                    << sub << " from byte " << at;
            }
        }
    }
}

// Every genre of the list in every common spelling (ours, TagLib's,
// mutagen's, by number, in other letter cases) keeps its number in the
// ID3v1 tag a save or a conversion writes of the ID3v2 tag.
TEST_F(TagTable, EveryGenreInEverySpellingKeepsItsNumber) {
    const Lines mutagen = Output({"/usr/bin/python3", "-c", "import mutagen._constants as c\nfor g in c.GENRES[:148]: print(g)"});
    ASSERT_EQ(mutagen.size(), 148u);
    for (unsigned n = 0; n < 148; ++n) {
        const std::string taglib = TagLib::ID3v1::genre(static_cast<int>(n)).to8Bit(true);
        std::string upper = taglib;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        for (const std::string& spelling : {taglib, mutagen[n].at(0), upper, "(" + std::to_string(n) + ")", std::to_string(n)}) {
            SCOPED_TRACE(std::to_string(n) + " as " + spelling);
            TSummary fields = {{"INAM", "Titel"}, {"IGNR", spelling}};
            std::vector<std::uint8_t> file = RenderId3v2(fields, 3);
            file.insert(file.end(), audio.begin(), audio.end());
            WriteFile(dir / "g.mp3", file);
            TId3Fields shown;
            ASSERT_EQ(ReadPageFields(dir / "g.mp3", shown), TTagResult::Ok);
            shown.Title = "Neu";
            ASSERT_EQ(SaveTagFields(dir / "g.mp3", shown), TTagResult::Ok);
            TTagRecord record{};
            ASSERT_EQ(ReadTagRecord(dir / "g.mp3", record), TTagResult::Ok);
            EXPECT_EQ(record[127], n) << "save";
            TByteFile f;
            ASSERT_TRUE(f.OpenRead(dir / "g.mp3"));
            EXPECT_EQ(Id3v1Record(Carried(ReadMp3Tags(f)).Summary)[127], n) << "conversion";
        }
    }
}

}  // namespace
