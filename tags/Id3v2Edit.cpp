#include "tags/Id3v2Edit.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <string>

#include "tags/Id3v2Frames.h"

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

// The frame of the comment the page shows.
TId3v2Frame* ShownComment(std::vector<TId3v2Frame>& frames) {
    const int at = UserCommentIndex(frames);
    return at < 0 ? nullptr : &frames[static_cast<std::size_t>(at)];
}

TId3v2Frame* Find(std::vector<TId3v2Frame>& frames, std::initializer_list<const char*> ids) {
    for (const char* id : ids)
        for (TId3v2Frame& f : frames)
            if (f.id == id) return &f;
    return nullptr;
}

class Editor {
public:
    explicit Editor(TId3v2Layout& layout) : layout_(layout), v2_(layout.version == 2) {}

    // Sets the first frame of one of ids (the native one first) to text,
    // removes it where text is empty, adds one where there is none.
    void SetText(std::initializer_list<const char*> ids, const char* id22, const std::string& text) {
        TId3v2Frame* f = v2_ ? Find(layout_.frames, {id22}) : Find(layout_.frames, ids);
        if (text.empty()) {
            Remove(f);
            return;
        }
        Bytes body = TextFrameBody(layout_.version, text);
        if (!f) {
            Add(v2_ ? id22 : *ids.begin(), std::move(body));
            return;
        }
        Replace(*f, std::move(body));
    }
    void SetComment(const std::string& text) {
        const char* id = v2_ ? "COM" : "COMM";
        TId3v2Frame* f = ShownComment(layout_.frames);
        if (text.empty()) {
            Remove(f);
            return;
        }
        Bytes body = CommentFrameBody(layout_.version, f, text);
        if (!f)
            Add(id, std::move(body));
        else
            Replace(*f, std::move(body));
    }
    // The total after a "/" the tag's track frame has.
    std::string TrackTotal() {
        const TId3v2Frame* f = Find(layout_.frames, {v2_ ? "TRK" : "TRCK"});
        if (!f) return {};
        const std::string text = TextFrameText(*f);
        const std::size_t slash = text.find('/');
        return slash == std::string::npos ? std::string() : text.substr(slash);
    }

private:
    void Replace(TId3v2Frame& f, Bytes body) {
        f.body = std::move(body);
        // The new body is plain: no compression, encryption, grouping or
        // length indicator of the old one applies. Its status flags stay.
        f.flags[1] = 0;
    }
    void Add(const char* id, Bytes body) {
        TId3v2Frame f;
        f.id = id;
        f.body = std::move(body);
        layout_.frames.push_back(std::move(f));
    }
    void Remove(TId3v2Frame* f) {
        if (!f) return;
        layout_.frames.erase(layout_.frames.begin() + (f - layout_.frames.data()));
    }

    TId3v2Layout& layout_;
    bool v2_;
};

}  // namespace

std::string TextFrameText(const TId3v2Frame& f) {
    // (Read as a title frame: every plain text frame has its layout.)
    return TagLib::ID3v2::TextIdentificationFrame(FrameData("TIT2", f.body)).toString().to8Bit(true);
}

std::string UserTextDescription(const TId3v2Frame& f) {
    // A body without its terminated description is no user text frame.
    if (f.body.empty() || FrameStringEnd(f.body, 1, f.body[0]) == 0) return {};
    return TagLib::ID3v2::UserTextIdentificationFrame(FrameData("TXXX", f.body)).description().to8Bit(true);
}

Bytes UpdatedId3v2(const Bytes& tag, const TId3Fields& was, const TId3Fields& now) {
    TId3v2Layout layout;
    if (!ParseId3v2(tag, layout) || !layout.whole) return {};
    Editor edit(layout);
    if (now.Title != was.Title) edit.SetText({"TIT2"}, "TT2", now.Title);
    if (now.Artist != was.Artist) edit.SetText({"TPE1"}, "TP1", now.Artist);
    if (now.Album != was.Album) edit.SetText({"TALB"}, "TAL", now.Album);
    if (now.Genre != was.Genre) edit.SetText({"TCON"}, "TCO", now.Genre);
    if (now.Year != was.Year) {
        if (layout.version == 4)
            edit.SetText({"TDRC", "TYER"}, "TYE", now.Year);
        else
            edit.SetText({"TYER", "TDRC"}, "TYE", now.Year);
    }
    if (now.Track != was.Track) {
        std::string track = now.Track;
        if (!track.empty() && track.find('/') == std::string::npos) track += edit.TrackTotal();
        edit.SetText({"TRCK"}, "TRK", track);
    }
    if (now.Comment != was.Comment) edit.SetComment(now.Comment);
    return RenderId3v2Frames(layout);
}

}  // namespace sondrel
