// Tags travel with the audio: read back by outside readers (ffprobe,
// mutagen) and our own tag page, never at the cost of a sample, and never
// where the source had none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "codec/LittleEndian.h"
#include "jobs/ConverterCore.h"
#include "jobs/Messages.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"
#include "tags/CarriedTags.h"
#include "tags/Summary.h"

using namespace sondrel;
using namespace testing_support;

namespace {

constexpr double kSeconds = 1.5;
constexpr long kFrames = static_cast<long>(kSeconds * 44100);

// What a command printed, without its last line end.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string Ffprobe(const std::filesystem::path& file, const char* tag) {
    return Output("ffprobe -v error -show_entries format_tags=" + std::string(tag) + " -of default=nw=1:nk=1 '" +
                  file.string() + "'");
}

// The chunks of a RIFF WAVE file, by id.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Chunks(const std::vector<std::uint8_t>& wav) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> out;
    for (std::size_t at = 12; at + 8 <= wav.size();) {
        const std::uint32_t size = GetLe32(&wav[at + 4]);
        const std::size_t end = std::min(wav.size(), at + 8 + size);
        out.emplace_back(std::string(wav.begin() + at, wav.begin() + at + 4),
                         std::vector<std::uint8_t>(wav.begin() + at + 8, wav.begin() + end));
        at = end + (size & 1);
    }
    return out;
}

class TagCarry : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"ffmpeg", "ffprobe", "lame", "mpg123"})
            if (!HaveTool(tool)) GTEST_SKIP() << tool << " not installed";
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        core.WavFormatIndex = 0;
        WriteFile(dir / "plain.wav", MakeWav(MakeMusic(44100, 2, kSeconds), 44100, 2));
    }
    std::filesystem::path P(const std::string& name) const { return dir / name; }
    // A WAV with a LIST/INFO chunk after its data, as ffmpeg writes it.
    void Tagged(const std::string& name, const std::string& title, const std::string& extra = "") {
        ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + P("plain.wav").string() + " -metadata 'title=" + title +
                          "' -metadata 'artist=Die Ärzte' -metadata 'album=Straße der Lieder' -metadata date=1998"
                          " -metadata genre=Rock -metadata track=7 -metadata 'comment=schön' " + extra + " " +
                          P(name).string()));
    }
    long DecodedFrames(const std::filesystem::path& mp3) {
        core.ConvertMP3WAV(mp3.string(), P("check.wav").string());
        return static_cast<long>(SplitWave(ReadFile(P("check.wav"))).data.size() / 4);
    }

    TempDir dir;
    RecordingHost host;
    TConverterCore core{host};
};

