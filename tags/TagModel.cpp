#include "tags/TagModel.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unknownframe.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tags/Genres.h"
#include "tags/Id3v2Edit.h"

namespace sondrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Utf8(const TagLib::String& s) { return s.to8Bit(true); }

std::vector<std::string> Utf8(const TagLib::StringList& list) {
    std::vector<std::string> out;
    for (const TagLib::String& s : list) out.push_back(Utf8(s));
    return out;
}

// The 2.4 names of the frames the page and the summaries read, by their
// 2.2 and 2.3 names, for frames that do not decode (a decoded frame is
// named by TagLib, which knows them all).
std::string Key(int version, const std::string& id) {
    static const std::pair<const char*, const char*> kOlder[] = {
        {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TYE", "TDRC"}, {"TYER", "TDRC"}, {"TCO", "TCON"},
        {"TRK", "TRCK"}, {"COM", "COMM"}, {"TXX", "TXXX"}, {"TCM", "TCOM"}, {"TCR", "TCOP"}, {"TEN", "TENC"},
        {"TSS", "TSSE"}, {"TLA", "TLAN"}, {"TXT", "TEXT"}, {"TMT", "TMED"}, {"TT3", "TIT3"}};
    if (version < 4)
        for (const auto& [old, now] : kOlder)
            if (id == old) return now;
    return id;
}

// A 2.4 frame flagged as carrying its data length in front of its body
// where the body has no room for one, or its first four bytes are no such
// length: one tagger writes short frames so. Read as the bytes say,
// without the flag.
void WithoutFalseLengthIndicator(int version, TId3v2Frame& f) {
    if (version != 4 || !(f.flags[1] & 0x01) || (f.flags[1] & 0x0C)) return;  // compressed, encrypted: as is
    const Bytes& b = f.body;
    const bool sound = b.size() > 4 && !((b[0] | b[1] | b[2] | b[3]) & 0x80) &&
                       (std::uint32_t{b[0]} << 21 | std::uint32_t{b[1]} << 14 | std::uint32_t{b[2]} << 7 | b[3]) ==
                           b.size() - 4;
    if (!sound) f.flags[1] = static_cast<std::uint8_t>(f.flags[1] & ~0x01);
}

// A body as a 2.4 text frame's, whatever its own frame is: how TagLib
// reads a text frame it does not know.
TagLib::ByteVector AsTextFrame(const Bytes& body) {
    TagLib::ByteVector data("TIT2");
    const auto size = static_cast<unsigned>(body.size());
    for (int shift = 21; shift >= 0; shift -= 7) data.append(static_cast<char>((size >> shift) & 0x7F));
    data.append(TagLib::ByteVector(2, '\0'));
    data.append(TagLib::ByteVector(reinterpret_cast<const char*>(body.data()), size));
    return data;
}

// A frame of text (its body begins with the text's encoding).
bool HoldsText(const std::string& key) { return key[0] == 'T' || key == "COMM" || key == "USLT"; }

TFrameText Decode(int version, TId3v2Frame frame, const TagLib::ID3v2::Header& header) {
    TFrameText t;
    t.key = Key(version, frame.id);
    // No version defines an encoding past 3: such a frame is no text
    // anyone can read, whatever TagLib would make of it.
    if (frame.body.empty() || (HoldsText(t.key) && frame.body[0] > 3)) return t;
    WithoutFalseLengthIndicator(version, frame);
    const Bytes data = RenderId3v2Frame(version, frame);
    std::unique_ptr<TagLib::ID3v2::Frame> f(TagLib::ID3v2::FrameFactory::instance()->createFrame(
        TagLib::ByteVector(reinterpret_cast<const char*>(data.data()), static_cast<unsigned>(data.size())), &header));
    if (!f) return t;
    t.readable = true;
    t.key = std::string(f->frameID().data(), f->frameID().size());
    if (auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(f.get())) {
        t.description = Utf8(user->description());
        t.values = Utf8(user->fieldList());
        if (!t.values.empty()) t.values.erase(t.values.begin());  // the description
    } else if (auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(f.get())) {
        t.values = Utf8(text->fieldList());
    } else if (auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(f.get())) {
        t.description = Utf8(comment->description());
        t.language = std::string(comment->language().data(), comment->language().size());
        t.values = {Utf8(comment->text())};
    } else if (dynamic_cast<TagLib::ID3v2::UnknownFrame*>(f.get()) && t.key[0] == 'T') {
        // The 2.3 text frames 2.4 dropped (TDAT, TIME, TRDA, TSIZ): TagLib
        // keeps them unread; their texts are plain text frames'.
        t.key = frame.id;
        t.values = Utf8(TagLib::ID3v2::TextIdentificationFrame(AsTextFrame(frame.body)).fieldList());
    }
    return t;
}

// A number 0 to 255, alone or in parentheses ("17", "(17)"); -1 otherwise.
int GenreReference(const std::string& value) {
    const std::size_t open = !value.empty() && value[0] == '(' ? 1 : 0;
    const std::size_t end = value.size() - open;
    if (end <= open || end - open > 3 || (open && value.back() != ')')) return -1;
    int n = 0;
    for (std::size_t i = open; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(value[i]))) return -1;
        n = n * 10 + (value[i] - '0');
    }
    return n <= 255 ? n : -1;
}

