#include "tags/TagUpdate.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/ByteFile.h"
#include "tags/CarriedTags.h"
#include "tags/Cp1252.h"
#include "tags/Id3v2Edit.h"

namespace sondrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool SameFields(const TId3Fields& a, const TId3Fields& b) {
    return a.Title == b.Title && a.Artist == b.Artist && a.Album == b.Album && a.Year == b.Year &&
           a.Comment == b.Comment && a.Track == b.Track && a.Genre == b.Genre;
}

// What the page shows of a file's two tags: each field from the tag that
// holds it whole. The ID3v2 text (as far as the page's field holds it)
// where the ID3v1 field is empty or only its rendering (cut to the
// field, characters outside Windows-1252 as "?"); the ID3v1 field where it
// is all there is or says something else.
TId3Fields Merged(const TTagRecord& v1, const TId3Fields& v2) {
    const TId3Fields one = FieldsFromRecord(v1), two = PageView(v2);
    // What a save of the ID3v2 texts writes into ID3v1, with the track and
    // without (a track leaves the comment two bytes fewer).
    TId3Fields bare = two;
    bare.Track.clear();
    const TId3Fields withTrack = FieldsFromRecord(RecordFromFields(two)), without = FieldsFromRecord(RecordFromFields(bare));
    TId3Fields shown = one;
    const auto pick = [](std::string& out, const std::string& v1Text, const std::string& v2Text,
                         std::initializer_list<std::string> renderings, const std::string& none) {
        if (v2Text.empty()) return;
        if (v1Text.empty() || v1Text == none) {
            out = v2Text;
            return;
        }
        for (const std::string& r : renderings)
            if (r == v1Text) out = v2Text;
    };
    pick(shown.Title, one.Title, two.Title, {withTrack.Title}, "");
    pick(shown.Artist, one.Artist, two.Artist, {withTrack.Artist}, "");
    pick(shown.Album, one.Album, two.Album, {withTrack.Album}, "");
    pick(shown.Year, one.Year, two.Year, {withTrack.Year}, "");
    pick(shown.Comment, one.Comment, two.Comment, {withTrack.Comment, without.Comment}, "");
    pick(shown.Track, one.Track, two.Track, {withTrack.Track}, "");
    pick(shown.Genre, one.Genre, two.Genre, {withTrack.Genre}, "255");
    return shown;
}

// The tags of an open MP3 file, as a save sees them.
struct TFileTags {
    std::int64_t size = 0;
    bool hasV1 = false;
    TTagRecord v1{};
    Bytes v2;  // the whole ID3v2 tag at the start; empty for none
    std::int64_t audioEnd() const { return size - (hasV1 ? 128 : 0); }
    // What the page shows of them.
    TId3Fields Shown() const {
        if (!hasV1) return PageView(Id3v2Fields(v2));
        return v2.empty() ? FieldsFromRecord(v1) : Merged(v1, Id3v2Fields(v2));
    }
};