// WAV (LIST/INFO) to MP3 to WAV, and WAV to WAV: the texts, umlauts and ß
// included, in every reader; the ID3v1.1 tag cut as the tag page cuts, the
// ID3v2 tag whole; every sample there.
TEST_F(TagCarry, BothWaysThroughEveryReader) {
    const std::string title = "Grüße aus Köln, ein Titel über dreißig Zeichen";
    Tagged("tagged.wav", title);
    core.ConvertWAVMP3(P("tagged.wav").string(), P("tagged.mp3").string());
    ASSERT_TRUE(host.errors.empty());
    const auto mp3 = ReadFile(P("tagged.mp3"));
    ASSERT_EQ(std::string(mp3.begin(), mp3.begin() + 3), "ID3");
    EXPECT_EQ(Ffprobe(P("tagged.mp3"), "title"), title);
    EXPECT_EQ(Ffprobe(P("tagged.mp3"), "artist"), "Die Ärzte");
    EXPECT_EQ(Ffprobe(P("tagged.mp3"), "track"), "7");
    EXPECT_EQ(Ffprobe(P("tagged.mp3"), "genre"), "Rock");
    TTagRecord record{};
    ASSERT_EQ(ReadTagRecord(P("tagged.mp3"), record), TTagResult::Ok);
    const TId3Fields v1 = FieldsFromRecord(record);
    EXPECT_EQ(v1.Title, "Grüße aus Köln, ein Titel über");  // 30 characters
    EXPECT_EQ(v1.Album, "Straße der Lieder");
    EXPECT_EQ(v1.Year, "1998");
    EXPECT_EQ(v1.Comment, "schön");
    EXPECT_EQ(v1.Track, "7");
    EXPECT_EQ(v1.Genre, "Rock");
    EXPECT_TRUE(Shell("mpg123 -q -t " + P("tagged.mp3").string() + " 2>/dev/null"));
    EXPECT_EQ(DecodedFrames(P("tagged.mp3")), kFrames);

    // Back to WAV: LIST/INFO and an "id3 " chunk after the data; the header
    // counts the data alone, the RIFF size the whole file.
    core.ConvertMP3WAV(P("tagged.mp3").string(), P("back.wav").string());
    const auto wav = ReadFile(P("back.wav"));
    EXPECT_EQ(GetLe32(&wav[4]), wav.size() - 8);
    EXPECT_EQ(GetLe32(&wav[40]), static_cast<std::uint32_t>(kFrames * 4));
    std::vector<std::string> ids;
    for (const auto& [id, body] : Chunks(wav)) ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<std::string>{"fmt ", "data", "LIST", "id3 "}));
    for (const char* tag : {"title", "artist", "album"}) EXPECT_EQ(Ffprobe(P("back.wav"), tag), Ffprobe(P("tagged.mp3"), tag)) << tag;
    if (std::filesystem::exists("/usr/bin/python3") &&
        Shell("/usr/bin/python3 -c 'import mutagen' 2>/dev/null")) {
        EXPECT_EQ(Output("/usr/bin/python3 -c \"import mutagen.wave as w; t = w.WAVE('" + P("back.wav").string() +
                         "').tags; print(t['TIT2'], t['TPE1'], t['TRCK'], t['TCON'], t['TDRC'])\""),
                  title + " Die Ärzte 7 Rock 1998");
    }

    // WAV to WAV takes the chunks over as they are.
    core.ConvertWAV2WAV(P("back.wav").string(), P("copy.wav").string());
    const auto copy = Chunks(ReadFile(P("copy.wav")));
    const auto original = Chunks(wav);
    ASSERT_EQ(copy.size(), 4u);
    EXPECT_EQ(copy[2], original[2]);
    EXPECT_EQ(copy[3], original[3]);
    EXPECT_TRUE(host.errors.empty());
}

// A source without tags gives the bytes it gave before tags were carried,
// and so does any source with tags turned off.
TEST_F(TagCarry, NoTagsNoChange) {
    Tagged("tagged.wav", "Titel");
    struct Job {
        const char* name;
        void (TConverterCore::*convert)(const std::string&, const std::string&);
        const char* source;
    };
    core.ConvertWAVMP3(P("plain.wav").string(), P("plain.mp3").string());
    ASSERT_TRUE(Shell("lame --quiet -b 128 --id3v1-only --tt Titel " + P("plain.wav").string() + " " + P("v1.mp3").string()));
    for (const Job job : {Job{"wav-to-mp3", &TConverterCore::ConvertWAVMP3, "tagged.wav"},
                          Job{"wav-to-wav", &TConverterCore::ConvertWAV2WAV, "tagged.wav"},
                          Job{"mp3-to-wav", &TConverterCore::ConvertMP3WAV, "v1.mp3"},
                          Job{"mp3-to-cd-wav", &TConverterCore::ConvertMP3CDWAV, "v1.mp3"}}) {
        SCOPED_TRACE(job.name);
        const bool fromWav = std::string(job.source).ends_with(".wav");
        const std::string plain = fromWav ? "plain.wav" : "plain.mp3";
        core.CarryTags = true;
        (core.*job.convert)(P(plain).string(), P("a.out").string());
        core.CarryTags = false;
        (core.*job.convert)(P(plain).string(), P("b.out").string());
        (core.*job.convert)(P(job.source).string(), P("c.out").string());
        core.CarryTags = true;
        (core.*job.convert)(P(job.source).string(), P("d.out").string());
        const auto bare = ReadFile(P("b.out"));
        EXPECT_EQ(ReadFile(P("a.out")), bare);
        EXPECT_EQ(ReadFile(P("c.out")), bare);
        EXPECT_GT(ReadFile(P("d.out")).size(), bare.size());
    }
    EXPECT_TRUE(host.errors.empty());
}