// The genre a TCON frame names: a number by the name the genre list gives
// it (the tag page's list, so that a save finds it there), each genre once.
std::string Genre(const TFrameText& t) {
    std::vector<std::string> genres;
    for (const std::string& value : t.values) {
        if (value.empty()) continue;
        const int n = GenreReference(value);
        const std::string name = n < 0 ? value : n < kGenreCount ? kGenres[static_cast<std::size_t>(n)] : std::to_string(n);
        if (std::find(genres.begin(), genres.end(), name) == genres.end()) genres.push_back(name);
    }
    std::string out;
    for (const std::string& g : genres) out += (out.empty() ? "" : " ") + g;
    return out;
}

// The number a text begins with (blanks before it allowed), as readers
// take a track or a year; 0 for none.
long LeadingNumber(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

// ISO 639-2 codes (both forms where there are two) of the language the
// user reads.
std::vector<std::string> UserLanguages() {
    static const std::pair<const char*, std::vector<std::string>> kCodes[] = {
        {"de", {"deu", "ger"}}, {"en", {"eng"}}, {"fr", {"fra", "fre"}}, {"es", {"spa"}},
        {"it", {"ita"}},        {"nl", {"nld", "dut"}}, {"pt", {"por"}}, {"pl", {"pol"}},
        {"sv", {"swe"}},        {"da", {"dan"}}, {"cs", {"ces", "cze"}}, {"ru", {"rus"}}};
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || std::strlen(value) < 2 || std::strncmp(value, "C", 2) == 0) continue;
        for (const auto& [code, codes] : kCodes)
            if (std::strncmp(value, code, 2) == 0) return codes;
    }
    return {"deu", "ger"};
}

// Another program's data in a comment frame, by its description.
bool ProgramData(const std::string& description) {
    for (const char* prefix : {"iTun", "iTunes_", "MusicMatch_", "Songs-DB_", "CDDB"})
        if (description.rfind(prefix, 0) == 0) return true;
    return false;
}

