// Tags as other programs lay them out: ID3v2.2, 2.3 and 2.4, each with and
// without an extended header (with a CRC too), unsynchronised, with a
// footer, 2.4 frames sized the 2.3 way, and an APEv2 tag with and without
// ID3v1. Each is read, saved with one field changed and compared frame by
// frame in mutagen with the original; each travels MP3 -> WAV -> MP3
// whole. A tag we cannot account for is never saved over.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <tuple>

#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"
#include "tags/Id3Tag.h"
#include "tags/Summary.h"
#include "tags/TagUpdate.h"

using namespace sondrel;
using namespace testing_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void PutSyncsafe(Bytes& b, std::uint32_t v) {
    for (int shift = 21; shift >= 0; shift -= 7) b.push_back(static_cast<std::uint8_t>((v >> shift) & 0x7F));
}
void PutBig(Bytes& b, std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutLe32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A text as an ID3v2 text field: UTF-8 in 2.4, Latin-1 or UTF-16 before.
Bytes Text(const std::string& utf8, int version, bool terminated = false) {
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; });
    Bytes b;
    if (version == 4 || ascii) {
        b.push_back(version == 4 && !ascii ? 3 : 0);
        Append(b, utf8);
        if (terminated) b.push_back(0);
        return b;
    }
    b = {1, 0xFF, 0xFE};
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned c = static_cast<unsigned char>(utf8[i]);
        const int more = c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= more == 2 ? 0x0F : more == 1 ? 0x1F : 0x7F;
        for (int k = 1; k <= more; ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(more) + 1;
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (terminated) b.insert(b.end(), {0, 0});
    return b;
}

struct Frame {
    std::string id;
    Bytes body;
};

const std::string kTitle = "Grüße – Καλημέρα 東京";

// The frames of the tag every layout holds: texts in both encodings, a
// numeric genre and a track with its total, a comment, ReplayGain, a
// picture and private data full of 0xFF bytes (which unsynchronisation
// changes), lyrics timed in MPEG frames.
std::vector<Frame> Frames(int version) {
    const bool v22 = version == 2;
    std::vector<Frame> f;
    f.push_back({v22 ? "TT2" : "TIT2", Text(kTitle, version)});
    f.push_back({v22 ? "TP1" : "TPE1", Text("Künstler", version)});
    f.push_back({v22 ? "TAL" : "TALB", Text("Album", version)});
    f.push_back({v22 ? "TCO" : "TCON", Text("(17)", version)});
    f.push_back({v22 ? "TRK" : "TRCK", Text("3/12", version)});
    // Comments as players leave them: their own data first, then the
    // user's, in English and in German: the user's language is the one
    // shown and carried.
    for (const auto& [language, description, text] :
         {std::tuple{"eng", "iTunNORM", " 00000318 0000032F 000018AB"}, std::tuple{"eng", "", "Comment"},
          std::tuple{"deu", "", "Kommentar"}}) {
        Bytes comm = Text(description, version, true);
        comm.insert(comm.begin() + 1, language, language + 3);
        const Bytes ctext = Text(text, version);
        comm.insert(comm.end(), ctext.begin() + 1, ctext.end());
        comm[0] = ctext[0];
        f.push_back({v22 ? "COM" : "COMM", comm});
    }
    Bytes txxx = Text("REPLAYGAIN_TRACK_GAIN", version, true);
    Append(txxx, "-6.50 dB");
    f.push_back({v22 ? "TXX" : "TXXX", txxx});
    Bytes picture = {0};
    if (v22)
        Append(picture, "JPG");
    else
        Append(picture, std::string("image/jpeg") + '\0');
    picture.push_back(3);
    Append(picture, std::string("Cover") + '\0');
    for (int i = 0; i < 300; ++i) picture.push_back(i % 3 == 0 ? 0xFF : static_cast<std::uint8_t>(0xE0 + i % 32));
    f.push_back({v22 ? "PIC" : "APIC", picture});
    if (!v22) {
        Bytes priv;
        Append(priv, std::string("sondrel.test") + '\0');
        priv.insert(priv.end(), {0xFF, 0x00, 0xFF, 0xFB, 0x90, 0xFF});
        f.push_back({"PRIV", priv});
    }
    return f;
}

// Unsynchronisation: a zero after every 0xFF that a reader could take for
// the start of a frame header, and after a 0xFF at the end.
Bytes Unsynchronised(const Bytes& b) {
    Bytes out;
    for (std::size_t i = 0; i < b.size(); ++i) {
        out.push_back(b[i]);
        if (b[i] == 0xFF && (i + 1 == b.size() || b[i + 1] == 0 || b[i + 1] >= 0xE0)) out.push_back(0);
    }
    return out;
}

