#include "tags/CarriedTags.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/infotag.h>
#include <taglib/tstring.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "tags/Id3v2Edit.h"
#include "tags/Id3v2Frames.h"

#include "tags/Cp1252.h"

namespace sondrel {
namespace {

std::string Utf8(const TagLib::String& s) { return s.to8Bit(true); }
TagLib::String FromUtf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

TId3Fields FieldsOf(const TagLib::Tag& tag) {
    TId3Fields f;
    f.Title = Utf8(tag.title());
    f.Artist = Utf8(tag.artist());
    f.Album = Utf8(tag.album());
    f.Comment = Utf8(tag.comment());
    f.Genre = Utf8(tag.genre());
    if (tag.year() > 0) f.Year = std::to_string(tag.year());
    if (tag.track() > 0) f.Track = std::to_string(tag.track());
    return f;
}

unsigned Number(const std::string& text) {
    long long n = 0;
    return ReadWholeNumber(text, n) && n > 0 ? static_cast<unsigned>(n) : 0;
}

void Fill(TagLib::Tag& tag, const TId3Fields& f) {
    tag.setTitle(FromUtf8(f.Title));
    tag.setArtist(FromUtf8(f.Artist));
    tag.setAlbum(FromUtf8(f.Album));
    tag.setComment(FromUtf8(f.Comment));
    tag.setGenre(FromUtf8(f.Genre));
    tag.setYear(Number(f.Year));
    tag.setTrack(Number(f.Track));
}

std::vector<std::uint8_t> Bytes(const TagLib::ByteVector& v) {
    return std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(v.data()),
                                     reinterpret_cast<const std::uint8_t*>(v.data()) + v.size());
}

}  // namespace