// Damaged tags are left out (or kept as far as they are sound); the audio
// converts whole either way.
TEST_F(TagCarry, DamagedTagsNeverCostTheAudio) {
    Tagged("info.wav", "Titel");
    const auto good = ReadFile(P("info.wav"));
    std::size_t list = 12;
    while (list + 4 < good.size() && std::memcmp(&good[list], "LIST", 4) != 0) ++list;
    ASSERT_LT(list, 100u);  // ffmpeg writes it before the data
    const auto id3 = RenderId3v2(TId3Fields{"Titel", "", "", "", "", "", ""});
    const auto withChunk = [&](const char* id, std::vector<std::uint8_t> body, std::uint32_t claimed) {
        auto wav = MakeWav(MakeMusic(44100, 2, kSeconds), 44100, 2);
        const std::uint8_t head[8] = {static_cast<std::uint8_t>(id[0]), static_cast<std::uint8_t>(id[1]),
                                      static_cast<std::uint8_t>(id[2]), static_cast<std::uint8_t>(id[3]),
                                      static_cast<std::uint8_t>(claimed), static_cast<std::uint8_t>(claimed >> 8),
                                      static_cast<std::uint8_t>(claimed >> 16), static_cast<std::uint8_t>(claimed >> 24)};
        wav.insert(wav.end(), head, head + 8);
        wav.insert(wav.end(), body.begin(), body.end());
        return wav;
    };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        bool id3Lost;  // an ID3v2 tag was there and none of it can travel: said
    };
    auto subPastChunk = good;
    subPastChunk[list + 16] = 0xFF;  // the first INFO entry's size
    auto hugeId3 = id3;
    hugeId3[6] = hugeId3[7] = hugeId3[8] = hugeId3[9] = 0x7F;  // a 256 MB tag
    // A tag claiming more than its bytes travels nowhere (found by fuzzing:
    // it was copied past its end).
    auto longer = id3;
    std::uint32_t claimed = static_cast<std::uint32_t>(id3.size() - 10 + 100);
    for (int i = 9; i >= 6; --i, claimed >>= 7) longer[static_cast<std::size_t>(i)] = claimed & 0x7F;
    TTagModel model;
    ReadId3v2(model, longer);
    EXPECT_TRUE(model.Lost);
    EXPECT_TRUE(Carried(model).Id3v2.empty());
    // A frame that claims more than its tag holds is read as far as the
    // tag goes, as forgiving readers read it: nothing is lost.
    auto badFrame = id3;
    badFrame[14] = 0x7F;  // the first frame claims far past the tag
    const Case cases[] = {
        {"INFO entry past its chunk", subPastChunk, false},
        {"LIST past the file", withChunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M'}, 0x7FFFFFF0), false},
        {"id3 chunk past the file", withChunk("id3 ", id3, 0xFFFFFFF0), true},
        {"ID3 tag past its chunk", withChunk("id3 ", hugeId3, static_cast<std::uint32_t>(hugeId3.size())), true},
        {"ID3 frame past its tag", withChunk("ID3 ", badFrame, static_cast<std::uint32_t>(badFrame.size())), false},
        {"id3 chunk of garbage", withChunk("id3 ", std::vector<std::uint8_t>(300, 0xFF), 300), true},
        {"a sound id3 chunk", withChunk("id3 ", id3, static_cast<std::uint32_t>(id3.size())), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(P("bad.wav"), c.file);
        host.notices.clear();
        core.ConvertWAVMP3(P("bad.wav").string(), P("bad.mp3").string());
        EXPECT_EQ(host.notices, c.id3Lost ? std::vector<std::string>{msg::TagLeftBehind} : std::vector<std::string>{});
        EXPECT_EQ(DecodedFrames(P("bad.mp3")), kFrames);
        core.ConvertWAV2WAV(P("bad.wav").string(), P("bad2.wav").string());
        const auto wav = ReadFile(P("bad2.wav"));
        EXPECT_EQ(GetLe32(&wav[40]), static_cast<std::uint32_t>(kFrames * 4));
        EXPECT_EQ(GetLe32(&wav[4]), wav.size() - 8);
        EXPECT_TRUE(host.errors.empty());
    }
    // The same in front of an MP3's audio: a tag of which nothing can be
    // read is said to be left behind; a sound one travels without a word.
    const auto mp3 = ReadFile(P("bad.mp3"));
    std::vector<std::uint8_t> garbage = {'I', 'D', '3', 3, 0, 0, 0, 0, 2, 0x2C};
    garbage.resize(10 + 300, 0xFF);
    for (const auto& [tag, lost] : {std::pair{badFrame, false}, std::pair{garbage, true}, std::pair{id3, false}}) {
        std::vector<std::uint8_t> file = tag;
        file.insert(file.end(), mp3.begin(), mp3.end());
        WriteFile(P("tagged.mp3"), file);
        host.notices.clear();
        core.ConvertMP3WAV(P("tagged.mp3").string(), P("tagged.wav").string());
        EXPECT_EQ(host.notices.size(), lost ? 1u : 0u);
    }
}

// mutagen's view of a file's ID3v2 tag (an MP3's, or a WAV's id3 chunk),
// frame by frame in its order: each frame's key and a hash of all it holds.
std::string Mutagen(const std::filesystem::path& file) {
    return Output("/usr/bin/python3 -c \"import hashlib, mutagen, mutagen.id3, mutagen.wave\n"
                  "f = '" + file.string() + "'\n"
                  "t = mutagen.wave.WAVE(f).tags if f.endswith('.wav') else mutagen.id3.ID3(f, load_v1=False)\n"
                  "for fr in t.values(): print(fr.HashKey, hashlib.md5(repr(fr).encode()).hexdigest(),"
                  " fr.text[0] if fr.FrameID == 'COMM' else '')\"");
}

// Everything a rich tag holds travels (a cover of a few hundred
// kilobytes, lyrics, comments in three languages, ReplayGain, composer,
// album artist, disc, BPM, URLs, a rating, "3/12", "1998-05-03"): MP3 to
// WAV to MP3, compared frame by frame in mutagen, less the frame about
// positions in the old stream. The summaries: the user's comment (the one
// without a description), the track and date as given (where they fit),
// the other fields INFO has.
TEST_F(TagCarry, ARichTagTravelsWhole) {
    if (!Shell("/usr/bin/python3 -c 'import mutagen' 2>/dev/null")) GTEST_SKIP() << "python3-mutagen not installed";
    core.ConvertWAVMP3(P("plain.wav").string(), P("rich.mp3").string());
    const std::string py =
        "import os, mutagen.id3 as m\n"
        "t = m.ID3()\n"
        "t.add(m.TIT2(encoding=3, text='Grüße')); t.add(m.TPE1(encoding=3, text='Die Ärzte'))\n"
        "t.add(m.TALB(encoding=3, text='Straße')); t.add(m.TCON(encoding=3, text='Rock'))\n"
        "t.add(m.TRCK(encoding=3, text='3/12')); t.add(m.TDRC(encoding=3, text='1998-05-03'))\n"
        "t.add(m.COMM(encoding=3, lang='deu', desc='k', text='Hallo'))\n"
        "t.add(m.COMM(encoding=3, lang='eng', desc='', text='English comment'))\n"
        "t.add(m.COMM(encoding=3, lang='fra', desc='note', text='Commentaire'))\n"
        "t.add(m.APIC(encoding=3, mime='image/jpeg', type=3, desc='Cover', data=b'\\xff\\xd8' + os.urandom(300000)))\n"
        "t.add(m.USLT(encoding=3, lang='deu', desc='', text='Erste Zeile\\nZweite Zeile'))\n"
        "t.add(m.TXXX(encoding=3, desc='REPLAYGAIN_TRACK_GAIN', text='-6.50 dB'))\n"
        "t.add(m.TCOM(encoding=3, text='Komponist')); t.add(m.TPE2(encoding=3, text='Albumkünstler'))\n"
        "t.add(m.TPOS(encoding=3, text='1/2')); t.add(m.TBPM(encoding=3, text='120'))\n"
        "t.add(m.WOAR(url='https://example.org/band')); t.add(m.WXXX(encoding=3, desc='Shop', url='https://example.org'))\n"
        "t.add(m.POPM(email='a@example.org', rating=196, count=3))\n"
        "t.add(m.MLLT(frames=1, bytes=417, milliseconds=26, bits_for_bytes=8, bits_for_milliseconds=8, data=b'\\x01\\x02'))\n"
        "t.save('" + P("rich.mp3").string() + "', v1=0, v2_version=4)\n";
    ASSERT_TRUE(Shell("/usr/bin/python3 -c \"" + py + "\""));
    std::string expected, firstComment;
    std::istringstream lines(Mutagen(P("rich.mp3")));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("MLLT", 0) != 0) expected += (expected.empty() ? "" : "\n") + line;
        // (The text after key and hash.)
        if (line.rfind("COMM", 0) == 0 && firstComment.empty()) firstComment = line.substr(line.find(' ', line.find(' ') + 1) + 1);
    }
    // mutagen writes shorter frames of a kind first: the German one, with
    // a description, before the English one without, which is the user's.
    ASSERT_EQ(firstComment, "Hallo");
    const std::string userComment = "English comment";
    ASSERT_NE(expected.find("APIC"), std::string::npos);

    core.ConvertMP3WAV(P("rich.mp3").string(), P("rich.wav").string());
    EXPECT_EQ(Mutagen(P("rich.wav")), expected);
    TSummary info;
    for (const auto& [id, body] : Chunks(ReadFile(P("rich.wav"))))
        if (id == "LIST") info = InfoSummary(body);
    EXPECT_EQ(SummaryText(info, "ICMT"), userComment);
    EXPECT_EQ(SummaryText(info, "ITRK"), "3/12");
    EXPECT_EQ(SummaryText(info, "ICRD"), "1998-05-03");
    EXPECT_EQ(SummaryText(info, "IMUS"), "Komponist");
    EXPECT_EQ(SummaryText(info, "INAM"), "Grüße");
    EXPECT_EQ(Ffprobe(P("rich.wav"), "title"), "Grüße");

    core.ConvertWAVMP3(P("rich.wav").string(), P("again.mp3").string());
    EXPECT_EQ(Mutagen(P("again.mp3")), expected);
    TTagRecord record{};
    ASSERT_EQ(ReadTagRecord(P("again.mp3"), record), TTagResult::Ok);
    const TId3Fields v1 = FieldsFromRecord(record);
    EXPECT_EQ(v1.Year, "1998");
    EXPECT_EQ(v1.Track, "3");
    EXPECT_EQ(v1.Comment, userComment);
    EXPECT_EQ(v1.Genre, "Rock");
    EXPECT_EQ(DecodedFrames(P("again.mp3")), kFrames);
    EXPECT_TRUE(host.errors.empty());
}