struct Layout {
    const char* name;
    int version;
    int extended;  // 0 none, 1 plain, 2 with a CRC, -1 flagged but not there
    bool unsync, footer, sizes23;
    // Short frames in front flagged as carrying a data length they have no
    // room for (2.4), as one tagger writes TENC, WXXX, TCOP and TOPE.
    bool falseLengths = false;
};

Bytes Tag(const Layout& l, const std::vector<Frame>& frames) {
    Bytes body;
    if (l.falseLengths)
        for (const char* id : {"TENC", "WXXX", "TCOP", "TOPE"}) {
            Append(body, id);
            const Bytes data = {3, 0};
            PutSyncsafe(body, 2);
            body.insert(body.end(), {0, 0x01});
            body.insert(body.end(), data.begin(), data.end());
        }
    for (const Frame& f : frames) {
        const Bytes data = l.unsync && l.version == 4 ? Unsynchronised(f.body) : f.body;
        Append(body, f.id);
        if (l.version == 2) {
            PutBig(body, static_cast<std::uint32_t>(data.size()), 3);
        } else {
            if (l.version == 4 && !l.sizes23)
                PutSyncsafe(body, static_cast<std::uint32_t>(data.size()));
            else
                PutBig(body, static_cast<std::uint32_t>(data.size()), 4);
            body.push_back(0);
            body.push_back(l.unsync && l.version == 4 ? 0x02 : 0);
        }
        body.insert(body.end(), data.begin(), data.end());
    }
    body.resize(body.size() + 64, 0);  // padding
    Bytes extended;
    if (l.extended > 0 && l.version == 3) {
        PutBig(extended, l.extended == 2 ? 10 : 6, 4);
        extended.insert(extended.end(), {static_cast<std::uint8_t>(l.extended == 2 ? 0x80 : 0), 0});
        PutBig(extended, 64, 4);
        if (l.extended == 2) PutBig(extended, 0x12345678, 4);
    } else if (l.extended > 0 && l.version == 4) {
        PutSyncsafe(extended, l.extended == 2 ? 12 : 6);
        extended.insert(extended.end(), {1, static_cast<std::uint8_t>(l.extended == 2 ? 0x20 : 0)});
        if (l.extended == 2) extended.insert(extended.end(), {5, 0x01, 0x23, 0x45, 0x67, 0x0F});
    }
    body.insert(body.begin(), extended.begin(), extended.end());
    if (l.unsync && l.version < 4) body = Unsynchronised(body);
    if (l.footer) body.resize(body.size() - 64);  // a tag with a footer has no padding
    std::uint8_t flags = 0;
    if (l.unsync) flags |= 0x80;
    if (l.extended) flags |= 0x40;
    if (l.footer) flags |= 0x10;
    Bytes tag = {'I', 'D', '3', static_cast<std::uint8_t>(l.version), 0, flags};
    PutSyncsafe(tag, static_cast<std::uint32_t>(body.size()));
    tag.insert(tag.end(), body.begin(), body.end());
    if (l.footer) {
        Bytes footer = {'3', 'D', 'I', 4, 0, flags};
        PutSyncsafe(footer, static_cast<std::uint32_t>(body.size()));
        tag.insert(tag.end(), footer.begin(), footer.end());
    }
    return tag;
}

// An APEv2 tag (with its header) of the items.
Bytes ApeTag(const std::vector<std::pair<std::string, std::string>>& items) {
    Bytes body;
    for (const auto& [key, value] : items) {
        PutLe32(body, static_cast<std::uint32_t>(value.size()));
        PutLe32(body, 0);
        Append(body, key);
        body.push_back(0);
        Append(body, value);
    }
    const auto frame = [&](std::uint32_t flags) {
        Bytes b;
        Append(b, "APETAGEX");
        PutLe32(b, 2000);
        PutLe32(b, static_cast<std::uint32_t>(body.size() + 32));
        PutLe32(b, static_cast<std::uint32_t>(items.size()));
        PutLe32(b, flags);
        b.resize(b.size() + 8, 0);
        return b;
    };
    Bytes tag = frame(0xA0000000);
    tag.insert(tag.end(), body.begin(), body.end());
    const Bytes footer = frame(0x80000000);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// mutagen's view of a file's ID3v2 tag, a line a frame: its key and a
// hash of everything it holds.
std::vector<std::string> Mutagen(const std::filesystem::path& file) {
    const std::string text =
        Output("/usr/bin/python3 -c \"import hashlib, mutagen.id3, mutagen.wave\n"
               "f = '" + file.string() + "'\n"
               "t = mutagen.wave.WAVE(f).tags if f.endswith('.wav') else mutagen.id3.ID3(f, load_v1=False)\n"
               "for fr in t.values(): print(fr.HashKey, hashlib.md5(repr(fr).encode()).hexdigest())\" 2>&1");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> Without(std::vector<std::string> lines, const std::string& key) {
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(key + " ", 0) == 0; }),
                lines.end());
    return lines;
}