// The recording date: 2.4's TDRC, or before 2.4 the year with the day
// and month of TDAT ("DDMM") and the time of TIME ("HHMM").
std::string Date(const TTagModel& m) {
    const int year = m.Find("TDRC");
    if (year < 0) return {};
    std::string date = m.Texts[static_cast<std::size_t>(year)].Text();
    const int day = m.Find("TDAT");
    if (m.Id3v2.version < 4 && date.size() == 4 && day >= 0) {
        const std::string d = m.Texts[static_cast<std::size_t>(day)].Text();
        if (d.size() == 4) {
            date += "-" + d.substr(2, 2) + "-" + d.substr(0, 2);
            const int time = m.Find("TIME");
            const std::string t = time < 0 ? std::string() : m.Texts[static_cast<std::size_t>(time)].Text();
            if (t.size() == 4) date += "T" + t.substr(0, 2) + ":" + t.substr(2, 2);
        }
    }
    return date;
}

}  // namespace

std::string TFrameText::Text() const {
    std::string out;
    for (const std::string& v : values) out += (out.empty() ? "" : " ") + v;
    return out;
}

int TTagModel::Find(const std::string& key) const {
    for (std::size_t i = 0; i < Texts.size(); ++i)
        if (Texts[i].readable && Texts[i].key == key) return static_cast<int>(i);
    return -1;
}

std::uint64_t Id3v2Size(const std::uint8_t* b, std::size_t available) {
    if (available < 10 || std::memcmp(b, "ID3", 3) != 0 || b[3] < 2 || b[3] > 4) return 0;
    std::uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (b[i] & 0x80) return 0;  // sizes are 7 bits a byte
        size = (size << 7) | b[i];
    }
    const bool footer = b[3] == 4 && (b[5] & 0x10);
    return 10 + size + (footer ? 10 : 0);
}

int UserComment(const std::vector<TFrameText>& texts) {
    const std::vector<std::string> languages = UserLanguages();
    int plain = -1, inLanguage = -1, described = -1;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const TFrameText& t = texts[i];
        if (t.key != "COMM" || !t.readable) continue;
        const int at = static_cast<int>(i);
        if (t.description.empty()) {
            if (plain < 0) plain = at;
            std::string language = t.language;
            for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (inLanguage < 0 && std::find(languages.begin(), languages.end(), language) != languages.end())
                inLanguage = at;
        } else if (described < 0 && !ProgramData(t.description)) {
            described = at;
        }
    }
    return inLanguage >= 0 ? inLanguage : plain >= 0 ? plain : described;
}

void ReadId3v2(TTagModel& m, std::vector<std::uint8_t> tag) {
    const std::uint64_t claimed = Id3v2Size(tag.data(), tag.size());
    if (claimed == 0) return;
    m.Found = true;
    TId3v2Layout layout;
    if (claimed > kLargestCarriedTag || claimed > tag.size() || !ParseId3v2(tag, layout) ||
        (layout.frames.empty() && !layout.whole)) {
        m.Lost = true;
        return;
    }
    tag.resize(claimed);
    m.Bytes = std::move(tag);
    const char head[10] = {'I', 'D', '3', static_cast<char>(layout.version), 0, 0, 0, 0, 0, 0};
    const TagLib::ID3v2::Header header(TagLib::ByteVector(head, 10));
    for (const TId3v2Frame& f : layout.frames) m.Texts.push_back(Decode(layout.version, f, header));
    m.Id3v2 = std::move(layout);
    m.Own = m.Id3v2.frames.size();
    Derive(m);
}

