#include "tags/Id3v2Edit.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <string>

#include "tags/Id3v2Frames.h"
#include "tags/TagModel.h"

namespace sondrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

TagLib::String FromUtf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

Bytes ToBytes(const TagLib::ByteVector& v) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(v.data()), reinterpret_cast<const std::uint8_t*>(v.data()) + v.size());
}

// A frame as TagLib reads one: body behind a 2.4 header of id (TagLib
// reads every version's bodies alike).
TagLib::ByteVector FrameData(const char* id, const Bytes& body) {
    TagLib::ByteVector data(id);
    const auto size = static_cast<unsigned>(body.size());
    for (int shift = 21; shift >= 0; shift -= 7) data.append(static_cast<char>((size >> shift) & 0x7F));
    data.append(TagLib::ByteVector(2, '\0'));
    data.append(TagLib::ByteVector(reinterpret_cast<const char*>(body.data()), size));
    return data;
}

// A frame's body as TagLib renders it for a tag of version (2.2 bodies are
// those of 2.3), from a tag of that frame alone.
Bytes BodyOf(TagLib::ID3v2::Frame* frame, int version) {
    TagLib::ID3v2::Tag tag;
    tag.addFrame(frame);
    const Bytes rendered = ToBytes(tag.render(version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3));
    TId3v2Layout layout;
    return ParseId3v2(rendered, layout) && layout.frames.size() == 1 ? layout.frames.front().body : Bytes{};
}

}  // namespace

Bytes TextFrameBody(int version, const std::string& text) {
    // Latin-1 where the text allows it, else what the version allows
    // (UTF-16 before 2.4, UTF-8 in it): TagLib chooses.
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector("TIT2"), TagLib::String::Latin1);
    frame->setText(FromUtf8(text));
    return BodyOf(frame, version);
}

Bytes UserTextFrameBody(int version, const std::string& description, const std::string& text) {
    auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::Latin1);
    frame->setDescription(FromUtf8(description));
    frame->setText(FromUtf8(text));
    return BodyOf(frame, version);
}

Bytes CommentFrameBody(int version, const TId3v2Frame* old, const std::string& text) {
    auto* frame = new TagLib::ID3v2::CommentsFrame(FrameData("COMM", old ? old->body : Bytes{0, 'e', 'n', 'g', 0}));
    frame->setText(FromUtf8(text));
    return BodyOf(frame, version);
}

namespace {

// A frame's id in a tag of version for its 2.4 name.
std::string NativeId(int version, const std::string& key) {
    static const std::pair<const char*, const char*> k22[] = {
        {"TIT2", "TT2"}, {"TPE1", "TP1"}, {"TALB", "TAL"}, {"TDRC", "TYE"}, {"TCON", "TCO"}, {"TRCK", "TRK"}, {"COMM", "COM"}};
    if (version == 2)
        for (const auto& [now, old] : k22)
            if (key == now) return old;
    if (version == 3 && key == "TDRC") return "TYER";
    return key;
}

// The model's own frames, changed field by field.
class Editor {
public:
    explicit Editor(const TTagModel& m)
        : layout_(m.Id3v2), texts_(m.Texts.begin(), m.Texts.begin() + static_cast<long>(m.Own)) {
        layout_.frames.resize(m.Own);
        if (layout_.version == 0) {
            layout_.version = 3;
            layout_.whole = true;
        }
    }

    // Sets the first frame of key (readable or not: one we cannot read is
    // replaced, never joined by a second) to text, removes it where text is
    // empty, adds one where there is none.
    void SetText(const std::string& key, const std::string& text) {
        Set(Find(key), key, text.empty() ? Bytes{} : TextFrameBody(layout_.version, text));
    }
    void SetComment(const std::string& text) {
        const int at = UserComment(texts_);
        Set(at, "COMM", text.empty() ? Bytes{} : CommentFrameBody(layout_.version, at < 0 ? nullptr : &layout_.frames[static_cast<std::size_t>(at)], text));
    }
    // The total after a "/" the tag's track frame has.
    std::string TrackTotal() const {
        for (const TFrameText& t : texts_)
            if (t.key == "TRCK" && t.readable) {
                const std::string text = t.Text();
                const std::size_t slash = text.find('/');
                return slash == std::string::npos ? std::string() : text.substr(slash);
            }
        return {};
    }
    int Version() const { return layout_.version; }
    const TId3v2Layout& Layout() const { return layout_; }

private:
    int Find(const std::string& key) const {
        for (std::size_t i = 0; i < texts_.size(); ++i)
            if (texts_[i].key == key) return static_cast<int>(i);
        return -1;
    }
    void Set(int at, const std::string& key, Bytes body) {
        if (at >= 0 && body.empty()) {
            layout_.frames.erase(layout_.frames.begin() + at);
            texts_.erase(texts_.begin() + at);
        } else if (at >= 0) {
            TId3v2Frame& f = layout_.frames[static_cast<std::size_t>(at)];
            f.body = std::move(body);
            f.cut = false;
            // The new body is plain: no compression, encryption, grouping or
            // length indicator of the old one applies. Its status flags stay.
            f.flags[1] = 0;
        } else if (!body.empty()) {
            TId3v2Frame f;
            f.id = NativeId(layout_.version, key);
            f.body = std::move(body);
            layout_.frames.push_back(std::move(f));
            TFrameText t;
            t.key = key;
            texts_.push_back(std::move(t));
        }
    }

    TId3v2Layout layout_;
    std::vector<TFrameText> texts_;
};

}  // namespace

Bytes UpdatedId3v2(const TTagModel& m, const TId3Fields& was, const TId3Fields& now) {
    if (m.Id3v2.version != 0 && !m.Id3v2.whole) return {};
    Editor edit(m);
    if (now.Title != was.Title) edit.SetText("TIT2", now.Title);
    if (now.Artist != was.Artist) edit.SetText("TPE1", now.Artist);
    if (now.Album != was.Album) edit.SetText("TALB", now.Album);
    // The page's "255" is the ID3v1 byte of no genre: no frame.
    if (now.Genre != was.Genre) edit.SetText("TCON", now.Genre == "255" ? std::string() : now.Genre);
    if (now.Year != was.Year) edit.SetText("TDRC", now.Year);
    if (now.Track != was.Track) {
        std::string track = now.Track;
        if (!track.empty() && track.find('/') == std::string::npos) track += edit.TrackTotal();
        edit.SetText("TRCK", track);
    }
    if (now.Comment != was.Comment) edit.SetComment(now.Comment);
    return RenderId3v2Frames(edit.Layout());
}

}  // namespace sondrel