// The LIST/INFO chunk of a WAV file, read.
TSummary Info(const Bytes& wav) {
    for (std::size_t at = 12; at + 8 <= wav.size();) {
        const std::uint32_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 | static_cast<std::uint32_t>(wav[at + 7]) << 24;
        if (std::memcmp(&wav[at], "LIST", 4) == 0)
            return InfoSummary(Bytes(wav.begin() + static_cast<long>(at) + 8, wav.begin() + static_cast<long>(at + 8 + size)));
        at += 8 + size + (size & 1);
    }
    return {};
}

class TagLayouts : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Shell("/usr/bin/python3 -c 'import mutagen'")) GTEST_SKIP() << "python3-mutagen not installed";
        setenv("LANGUAGE", "de_DE", 1);
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        core.CarryTags = false;
        WriteFile(dir / "src.wav", MakeWav(MakeMusic(44100, 2, 1.0), 44100, 2));
        core.ConvertWAVMP3(P("src.wav"), P("audio.mp3"));
        audio = ReadFile(dir / "audio.mp3");
        core.CarryTags = true;
    }
    std::string P(const std::string& name) const { return (dir / name).string(); }

    TempDir dir;
    RecordingHost host;
    TConverterCore core{host};
    Bytes audio;
};

TEST_F(TagLayouts, EveryLayoutReadsSavesOneFieldAndTravelsWhole) {
    const Layout layouts[] = {
        {"2.2", 2, 0, false, false, false},          {"2.2 unsynchronised", 2, 0, true, false, false},
        {"2.3", 3, 0, false, false, false},          {"2.3 extended header", 3, 1, false, false, false},
        {"2.3 extended header, CRC", 3, 2, false, false, false},
        // (Unsynchronised with an extended header, 2.3 is beyond mutagen,
        // our reference: it reads the stuffing into the frames.)
        {"2.3 unsynchronised", 3, 0, true, false, false},
        {"2.4", 4, 0, false, false, false},          {"2.4 extended header, CRC", 4, 2, false, false, false},
        {"2.4 unsynchronised", 4, 0, true, false, false}, {"2.4 footer", 4, 0, false, true, false},
        {"2.4 frames sized as in 2.3", 4, 0, false, false, true},
        {"2.4 everything", 4, 2, true, true, false},
        {"2.3 flagged with an extended header it does not have", 3, -1, false, false, false},
        {"2.4 short frames flagged with a data length", 4, 0, false, false, false, true},
    };
    for (const Layout& l : layouts) {
        for (const bool v1 : {false, true}) {
            SCOPED_TRACE(std::string(l.name) + (v1 ? " and ID3v1" : ""));
            Bytes file = Tag(l, Frames(l.version));
            file.insert(file.end(), audio.begin(), audio.end());
            if (v1) {
                TId3Fields old;
                old.Title = "Alter Titel";  // what another tool left in ID3v1
                old.Artist = "Künstler";
                old.Genre = "Rock";
                old.Track = "3";
                const TTagRecord r = RecordFromFields(old);
                file.insert(file.end(), r.begin(), r.end());
            }
            WriteFile(dir / "a.mp3", file);
            const auto original = Mutagen(dir / "a.mp3");
            ASSERT_GE(original.size(), 8u) << (original.empty() ? "" : original[0]);

            // Read: the ID3v2 texts, the genre by name, the track number;
            // where ID3v1 says something else, what it says.
            TId3Fields shown;
            ASSERT_EQ(ReadPageFields(P("a.mp3"), shown), TTagResult::Ok);
            EXPECT_EQ(shown.Title, v1 ? "Alter Titel" : "Grüße – Καλημέρα 東京");
            EXPECT_EQ(shown.Artist, "Künstler");
            EXPECT_EQ(shown.Album, "Album");
            EXPECT_EQ(shown.Genre, "Rock");
            EXPECT_EQ(shown.Track, "3");
            EXPECT_EQ(shown.Comment, "Kommentar");

            // The same file through a conversion and back: every frame.
            core.ConvertMP3WAV(P("a.mp3"), P("a.wav"));
            core.ConvertWAVMP3(P("a.wav"), P("b.mp3"));
            ASSERT_TRUE(host.errors.empty()) << host.errors.front();
            EXPECT_EQ(Mutagen(dir / "a.wav"), original);
            EXPECT_EQ(Mutagen(dir / "b.mp3"), original);
            // The summaries carry the user's comment, not a player's data.
            EXPECT_EQ(SummaryText(Info(ReadFile(dir / "a.wav")), "ICMT"), "Kommentar");
            TTagRecord record{};
            ASSERT_EQ(ReadTagRecord(P("b.mp3"), record), TTagResult::Ok);
            EXPECT_EQ(FieldsFromRecord(record).Comment, "Kommentar");

            // A save of one field: that frame changes, no other; the track
            // keeps its total.
            TId3Fields edited = shown;
            edited.Artist = "Neu";
            ASSERT_EQ(SaveTagFields(P("a.mp3"), edited), TTagResult::Ok);
            EXPECT_EQ(Without(Mutagen(dir / "a.mp3"), "TPE1"), Without(original, "TPE1"));
            TId3Fields after;
            ASSERT_EQ(ReadPageFields(P("a.mp3"), after), TTagResult::Ok);
            EXPECT_EQ(after.Title, shown.Title);
            EXPECT_EQ(after.Artist, "Neu");
            edited = after;
            edited.Track = "4";
            ASSERT_EQ(SaveTagFields(P("a.mp3"), edited), TTagResult::Ok);
            EXPECT_EQ(Output("/usr/bin/python3 -c \"import mutagen.id3; print(mutagen.id3.ID3('" + P("a.mp3") +
                             "', load_v1=False)['TRCK'].text[0])\""),
                      "4/12\n");
        }
    }
}

