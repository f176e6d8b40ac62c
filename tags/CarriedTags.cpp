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

#include "tags/Id3v2Frames.h"

namespace sondrel {
namespace {

TagLib::String FromUtf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

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

TCarriedTags Carried(const TTagModel& m, double secondsPerFrame) {
    TCarriedTags t;
    t.Summary = m.Summary;
    t.Id3v2LeftBehind = m.Lost;
    TId3v2Layout layout = m.Id3v2;
    bool changed = layout.rearranged || !layout.whole || layout.frames.size() > m.Own;
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
    if (!kept.empty()) {
        layout.frames = std::move(kept);
        t.Id3v2 = changed || m.Bytes.empty() ? RenderId3v2Frames(layout) : m.Bytes;
    } else if (!t.Summary.empty()) {
        t.Id3v2 = RenderId3v2(t.Summary, 3);
    }
    return t;
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
