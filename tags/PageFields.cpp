#include "tags/PageFields.h"

#include <cstring>

#include "tags/Cp1252.h"
#include "tags/Genres.h"

namespace sondrel {
namespace {

// The ID3v1 text is a rendering of the ID3v2 text: the same letters and
// digits, perhaps cut at the field's end, the letters that rendering could
// not hold left out or spelled otherwise ("?ód?" of "Łódź", "Takk?" of
// "Takk…", "Groesse" of "Größe"). A text of no letter at all ("????")
// renders anything.
bool RendersAs(const std::string& v1, const std::string& v2) {
    const std::string a = LetterSkeleton(v1, false);
    if (a.empty()) return true;
    const bool cut = Utf8Length(v1) >= 28;
    const std::string asCp1252 = Utf8ToCp1252(v2, v2.size());
    for (const std::string& b : {LetterSkeleton(Cp1252ToUtf8(reinterpret_cast<const std::uint8_t*>(asCp1252.data()), asCp1252.size()), false),
                                 LetterSkeleton(v2, false), LetterSkeleton(v2, true)})
        if (a == b || (cut && b.compare(0, a.size(), a) == 0)) return true;
    return false;
}

void Put(TTagRecord& r, std::size_t offset, std::size_t length, const std::string& text) {
    std::memset(r.data() + offset, 0, length);
    const std::string bytes = Utf8ToCp1252(text, length);
    std::memcpy(r.data() + offset, bytes.data(), bytes.size());
}

}  // namespace

TId3Fields PageFields(const TTagModel& m) {
    const TId3Fields& two = m.Fields;
    if (!m.Id3v1) return two;
    const TTagRecord& r = *m.Id3v1;
    TId3Fields shown = FieldsFromRecord(r);
    const auto text = [](std::string& out, const std::string& v2) {
        if (!v2.empty() && (out.empty() || RendersAs(out, v2))) out = v2;
    };
    text(shown.Title, two.Title);
    text(shown.Artist, two.Artist);
    text(shown.Album, two.Album);
    text(shown.Comment, two.Comment);
    const auto same = [](std::string& out, const std::string& v2) {
        if (!v2.empty() && (out.empty() || out == v2)) out = v2;
    };
    same(shown.Year, two.Year);
    same(shown.Track, two.Track);
    // A genre byte of none (255), or "Other" for a name the list lacks,
    // says nothing against the ID3v2 genre.
    const int number = GenreNumber(two.Genre);
    if (!two.Genre.empty() && (r[127] == 255 || r[127] == number || (r[127] == 12 && number < 0))) shown.Genre = two.Genre;
    return shown;
}

bool FitsId3v1(const std::string& text, std::size_t chars) {
    return Utf8Length(text) <= chars && Cp1252CanHold(text);
}

bool NeedsId3v2(const TId3Fields& was, const TId3Fields& now) {
    for (std::string TId3Fields::*f : {&TId3Fields::Title, &TId3Fields::Artist, &TId3Fields::Album, &TId3Fields::Comment})
        if (now.*f != was.*f && !FitsId3v1(now.*f, 30)) return true;
    return false;
}

TTagRecord Id3v1ForSave(const TTagModel& m, const TId3Fields& was, const TId3Fields& now,
                        const std::string& id3v2Comment) {
    const bool had = m.Id3v1.has_value();
    TTagRecord r{};
    if (had) r = *m.Id3v1;
    std::memcpy(r.data(), "TAG", 3);
    const auto changed = [&](std::string TId3Fields::*f) { return !had || now.*f != was.*f; };
    if (changed(&TId3Fields::Title)) Put(r, 3, 30, now.Title);
    if (changed(&TId3Fields::Artist)) Put(r, 33, 30, now.Artist);
    if (changed(&TId3Fields::Album)) Put(r, 63, 30, now.Album);
    if (changed(&TId3Fields::Year)) Put(r, 93, 4, now.Year);
    if (changed(&TId3Fields::Genre)) {
        // What the user typed is compared as the page always has; a genre
        // that came from the ID3v2 tag keeps its number in any spelling.
        const int number = GenreNumber(now.Genre);
        r[127] = now.Genre != was.Genre ? GenreByte(now.Genre) : number < 0 ? 255 : static_cast<std::uint8_t>(number);
    }
    if (changed(&TId3Fields::Comment) || changed(&TId3Fields::Track)) {
        const std::string comment = changed(&TId3Fields::Comment) ? now.Comment : FieldsFromRecord(r).Comment;
        long long track = 0;
        const bool hasTrack = ReadWholeNumber(now.Track, track) && track >= 1 && track <= 255;
        const bool keptWhole = !id3v2Comment.empty() && RendersAs(comment, id3v2Comment);
        const bool room = hasTrack && (Utf8Length(comment) <= 28 || keptWhole);
        Put(r, 97, 30, room ? Utf8Prefix(comment, 28) : comment);
        if (room) r[126] = static_cast<std::uint8_t>(track);
    }
    return r;
}

bool TrackLeftOutOfId3v1(const std::string& comment, bool fileHasId3v2) {
    return !fileHasId3v2 && CommentHidesTrack(comment) && FitsId3v1(comment, 30);
}

}  // namespace sondrel