bool NoFields(const TId3Fields& f) {
    return f.Title.empty() && f.Artist.empty() && f.Album.empty() && f.Year.empty() && f.Comment.empty() &&
           f.Track.empty() && f.Genre.empty();
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

namespace {

// An ID3v2 tag in memory as TagLib's model, built frame by frame from our
// walk of the tag (tags/Id3v2Frames.h), which reads every layout: a frame
// TagLib cannot make sense of is left out of the model alone (it stays in
// the tag's bytes), never the frames after it lost with it, as TagLib's
// own reading of a whole tag loses them. Tag() is null where the tag
// cannot be read at all.
class Id3v2Model {
public:
    explicit Id3v2Model(const std::vector<std::uint8_t>& bytes) {
        TId3v2Layout layout;
        if (!ParseId3v2(bytes, layout)) return;
        const char head[10] = {'I', 'D', '3', static_cast<char>(layout.version), 0, 0, 0, 0, 0, 0};
        const TagLib::ID3v2::Header header(TagLib::ByteVector(head, 10));
        const TagLib::ID3v2::FrameFactory* factory = TagLib::ID3v2::FrameFactory::instance();
        const int comment = UserCommentIndex(layout.frames);
        for (std::size_t i = 0; i < layout.frames.size(); ++i) {
            TId3v2Frame& f = layout.frames[i];
            WithoutFalseLengthIndicator(layout.version, f);
            const std::vector<std::uint8_t> data = RenderId3v2Frame(layout.version, f);
            TagLib::ID3v2::Frame* frame =
                factory->createFrame(TagLib::ByteVector(reinterpret_cast<const char*>(data.data()),
                                                        static_cast<unsigned>(data.size())),
                                     &header);
            if (!frame) continue;
            if (static_cast<int>(i) == comment) comment_ = Utf8(frame->toString());
            tag_.addFrame(frame);
        }
        // A 2.3 tag's date in its year, day and time frames.
        tag_.header()->setMajorVersion(static_cast<unsigned>(layout.version));
        factory->rebuildAggregateFrames(&tag_);
        read_ = true;
    }
    TagLib::ID3v2::Tag* Tag() { return read_ ? &tag_ : nullptr; }
    // The user's comment (UserCommentIndex), never another program's data.
    const std::string& Comment() const { return comment_; }

private:
    // A 2.4 frame flagged as carrying its data length in front of its body
    // where the body has no room for one, or its first four bytes are no
    // such length: one tagger writes short frames so. Read as the bytes
    // say, without the flag.
    static void WithoutFalseLengthIndicator(int version, TId3v2Frame& f) {
        if (version != 4 || !(f.flags[1] & 0x01) || (f.flags[1] & 0x0C)) return;  // compressed, encrypted: as is
        const std::vector<std::uint8_t>& b = f.body;
        const bool sound = b.size() > 4 && !((b[0] | b[1] | b[2] | b[3]) & 0x80) &&
                           (std::uint32_t{b[0]} << 21 | std::uint32_t{b[1]} << 14 | std::uint32_t{b[2]} << 7 | b[3]) ==
                               b.size() - 4;
        if (!sound) f.flags[1] = static_cast<std::uint8_t>(f.flags[1] & ~0x01);
    }
    TagLib::ID3v2::Tag tag_;
    std::string comment_;
    bool read_ = false;
};

bool Readable(const std::vector<std::uint8_t>& tag) {
    return tag.size() <= kLargestCarriedTag && Id3v2Size(tag.data(), tag.size()) != 0;
}

}  // namespace

TId3Fields Id3v2Fields(const std::vector<std::uint8_t>& tag) {
    if (!Readable(tag)) return {};
    Id3v2Model model(tag);
    if (!model.Tag()) return {};
    TId3Fields fields = FieldsOf(*model.Tag());
    fields.Comment = model.Comment();
    return fields;
}

namespace {

// Fields of the summary and the ID3v2 frames that hold them; the comment
// (COMM) is read and written apart.
constexpr std::pair<const char*, const char*> kSummaryFrames[] = {
    {"INAM", "TIT2"}, {"IART", "TPE1"}, {"IPRD", "TALB"}, {"ICRD", "TDRC"}, {"IGNR", "TCON"},
    {"ITRK", "TRCK"}, {"IMUS", "TCOM"}, {"ICOP", "TCOP"}, {"ITCH", "TENC"}, {"ISFT", "TSSE"},
    {"ILNG", "TLAN"}, {"IWRI", "TEXT"}, {"IMED", "TMED"}, {"ISBJ", "TIT3"}};

}  // namespace

namespace {

std::uint32_t Big32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
void PutBig32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// A SYLT or ETCO frame timed in MPEG frames of the old stream, timed in
// milliseconds instead. False where that cannot be done (the frame length
// is not known, the body is not what the frame should hold, or it is
// compressed or encrypted); the frame is then left out.
bool InMilliseconds(TId3v2Frame& f, double secondsPerFrame) {
    const bool lyrics = f.id == "SYLT" || f.id == "SLT";
    std::vector<std::uint8_t>& b = f.body;
    const std::size_t formatAt = lyrics ? 4 : 0;
    if (b.size() <= formatAt || b[formatAt] != 1) return true;  // in milliseconds, or unknown: as it is
    if (secondsPerFrame <= 0 || (f.flags[1] & 0x0D) != 0) return false;
    std::vector<std::size_t> stamps;
    if (lyrics) {
        if (b.size() < 6) return false;
        std::size_t at = FrameStringEnd(b, 6, b[0]);  // the content descriptor
        while (at != 0 && at < b.size()) {
            at = FrameStringEnd(b, at, b[0]);  // a line's text
            if (at == 0 || at + 4 > b.size()) return false;
            stamps.push_back(at);
            at += 4;
        }
        if (at == 0) return false;
    } else {
        if ((b.size() - 1) % 5 != 0) return false;
        for (std::size_t at = 1; at < b.size(); at += 5) stamps.push_back(at + 1);
    }
    for (const std::size_t at : stamps)
        PutBig32(&b[at], static_cast<std::uint32_t>(std::min(4294967295.0, Big32(&b[at]) * secondsPerFrame * 1000.0 + 0.5)));
    b[formatAt] = 2;
    return true;
}

}  // namespace

bool Id3v2LeftBehind(const std::vector<std::uint8_t>& tag) {
    if (!Readable(tag) || Id3v2Size(tag.data(), tag.size()) > tag.size()) return true;
    TId3v2Layout layout;
    return !ParseId3v2(tag, layout) || (layout.frames.empty() && !layout.whole);
}

std::vector<std::uint8_t> CarriedId3v2(const std::vector<std::uint8_t>& tag, double secondsPerFrame) {
    // A tag that claims more bytes than there are is damaged: left out.
    if (!Readable(tag) || Id3v2Size(tag.data(), tag.size()) > tag.size()) return {};
    TId3v2Layout layout;
    if (!ParseId3v2(tag, layout) || layout.frames.empty()) return {};
    bool changed = layout.rearranged || !layout.whole;
    std::vector<TId3v2Frame> kept;
    for (TId3v2Frame& f : layout.frames) {
        bool drop = std::any_of(std::begin(kStreamPositionFrames), std::end(kStreamPositionFrames),
                                [&](const char* id) { return f.id == id; });
        if (!drop && (f.id == "SYLT" || f.id == "SLT" || f.id == "ETCO" || f.id == "ETC")) {
            const std::vector<std::uint8_t> before = f.body;
            drop = !InMilliseconds(f, secondsPerFrame);
            changed = changed || f.body != before;
        }
        changed = changed || drop;
        if (!drop) kept.push_back(std::move(f));
    }
    // Untouched, the tag's own bytes travel: nothing re-encoded.
    if (!changed) return std::vector<std::uint8_t>(tag.begin(), tag.begin() + static_cast<long>(Id3v2Size(tag.data(), tag.size())));
    if (kept.empty()) return {};
    layout.frames = std::move(kept);
    return RenderId3v2Frames(layout);
}

namespace {

// APEv2 keys (in any letter case) and the frames that say the same, in
// 2.3/2.4 and in 2.2; the year by version. The others go into TXXX.
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

std::vector<std::uint8_t> WithApeItems(const std::vector<std::uint8_t>& tag, const std::vector<TApeItem>& items) {
    TId3v2Layout layout;
    if (tag.empty()) {
        layout.version = 3;
        layout.whole = true;
    } else if (!ParseId3v2(tag, layout)) {
        return tag;
    }
    const bool v22 = layout.version == 2;
    const auto has = [&](const std::string& id) {
        return std::any_of(layout.frames.begin(), layout.frames.end(), [&](const TId3v2Frame& f) { return f.id == id; });
    };
    const std::size_t before = layout.frames.size();
    for (const TApeItem& item : items) {
        if (item.text.empty()) continue;
        const std::string key = Lower(item.key);
        TId3v2Frame f;
        if (key == "comment") {
            f.id = v22 ? "COM" : "COMM";
            if (has(f.id)) continue;
            f.body = CommentFrameBody(layout.version, nullptr, item.text);
        } else if (key == "year") {
            f.id = v22 ? "TYE" : layout.version == 4 ? "TDRC" : "TYER";
            if (has("TYE") || has("TYER") || has("TDRC")) continue;
            f.body = TextFrameBody(layout.version, item.text);
        } else {
            const auto known = std::find_if(std::begin(kApeFrames), std::end(kApeFrames),
                                            [&](const ApeFrame& a) { return key == a.key; });
            if (known != std::end(kApeFrames)) {
                f.id = v22 ? known->id22 : known->id;
                if (has(f.id)) continue;
                f.body = TextFrameBody(layout.version, item.text);
            } else {
                f.id = v22 ? "TXX" : "TXXX";
                const bool said = std::any_of(layout.frames.begin(), layout.frames.end(), [&](const TId3v2Frame& g) {
                    return g.id == f.id && Lower(UserTextDescription(g)) == key;
                });
                if (said) continue;
                f.body = UserTextFrameBody(layout.version, item.key, item.text);
            }
        }
        layout.frames.push_back(std::move(f));
    }
    if (layout.frames.size() == before) return tag;
    return RenderId3v2Frames(layout);
}

TSummary Id3v2Summary(const std::vector<std::uint8_t>& tag) {
    TSummary s;
    if (!Readable(tag)) return s;
    Id3v2Model model(tag);
    TagLib::ID3v2::Tag* t = model.Tag();
    if (!t) return s;
    for (const auto& [info, frame] : kSummaryFrames) {
        const TagLib::ID3v2::FrameList& frames = t->frameList(frame);
        if (frames.isEmpty()) continue;
        // A genre given by number, "(17)", is named as the list names it.
        SetSummaryText(s, info, std::string(frame) == "TCON" ? Utf8(t->genre()) : Utf8(frames.front()->toString()));
    }
    SetSummaryText(s, "ICMT", model.Comment());
    return s;
}

std::vector<std::uint8_t> RenderId3v2(const TSummary& summary, int version) {
    TagLib::ID3v2::Tag tag;
    for (const auto& [info, frame] : kSummaryFrames) {
        const std::string text = SummaryText(summary, info);
        if (text.empty()) continue;
        auto* f = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(frame), TagLib::String::UTF8);
        f->setText(FromUtf8(text));
        tag.addFrame(f);
    }
    if (const std::string comment = SummaryText(summary, "ICMT"); !comment.empty()) tag.setComment(FromUtf8(comment));
    if (tag.isEmpty()) return {};
    return Bytes(tag.render(version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3));
}

std::vector<std::uint8_t> RenderId3v2(const TId3Fields& f, int version) {
    if (NoFields(f)) return {};
    TagLib::ID3v2::Tag tag;
    Fill(tag, f);
    return Bytes(tag.render(version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3));
}

}  // namespace sondrel
