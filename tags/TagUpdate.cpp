#include "tags/TagUpdate.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/ByteFile.h"
#include "tags/CarriedTags.h"
#include "tags/FileTags.h"
#include "tags/Id3v2Edit.h"
#include "tags/PageFields.h"

namespace sondrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool SameFields(const TId3Fields& a, const TId3Fields& b) {
    return a.Title == b.Title && a.Artist == b.Artist && a.Album == b.Album && a.Year == b.Year &&
           a.Comment == b.Comment && a.Track == b.Track && a.Genre == b.Genre;
}

// The tags of an open MP3 file, as a save sees them.
struct TFileTags {
    std::int64_t size = 0;
    TMp3TagPlaces places;
    TTagModel model;
    Bytes room;  // the ID3v2 tag's room as it is, to undo a write with
    std::int64_t audioEnd() const { return size - (places.Id3v1 ? 128 : 0); }
    std::int64_t tagEnd() const { return places.Id3v2At + places.Id3v2Room; }
};

TFileTags ReadTags(TByteFile& f) {
    TFileTags t;
    t.size = f.Size();
    t.model = ReadMp3Tags(f, &t.places);
    t.room.resize(static_cast<std::size_t>(t.places.Id3v2Room));
    f.Seek(t.places.Id3v2At);
    if (f.Read(t.room.data(), t.room.size()) != t.room.size()) t.room.clear();
    return t;
}

bool WriteAt(TByteFile& f, std::int64_t at, const std::uint8_t* bytes, std::size_t n) {
    f.Seek(at);
    return f.Write(bytes, n) == n;
}

// The tag made exactly size bytes long with padding (zero bytes after its
// frames, counted in its header's size), where its frames fit: the tag
// then goes over the old one in place.
bool PadTo(Bytes& tag, std::size_t size) {
    if (tag.size() > size || tag.size() < 10) return false;
    tag.resize(size, 0);
    std::uint32_t body = static_cast<std::uint32_t>(size - 10);
    for (int i = 9; i >= 6; --i, body >>= 7) tag[static_cast<std::size_t>(i)] = body & 0x7F;
    return body == 0;
}

// Where the complete copy of a file about to be rewritten goes: beside
// it, or in the user's cache folder when its folder is closed to us, or
// at last in the temporary folder.
std::filesystem::path CopyPlace(const std::filesystem::path& file, int attempt) {
    namespace fs = std::filesystem;
    // Hidden, and never longer than a file name may be.
    const std::string name = HiddenFileName(file, ".sondrel-" + std::to_string(::getpid()));
    if (attempt == 0) return file.parent_path() / name;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::error_code ec;
    fs::path folder = cache && *cache ? fs::path(cache) : home && *home ? fs::path(home) / ".cache" : fs::path();
    if (attempt == 2 || folder.empty()) folder = fs::temp_directory_path(ec);
    folder /= "Sondrel";
    fs::create_directories(folder, ec);
    return folder / name;
}

// Rewrites the file with a new ID3v2 tag of another size in front of its
// audio (after the bytes before the old tag) and the record at its end. A
// complete copy of the new contents is written and flushed first, and the
// room on the disk for the grown file reserved; only then is the file
// rewritten from the copy, in place.
TTagResult Rewrite(TByteFile& f, const std::filesystem::path& file, const TFileTags& t, const Bytes& front,
                   const TTagRecord& record) {
    const std::int64_t before = t.places.Id3v2At;
    const std::int64_t audioLength = t.audioEnd() - t.tagEnd();
    const std::int64_t newSize = before + static_cast<std::int64_t>(front.size()) + audioLength + 128;
    TByteFile copy;
    std::filesystem::path copyPath;
    for (int attempt = 0; attempt < 3 && !copy.IsOpen(); ++attempt) {
        copyPath = CopyPlace(file, attempt);
        if (!copy.Create(copyPath)) copyPath.clear();
    }
    if (!copy.IsOpen()) return TTagResult::NotSaved;
    Bytes buffer(1 << 20);
    const auto copyOver = [&](TByteFile& from, TByteFile& to, std::int64_t at, std::int64_t length) {
        from.Seek(at);
        for (std::int64_t left = length; left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, buffer.size()));
            if (from.Read(buffer.data(), n) != n || to.Write(buffer.data(), n) != n) return false;
            left -= static_cast<std::int64_t>(n);
        }
        return true;
    };
    bool written = copyOver(f, copy, 0, before) && copy.Write(front.data(), front.size()) == front.size() &&
                   copyOver(f, copy, t.tagEnd(), audioLength) &&
                   copy.Write(record.data(), record.size()) == record.size() && copy.Sync() && f.Reserve(newSize);
    if (!written) {
        copy.Close();
        std::error_code ec;
        std::filesystem::remove(copyPath, ec);
        return TTagResult::NotSaved;
    }
    // From here the new contents are safe in the copy.
    copy.Close();
    if (!copy.OpenRead(copyPath)) return TTagResult::NotSaved;
    f.Seek(0);
    written = copyOver(copy, f, 0, newSize) && f.Truncate(newSize) && f.Sync();
    copy.Close();
    // Should the disk still fail us part way, the copy is what is left of
    // the file: it stays.
    if (!written) return TTagResult::NotSaved;
    std::error_code ec;
    std::filesystem::remove(copyPath, ec);
    return TTagResult::Ok;
}

}  // namespace

