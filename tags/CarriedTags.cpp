#include "tags/CarriedTags.h"

#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tstring.h>

#include <cstring>

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

// An ID3v2 tag in memory, parsed; Tag() is null where it cannot be read.
class ParsedId3v2 {
public:
    explicit ParsedId3v2(const std::vector<std::uint8_t>& tag)
        : bytes_(reinterpret_cast<const char*>(tag.data()), static_cast<unsigned>(tag.size())), stream_(bytes_),
          file_(&stream_, TagLib::ID3v2::FrameFactory::instance(), false) {}
    TagLib::ID3v2::Tag* Tag() { return file_.isValid() && file_.hasID3v2Tag() ? file_.ID3v2Tag() : nullptr; }

private:
    TagLib::ByteVector bytes_;
    TagLib::ByteVectorStream stream_;
    TagLib::MPEG::File file_;
};

bool Readable(const std::vector<std::uint8_t>& tag) {
    return tag.size() <= kLargestCarriedTag && Id3v2Size(tag.data(), tag.size()) != 0;
}

}  // namespace

TId3Fields Id3v2Fields(const std::vector<std::uint8_t>& tag) {
    if (!Readable(tag)) return {};
    ParsedId3v2 parsed(tag);
    return parsed.Tag() ? FieldsOf(*parsed.Tag()) : TId3Fields{};
}

std::vector<std::uint8_t> UpdatedId3v2(const std::vector<std::uint8_t>& tag, const TId3Fields& was,
                                       const TId3Fields& now) {
    if (!Readable(tag)) return {};
    ParsedId3v2 parsed(tag);
    TagLib::ID3v2::Tag* t = parsed.Tag();
    if (!t) return {};
    if (now.Title != was.Title) t->setTitle(FromUtf8(now.Title));
    if (now.Artist != was.Artist) t->setArtist(FromUtf8(now.Artist));
    if (now.Album != was.Album) t->setAlbum(FromUtf8(now.Album));
    if (now.Comment != was.Comment) t->setComment(FromUtf8(now.Comment));
    if (now.Genre != was.Genre) t->setGenre(FromUtf8(now.Genre));
    if (now.Year != was.Year) t->setYear(Number(now.Year));
    if (now.Track != was.Track) t->setTrack(Number(now.Track));
    return Bytes(t->render(t->header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3));
}

namespace {

// Fields of the summary and the ID3v2 frames that hold them; the comment
// (COMM) is read and written apart.
constexpr std::pair<const char*, const char*> kSummaryFrames[] = {
    {"INAM", "TIT2"}, {"IART", "TPE1"}, {"IPRD", "TALB"}, {"ICRD", "TDRC"}, {"IGNR", "TCON"},
    {"ITRK", "TRCK"}, {"IMUS", "TCOM"}, {"ICOP", "TCOP"}, {"ITCH", "TENC"}, {"ISFT", "TSSE"},
    {"ILNG", "TLAN"}, {"IWRI", "TEXT"}, {"IMED", "TMED"}, {"ISBJ", "TIT3"}};

}  // namespace

std::vector<std::uint8_t> CarriedId3v2(const std::vector<std::uint8_t>& tag) {
    // A tag that claims more bytes than there are is damaged: left out.
    if (!Readable(tag) || Id3v2Size(tag.data(), tag.size()) > tag.size()) return {};
    ParsedId3v2 parsed(tag);
    TagLib::ID3v2::Tag* t = parsed.Tag();
    if (!t) return {};
    bool removed = false;
    for (const char* id : kStreamPositionFrames) {
        removed = removed || !t->frameList(id).isEmpty();
        t->removeFrames(id);
    }
    // Untouched, the tag's own bytes travel: nothing re-encoded.
    if (!removed) return std::vector<std::uint8_t>(tag.begin(), tag.begin() + static_cast<long>(Id3v2Size(tag.data(), tag.size())));
    return Bytes(t->render(t->header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3));
}

TSummary Id3v2Summary(const std::vector<std::uint8_t>& tag) {
    TSummary s;
    if (!Readable(tag)) return s;
    ParsedId3v2 parsed(tag);
    TagLib::ID3v2::Tag* t = parsed.Tag();
    if (!t) return s;
    for (const auto& [info, frame] : kSummaryFrames) {
        const TagLib::ID3v2::FrameList& frames = t->frameList(frame);
        if (frames.isEmpty()) continue;
        // A genre given by number, "(17)", is named as the list names it.
        SetSummaryText(s, info, std::string(frame) == "TCON" ? Utf8(t->genre()) : Utf8(frames.front()->toString()));
    }
    // The first comment in the tag's order, whatever its language.
    for (TagLib::ID3v2::Frame* f : t->frameList()) {
        if (f->frameID() != "COMM") continue;
        SetSummaryText(s, "ICMT", Utf8(f->toString()));
        break;
    }
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
