#include "tags/Id3Tag.h"

#include <climits>
#include <cstring>

#include "codec/ByteFile.h"
#include "tags/Cp1252.h"
#include "tags/Genres.h"

namespace sondrel {
namespace {

std::string Text(const TTagRecord& r, std::size_t offset, std::size_t length) {
    std::size_t n = 0;
    while (n < length && r[offset + n] != 0) ++n;
    return Cp1252ToUtf8(r.data() + offset, n);
}

void Put(TTagRecord& r, std::size_t offset, std::size_t length, const std::string& text) {
    const std::string bytes = Utf8ToCp1252(text, length);
    std::memcpy(r.data() + offset, bytes.data(), bytes.size());
}

}  // namespace

bool CommentHidesTrack(const std::string& comment) { return Utf8Length(comment) >= 29; }

bool ReadWholeNumber(const std::string& text, long long& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    v = negative ? -v : v;
    if (v > INT_MAX || v < INT_MIN) return false;
    value = v;
    return true;
}

TId3Fields FieldsFromRecord(const TTagRecord& r) {
    TId3Fields f;
    f.Title = Text(r, 3, 30);
    f.Artist = Text(r, 33, 30);
    f.Album = Text(r, 63, 30);
    f.Year = Text(r, 93, 4);
    const std::uint8_t genre = r[127];
    f.Genre = genre < kGenreCount ? kGenres[genre] : std::to_string(genre);
    f.Comment = Text(r, 97, 30);
    if (r[125] == 0 && r[126] != 0) f.Track = std::to_string(r[126]);
    return f;
}

std::uint8_t GenreByte(const std::string& text) {
    long long n = 0;
    if (ReadWholeNumber(text, n)) return static_cast<std::uint8_t>(n & 0xFF);
    for (int i = 0; i < kGenreCount; ++i)
        if (text == kGenres[static_cast<std::size_t>(i)]) return static_cast<std::uint8_t>(i);
    return 255;
}

TTagRecord RecordFromFields(const TId3Fields& f) {
    TTagRecord r{};
    std::memcpy(r.data(), "TAG", 3);
    Put(r, 3, 30, f.Title);
    Put(r, 33, 30, f.Artist);
    Put(r, 63, 30, f.Album);
    Put(r, 93, 4, f.Year);
    Put(r, 97, 30, f.Comment);
    long long track = 0;
    if (!CommentHidesTrack(f.Comment) && ReadWholeNumber(f.Track, track) && track >= 0 && track <= 255)
        r[126] = static_cast<std::uint8_t>(track);
    r[127] = GenreByte(f.Genre);
    return r;
}

TTagResult ReadTagRecord(const std::filesystem::path& file, TTagRecord& record) {
    TByteFile f;
    if (!f.OpenRead(file)) return TTagResult::CannotOpen;
    const std::int64_t size = f.Size();
    TTagRecord r{};
    if (size < 128) return TTagResult::NoTag;
    f.Seek(size - 128);
    if (f.Read(r.data(), 128) != 128 || std::memcmp(r.data(), "TAG", 3) != 0) return TTagResult::NoTag;
    record = r;
    return TTagResult::Ok;
}

TTagResult WriteTagRecord(const std::filesystem::path& file, const TTagRecord& record) {
    TByteFile f;
    if (!f.OpenReadWrite(file) || f.WriteProtected()) return TTagResult::CannotOpen;
    const std::int64_t size = f.Size();
    TTagRecord present{};
    bool replace = false;
    if (size >= 128) {
        f.Seek(size - 128);
        replace = f.Read(present.data(), 128) == 128 && std::memcmp(present.data(), "TAG", 3) == 0;
    }
    const std::int64_t at = replace ? size - 128 : size;
    f.Seek(at);
    if (f.Write(record.data(), record.size()) == record.size() && f.Sync()) return TTagResult::Ok;
    // A tag half on disk is worse than none: an appended one goes, and a
    // replaced one is written back as it was.
    if (replace) {
        f.Seek(at);
        (void)f.Write(present.data(), present.size());
    } else {
        (void)f.Truncate(size);
    }
    return TTagResult::NotSaved;
}

}  // namespace sondrel