// After a save the page (and tag show) still shows the ID3v2 texts the
// ID3v1 tag can only render: not "Grüße – ???????? ??".
TEST_F(TagLayouts, TheWholeTextStaysShownAfterASave) {
    Bytes file = Tag({"2.4", 4, 0, false, false, false}, Frames(4));
    file.insert(file.end(), audio.begin(), audio.end());
    WriteFile(dir / "a.mp3", file);
    TId3Fields shown;
    ASSERT_EQ(ReadPageFields(P("a.mp3"), shown), TTagResult::Ok);
    shown.Year = "2005";
    ASSERT_EQ(SaveTagFields(P("a.mp3"), shown), TTagResult::Ok);
    TId3Fields after;
    ASSERT_EQ(ReadPageFields(P("a.mp3"), after), TTagResult::Ok);
    EXPECT_EQ(after.Title, kTitle);
    EXPECT_EQ(after.Year, "2005");
    // And a save without touching the title leaves its frame as it was.
    after.Album = "Anderes";
    const auto before = Without(Mutagen(dir / "a.mp3"), "TALB");
    ASSERT_EQ(SaveTagFields(P("a.mp3"), after), TTagResult::Ok);
    EXPECT_EQ(Without(Mutagen(dir / "a.mp3"), "TALB"), before);
}

// A tag with bytes we cannot account for (a frame we cannot read in the
// middle, junk where padding should be, a size it does not reach): the
// save is refused and the file stays byte for byte.
TEST_F(TagLayouts, ATagWeCannotReadWholeIsNeverSavedOver) {
    const Bytes good = Tag({"2.3", 3, 0, false, false, false}, Frames(3));
    std::vector<Bytes> bad;
    Bytes junk = good;
    junk[junk.size() - 10] = 'x';  // in the padding
    bad.push_back(junk);
    Bytes broken = good;
    broken[10 + 2] = 'i';  // the first frame's id: "TIi2"
    bad.push_back(broken);
    Bytes overlong = good;
    overlong[10 + 7] = 0x7F;  // the first frame runs past the tag
    bad.push_back(overlong);
    for (const Bytes& tag : bad) {
        Bytes file = tag;
        file.insert(file.end(), audio.begin(), audio.end());
        WriteFile(dir / "a.mp3", file);
        TId3Fields fields;
        fields.Artist = "Neu";
        EXPECT_EQ(SaveTagFields(P("a.mp3"), fields), TTagResult::Unreadable);
        EXPECT_EQ(ReadFile(dir / "a.mp3"), file);
    }
}

