// The ID3v1.1 tag: the last 128 bytes of an MP3 file, and the seven texts
// the editor shows for it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace sondrel {

using TTagRecord = std::array<std::uint8_t, 128>;

// The editor's fields, as UTF-8 texts.
struct TId3Fields {
    std::string Title, Artist, Album, Year, Comment, Track, Genre;
};

inline const std::string kTrackWarning =
    "Da der Kommentar über 28 Zeichen lang ist kann die Track-Nummer nicht gespeichert werden!";
inline const std::string kTagCannotOpen = "Konnte die Datei nicht öffnen!";
inline const std::string kTagMissing = "Die Datei enthält keine ID3-Tag Informationen!";
inline const std::string kTagNotSaved = "Konnte den Tag nicht speichern!";
// The file's ID3v2 tag holds what we cannot read: changing it would lose
// that, so the file is left as it was.
inline const std::string kTagUnreadable =
    "Das ID3v2-Tag der Datei enthält Teile, die nicht gelesen werden können. Damit nichts davon verloren geht, "
    "wurde die Datei nicht verändert.";

enum class TTagResult { Ok, CannotOpen, NoTag, NotSaved, Unreadable };

// A comment this long leaves no room for the track number.
bool CommentHidesTrack(const std::string& comment);

// A text that reads as a whole number (optional sign, digits, 32 bits).
bool ReadWholeNumber(const std::string& text, long long& value);

// What the editor shows of a tag: texts up to their first zero byte, the
// track where a version 1.1 marker says there is one, the genre's name
// (or its number beyond the table).
TId3Fields FieldsFromRecord(const TTagRecord& record);
// The record the editor writes for its fields.
TTagRecord RecordFromFields(const TId3Fields& fields);
std::uint8_t GenreByte(const std::string& text);

// The last 128 bytes of the file; NoTag when they do not begin with "TAG"
// or the file is shorter than a tag.
TTagResult ReadTagRecord(const std::filesystem::path& file, TTagRecord& record);
// Replaces the file's tag or appends one, in place. Never creates the file,
// never writes a write-protected one (CannotOpen), never
// touches a byte before the tag's place; a write that does not go out
// whole is undone and reported as NotSaved.
TTagResult WriteTagRecord(const std::filesystem::path& file, const TTagRecord& record);

}  // namespace sondrel