TFileTags ReadTags(TByteFile& f) {
    TFileTags t;
    t.size = f.Size();
    if (t.size >= 128) {
        f.Seek(t.size - 128);
        t.hasV1 = f.Read(t.v1.data(), 128) == 128 && std::memcmp(t.v1.data(), "TAG", 3) == 0;
    }
    std::uint8_t head[10];
    f.Seek(0);
    const std::uint64_t tagSize = f.Read(head, 10) == 10 ? Id3v2Size(head, 10) : 0;
    if (tagSize > 0 && tagSize <= kLargestCarriedTag && static_cast<std::int64_t>(tagSize) <= t.audioEnd()) {
        t.v2.resize(tagSize);
        f.Seek(0);
        if (f.Read(t.v2.data(), t.v2.size()) != t.v2.size()) t.v2.clear();
    }
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
// audio and the record at its end. A complete copy of the new contents is
// written and flushed first, and the room on the disk for the grown file
// reserved; only then is the file rewritten from the copy, in place.
TTagResult Rewrite(TByteFile& f, const std::filesystem::path& file, const TFileTags& t, const Bytes& front,
                   const TTagRecord& record) {
    const std::int64_t audioLength = t.audioEnd() - static_cast<std::int64_t>(t.v2.size());
    const std::int64_t newSize = static_cast<std::int64_t>(front.size()) + audioLength + 128;
    TByteFile copy;
    std::filesystem::path copyPath;
    for (int attempt = 0; attempt < 3 && !copy.IsOpen(); ++attempt) {
        copyPath = CopyPlace(file, attempt);
        if (!copy.Create(copyPath)) copyPath.clear();
    }
    if (!copy.IsOpen()) return TTagResult::NotSaved;
    Bytes buffer(1 << 20);
    bool written = copy.Write(front.data(), front.size()) == front.size();
    f.Seek(static_cast<std::int64_t>(t.v2.size()));
    for (std::int64_t left = audioLength; written && left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, buffer.size()));
        written = f.Read(buffer.data(), n) == n && copy.Write(buffer.data(), n) == n;
        left -= static_cast<std::int64_t>(n);
    }
    written = written && copy.Write(record.data(), record.size()) == record.size() && copy.Sync() &&
              f.Reserve(newSize);
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
    for (std::int64_t left = newSize; written && left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, buffer.size()));
        written = copy.Read(buffer.data(), n) == n && f.Write(buffer.data(), n) == n;
        left -= static_cast<std::int64_t>(n);
    }
    written = written && f.Truncate(newSize) && f.Sync();
    copy.Close();
    // Should the disk still fail us part way, the copy is what is left of
    // the file: it stays.
    if (!written) return TTagResult::NotSaved;
    std::error_code ec;
    std::filesystem::remove(copyPath, ec);
    return TTagResult::Ok;
}

}  // namespace

TId3Fields PageView(const TId3Fields& f) {
    TId3Fields v = f;
    for (std::string* text : {&v.Title, &v.Artist, &v.Album, &v.Comment, &v.Track}) *text = Utf8Prefix(*text, 30);
    v.Year = Utf8Prefix(v.Year, 4);
    return v;
}

TTagResult ReadPageFields(const std::filesystem::path& file, TId3Fields& fields) {
    TByteFile f;
    if (!f.OpenRead(file)) return TTagResult::CannotOpen;
    const TFileTags t = ReadTags(f);
    const TId3Fields shown = t.Shown();
    if (!t.hasV1 && NoFields(shown)) return TTagResult::NoTag;
    fields = shown;
    return TTagResult::Ok;
}

TTagResult SaveTagFields(const std::filesystem::path& file, const TId3Fields& fields) {
    TByteFile f;
    if (!f.OpenReadWrite(file) || f.WriteProtected()) return TTagResult::CannotOpen;
    const TFileTags t = ReadTags(f);
    const TTagRecord record = RecordFromFields(fields);
    const TId3Fields was = t.Shown();
    Bytes front;
    if (!t.v2.empty() && !SameFields(was, fields)) {
        front = UpdatedId3v2(t.v2, was, fields);
        // A tag we cannot account for whole would lose what we cannot
        // read: the file stays as it was, its ID3v1 tag too.
        if (front.empty()) return TTagResult::Unreadable;
    }
    if (!front.empty() && !PadTo(front, t.v2.size())) return Rewrite(f, file, t, front, record);

    // In place: the ID3v2 tag over its old room, the record over the old
    // one or after the audio. What does not go out whole is undone.
    const std::int64_t recordAt = t.audioEnd();
    if (!front.empty() && !WriteAt(f, 0, front.data(), front.size())) {
        (void)WriteAt(f, 0, t.v2.data(), t.v2.size());
        return TTagResult::NotSaved;
    }
    if (WriteAt(f, recordAt, record.data(), record.size()) && f.Sync()) return TTagResult::Ok;
    if (t.hasV1)
        (void)WriteAt(f, recordAt, t.v1.data(), t.v1.size());
    else
        (void)f.Truncate(t.size);
    if (!front.empty()) (void)WriteAt(f, 0, t.v2.data(), t.v2.size());
    return TTagResult::NotSaved;
}

}  // namespace sondrel