TTagResult ReadPageFields(const std::filesystem::path& file, TId3Fields& fields, bool* hasId3v2) {
    TByteFile f;
    if (!f.OpenRead(file)) return TTagResult::CannotOpen;
    const TFileTags t = ReadTags(f);
    if (hasId3v2) *hasId3v2 = !t.model.Bytes.empty();
    const TId3Fields shown = PageFields(t.model);
    if (!t.model.Id3v1 && NoFields(shown)) return TTagResult::NoTag;
    fields = shown;
    return TTagResult::Ok;
}

TTagResult SaveTagFields(const std::filesystem::path& file, const TId3Fields& fields) {
    TByteFile f;
    if (!f.OpenReadWrite(file) || f.WriteProtected()) return TTagResult::CannotOpen;
    const TFileTags t = ReadTags(f);
    const TId3Fields was = PageFields(t.model);
    const bool ownTag = !t.model.Bytes.empty();
    Bytes front;
    const bool changed = !SameFields(was, fields);
    // A tag we cannot account for whole would lose what we cannot read
    // (and one we cannot read at all would go on saying the old texts):
    // the file stays as it was, its ID3v1 tag too.
    if (changed && !ownTag && t.model.Found) return TTagResult::Unreadable;
    if (changed && (ownTag || NeedsId3v2(was, fields))) {
        front = UpdatedId3v2(ownTag ? t.model : TTagModel{}, ownTag ? was : TId3Fields{}, fields);
        if (front.empty()) return TTagResult::Unreadable;
        // A new tag gets room for the next change, so that it goes in place.
        if (!ownTag) PadTo(front, front.size() + 1024);
    }
    // The comment the ID3v2 tag holds whole after the save, if any: the
    // ID3v1 tag then needs only its rendering.
    const std::string id3v2Comment = !front.empty() && fields.Comment != was.Comment ? fields.Comment
                                     : ownTag                                         ? t.model.Fields.Comment
                                                                                      : std::string();
    const TTagRecord record = Id3v1ForSave(t.model, was, fields, id3v2Comment);
    if (!front.empty() && !PadTo(front, static_cast<std::size_t>(t.places.Id3v2Room)))
        return Rewrite(f, file, t, front, record);

    // In place: the ID3v2 tag over its old room, the record over the old
    // one or after the audio. What does not go out whole is undone.
    const std::int64_t recordAt = t.audioEnd();
    const Bytes& old = t.room;
    if (!front.empty() && !WriteAt(f, t.places.Id3v2At, front.data(), front.size())) {
        (void)WriteAt(f, t.places.Id3v2At, old.data(), old.size());
        return TTagResult::NotSaved;
    }
    if (WriteAt(f, recordAt, record.data(), record.size()) && f.Sync()) return TTagResult::Ok;
    if (t.model.Id3v1)
        (void)WriteAt(f, recordAt, t.model.Id3v1->data(), t.model.Id3v1->size());
    else
        (void)f.Truncate(t.size);
    if (!front.empty()) (void)WriteAt(f, t.places.Id3v2At, old.data(), old.size());
    return TTagResult::NotSaved;
}

}  // namespace sondrel
