// The 148 genre names of ID3v1 tags, by index.
#pragma once

#include <array>
#include <string>

namespace sondrel {

constexpr int kGenreCount = 148;
extern const std::array<const char*, kGenreCount> kGenres;

// The number a genre text names as other taggers write genres: a number
// ("17", "(17)", "(17)Rock"), a name of the list, or the other common
// spelling of one ("Alternative Rock" for "AlternRock"), in any letter
// case and with blanks around it; -1 where it names none. (The tag page's
// own save compares names exactly; this is for texts that come from
// another tag, so that a genre keeps its number on its way.)
int GenreNumber(const std::string& text);

}  // namespace sondrel
