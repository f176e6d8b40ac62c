// Tag texts are Windows-1252 bytes on disk; the program's texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace sondrel {

std::string Cp1252ToUtf8(const std::uint8_t* bytes, std::size_t length);
// At most maxBytes bytes (one per character); a character Windows-1252
// cannot hold becomes "?", and a broken UTF-8 sequence does too.
std::string Utf8ToCp1252(const std::string& text, std::size_t maxBytes);
// Characters (code points) of a UTF-8 text.
std::size_t Utf8Length(const std::string& text);
// Whether the bytes are valid UTF-8 (ASCII is).
bool IsUtf8(const std::string& bytes);
// The first n characters of a UTF-8 text.
std::string Utf8Prefix(const std::string& text, std::size_t n);
// Every character of the text has a Windows-1252 byte.
bool Cp1252CanHold(const std::string& text);

// What is left of a text in any rendering into a tag that cannot hold all
// its characters: its Latin letters without their marks and its digits,
// in lower case ("Größe – 2" gives "grosse2", "Takk…" and "Takk?" both
// "takk"). With spelledOut, ä, ö and ü are spelled out as the German
// rendering does ("groesse2").
std::string LetterSkeleton(const std::string& text, bool spelledOut);

}  // namespace sondrel