// Lyrics and events timed in MPEG frames of the old stream are timed in
// milliseconds in the WAV and the MP3 made of it; in milliseconds
// already, they travel as they are.
TEST_F(TagLayouts, FramesTimedInMpegFramesAreTimedInMilliseconds) {
    for (const int format : {1, 2}) {
        SCOPED_TRACE("time stamp format " + std::to_string(format));
        Bytes sylt = {0, 'd', 'e', 'u', static_cast<std::uint8_t>(format), 1, 0};
        for (const auto& [line, stamp] : {std::pair{"Erste", 10u}, std::pair{"Zweite", 100u}}) {
            Append(sylt, std::string(line) + '\0');
            PutBig(sylt, stamp, 4);
        }
        Bytes etco = {static_cast<std::uint8_t>(format), 3};
        PutBig(etco, 50, 4);
        Bytes file = Tag({"2.4", 4, 0, false, false, false}, {{"TIT2", Text("Lied", 4)}, {"SYLT", sylt}, {"ETCO", etco}});
        file.insert(file.end(), audio.begin(), audio.end());
        WriteFile(dir / "a.mp3", file);
        core.ConvertMP3WAV(P("a.mp3"), P("a.wav"));
        core.Mp3FormatIndex = 0;
        core.ConvertWAVMP3(P("a.wav"), P("b.mp3"));
        // 1152 samples at 44.1 kHz: 26.12 ms a frame.
        const std::string want = format == 1 ? "2 [('Erste', 261), ('Zweite', 2612)] 2 [(3, 1306)]\n"
                                             : "2 [('Erste', 10), ('Zweite', 100)] 2 [(3, 50)]\n";
        for (const char* name : {"a.wav", "b.mp3"}) {
            EXPECT_EQ(Output("/usr/bin/python3 -c \"import mutagen.id3, mutagen.wave\n"
                             "f = '" + P(name) + "'\n"
                             "t = mutagen.wave.WAVE(f).tags if f.endswith('.wav') else mutagen.id3.ID3(f)\n"
                             "s = t.getall('SYLT')[0]; e = t.getall('ETCO')[0]\n"
                             "print(s.format, s.text, e.format, e.events)\""),
                      want)
                << name;
        }
    }
}

// An APEv2 tag (alone, or before an ID3v1 tag, or beside an ID3v2 tag):
// its fields travel into INFO and the id3 chunk, and on into the MP3's
// ID3v2 tag, ReplayGain as TXXX; where an ID3v2 frame says the same
// already, that one stays.
TEST_F(TagLayouts, AnApeTagTravelsWithTheOthers) {
    const std::vector<std::pair<std::string, std::string>> items = {
        {"Title", "APE-Titel"}, {"Artist", "APE-Künstler"}, {"REPLAYGAIN_TRACK_GAIN", "-7.20 dB"}, {"Year", "2001"}};
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind == 0 ? "APEv2 alone" : kind == 1 ? "APEv2 and ID3v1" : "ID3v2.3, APEv2 and ID3v1");
        Bytes file;
        if (kind == 2) file = Tag({"2.3", 3, 0, false, false, false}, {{"TIT2", Text("ID3-Titel", 3)}});
        file.insert(file.end(), audio.begin(), audio.end());
        const Bytes ape = ApeTag(items);
        file.insert(file.end(), ape.begin(), ape.end());
        if (kind > 0) {
            TId3Fields v1;
            v1.Title = "v1";
            const TTagRecord r = RecordFromFields(v1);
            file.insert(file.end(), r.begin(), r.end());
        }
        WriteFile(dir / "a.mp3", file);
        core.ConvertMP3WAV(P("a.mp3"), P("a.wav"));
        core.ConvertWAVMP3(P("a.wav"), P("b.mp3"));
        ASSERT_TRUE(host.errors.empty());
        const std::string title = kind == 2 ? "ID3-Titel" : "APE-Titel";
        for (const char* name : {"a.wav", "b.mp3"}) {
            EXPECT_EQ(Output("/usr/bin/python3 -c \"import mutagen.id3, mutagen.wave\n"
                             "f = '" + P(name) + "'\n"
                             "t = mutagen.wave.WAVE(f).tags if f.endswith('.wav') else mutagen.id3.ID3(f, load_v1=False)\n"
                             "print(t['TIT2'].text[0], t['TPE1'].text[0], t['TXXX:REPLAYGAIN_TRACK_GAIN'].text[0], "
                             "str(t.getall('TYER')[0].text[0] if t.getall('TYER') else t['TDRC'].text[0]))\""),
                      title + " APE-Künstler -7.20 dB 2001\n")
                << name;
        }
        const TSummary info = Info(ReadFile(dir / "a.wav"));
        EXPECT_EQ(SummaryText(info, "INAM"), title);
        EXPECT_EQ(SummaryText(info, "IART"), "APE-Künstler");
    }
}

}  // namespace