namespace {

// APEv2 keys (in any letter case) and the frames that say the same, in
// 2.3/2.4 and in 2.2. The others go into TXXX.
struct ApeFrame {
    const char* key;
    const char* id;
    const char* id22;
};
constexpr ApeFrame kApeFrames[] = {
    {"title", "TIT2", "TT2"},       {"artist", "TPE1", "TP1"},   {"album", "TALB", "TAL"},
    {"track", "TRCK", "TRK"},       {"genre", "TCON", "TCO"},    {"composer", "TCOM", "TCM"},
    {"album artist", "TPE2", "TP2"}, {"albumartist", "TPE2", "TP2"}, {"disc", "TPOS", "TPA"},
    {"copyright", "TCOP", "TCR"},   {"publisher", "TPUB", "TPB"}, {"language", "TLAN", "TLA"},
    {"bpm", "TBPM", "TBP"},         {"isrc", "TSRC", "TRC"},      {"subtitle", "TIT3", "TT3"},
    {"conductor", "TPE3", "TP3"},   {"encodedby", "TENC", "TEN"}, {"encoded by", "TENC", "TEN"}};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

void AddApeItems(TTagModel& m, const std::vector<TApeItem>& items) {
    if (m.Id3v2.version == 0) {
        m.Id3v2.version = 3;
        m.Id3v2.whole = true;
    }
    const int version = m.Id3v2.version;
    const bool v22 = version == 2;
    const auto has = [&](const std::string& key, const std::string& description = {}) {
        for (const TFrameText& t : m.Texts)
            if (t.key == key && (key != "TXXX" || Lower(t.description) == description)) return true;
        return false;
    };
    for (const TApeItem& item : items) {
        if (item.text.empty()) continue;
        const std::string key = Lower(item.key);
        TId3v2Frame f;
        TFrameText t;
        t.readable = true;
        t.values = {item.text};
        if (key == "comment") {
            f.id = v22 ? "COM" : "COMM";
            t.key = "COMM";
            t.language = "eng";
            if (has(t.key)) continue;
            f.body = CommentFrameBody(version, nullptr, item.text);
        } else if (key == "year") {
            f.id = v22 ? "TYE" : version == 4 ? "TDRC" : "TYER";
            t.key = "TDRC";
            if (has(t.key)) continue;
            f.body = TextFrameBody(version, item.text);
        } else if (const auto known = std::find_if(std::begin(kApeFrames), std::end(kApeFrames),
                                                   [&](const ApeFrame& a) { return key == a.key; });
                   known != std::end(kApeFrames)) {
            f.id = v22 ? known->id22 : known->id;
            t.key = known->id;
            if (has(t.key)) continue;
            f.body = TextFrameBody(version, item.text);
        } else {
            f.id = v22 ? "TXX" : "TXXX";
            t.key = "TXXX";
            t.description = item.key;
            if (has(t.key, key)) continue;
            f.body = UserTextFrameBody(version, item.key, item.text);
        }
        m.Id3v2.frames.push_back(std::move(f));
        m.Texts.push_back(std::move(t));
    }
    Derive(m);
}

void Derive(TTagModel& m) {
    const auto text = [&](const char* key) {
        const int at = m.Find(key);
        return at < 0 ? std::string() : m.Texts[static_cast<std::size_t>(at)].Text();
    };
    TId3Fields& f = m.Fields;
    f = TId3Fields{};
    f.Title = text("TIT2");
    f.Artist = text("TPE1");
    f.Album = text("TALB");
    if (const long year = LeadingNumber(text("TDRC").substr(0, 4)); year > 0) f.Year = std::to_string(year);
    if (const long track = LeadingNumber(text("TRCK")); track > 0) f.Track = std::to_string(track);
    const int genre = m.Find("TCON");
    if (genre >= 0) f.Genre = Genre(m.Texts[static_cast<std::size_t>(genre)]);
    m.Comment = UserComment(m.Texts);
    if (m.Comment >= 0) f.Comment = m.Texts[static_cast<std::size_t>(m.Comment)].Text();

    m.Summary.clear();
    for (const auto& [info, key] : kSummaryFrames) {
        const std::string k = key;
        SetSummaryText(m.Summary, info, k == "TCON" ? f.Genre : k == "TDRC" ? Date(m) : text(key));
    }
    SetSummaryText(m.Summary, "ICMT", f.Comment);
    if (m.Summary.empty()) m.Summary = m.Id3v1 ? Id3v1Summary(*m.Id3v1) : m.Info;
}

TId3Fields Id3v2Fields(const std::vector<std::uint8_t>& tag) {
    TTagModel m;
    ReadId3v2(m, tag);
    return m.Fields;
}

}  // namespace sondrel