// LIST/INFO as Windows and many taggers write it, in Windows-1252, after
// audio data of an odd size (8-bit mono) and its pad byte: read, never
// dropped, into the MP3's tags; WAV to WAV keeps the chunks as they are.
TEST_F(TagCarry, AWindows1252InfoAfterOddSizedData) {
    std::vector<std::uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                     1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a'};
    const std::uint32_t samples = 8001;  // odd
    for (int i = 0; i < 4; ++i) wav.push_back(static_cast<std::uint8_t>(samples >> (8 * i)));
    for (std::uint32_t i = 0; i < samples; ++i) wav.push_back(static_cast<std::uint8_t>(128 + 60 * std::sin(i * 0.3)));
    wav.push_back(0);  // the pad byte
    // "Grüße aus Köln" and "Sänger" in Windows-1252.
    const std::vector<std::uint8_t> title = {'G', 'r', 0xFC, 0xDF, 'e', ' ', 'a', 'u', 's', ' ', 'K', 0xF6, 'l', 'n', 0};
    const std::vector<std::uint8_t> artist = {'S', 0xE4, 'n', 'g', 'e', 'r', 0};
    std::vector<std::uint8_t> list = {'I', 'N', 'F', 'O'};
    for (const auto& [id, text] : {std::pair{"INAM", title}, std::pair{"IART", artist}}) {
        list.insert(list.end(), id, id + 4);
        for (int i = 0; i < 4; ++i) list.push_back(static_cast<std::uint8_t>(text.size() >> (8 * i)));
        list.insert(list.end(), text.begin(), text.end());
        if (text.size() & 1) list.push_back(0);
    }
    wav.insert(wav.end(), {'L', 'I', 'S', 'T'});
    for (int i = 0; i < 4; ++i) wav.push_back(static_cast<std::uint8_t>(list.size() >> (8 * i)));
    wav.insert(wav.end(), list.begin(), list.end());
    for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<std::uint8_t>((wav.size() - 8) >> (8 * i));
    WriteFile(P("cp1252.wav"), wav);

    core.ConvertWAVMP3(P("cp1252.wav").string(), P("cp1252.mp3").string());
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(Ffprobe(P("cp1252.mp3"), "title"), "Grüße aus Köln");
    EXPECT_EQ(Ffprobe(P("cp1252.mp3"), "artist"), "Sänger");
    TTagRecord record{};
    ASSERT_EQ(ReadTagRecord(P("cp1252.mp3"), record), TTagResult::Ok);
    EXPECT_EQ(FieldsFromRecord(record).Title, "Grüße aus Köln");
    // WAV to WAV: the chunk as it was, behind the converted audio.
    core.WavFormatIndex = 0;
    core.ConvertWAV2WAV(P("cp1252.wav").string(), P("copy.wav").string());
    const auto chunks = Chunks(ReadFile(P("copy.wav")));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[2].first, "LIST");
    EXPECT_EQ(chunks[2].second, list);
}

// A cancelled conversion still ends in a valid file, its tags included.
TEST_F(TagCarry, ACancelledConversionKeepsItsTags) {
    WriteFile(P("plain.wav"), MakeWav(MakeMusic(44100, 2, 8.0), 44100, 2));
    Tagged("long.wav", "Abgebrochen");
    host.onPump = [&](int n) {
        if (n == 3) core.State.Cancel = true;
    };
    core.ConvertWAV2WAV(P("long.wav").string(), P("part.wav").string());
    core.State.Cancel = false;
    host.pumps = 0;
    core.ConvertWAVMP3(P("long.wav").string(), P("part.mp3").string());
    const auto wav = ReadFile(P("part.wav"));
    EXPECT_LT(GetLe32(&wav[40]), 8u * 44100 * 4);
    EXPECT_EQ(GetLe32(&wav[4]), wav.size() - 8);
    EXPECT_EQ(Ffprobe(P("part.wav"), "title"), "Abgebrochen");
    EXPECT_EQ(Ffprobe(P("part.mp3"), "title"), "Abgebrochen");
    EXPECT_TRUE(Shell("mpg123 -q -t " + P("part.mp3").string() + " 2>/dev/null"));
}

}  // namespace
