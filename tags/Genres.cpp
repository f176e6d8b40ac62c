#include "tags/Genres.h"

#include <cctype>
#include <utility>

namespace sondrel {

// Index order is part of the tag format: byte 127 of a tag is an index
// into this table, so entries are never reordered or corrected.
const std::array<const char*, kGenreCount> kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal", "New Age",
    "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska",
    "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion",
    "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock",
    "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave",
    "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro",
    "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob",
    "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech",
    "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire",
    "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle",
    "Duet", "Punk Rock", "Drum Solo", "Acapella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House",
    "Hardcore", "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap",
    "Heavy Metal", "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Trash Metal", "Anime", "Jpop", "Synthpop"
};

namespace {

// How other taggers and libraries spell entries of the list otherwise.
constexpr std::pair<int, const char*> kOtherSpellings[] = {
    {29, "Jazz-Funk"},       {40, "Alternative Rock"}, {40, "Alt. Rock"},    {40, "Alt Rock"},
    {59, "Gangsta Rap"},     {67, "Psychedelic"},      {81, "Folk Rock"},    {84, "Fast-Fusion"},
    {85, "Bebop"},           {90, "Avant-garde"},      {123, "A Cappella"},  {123, "A capella"},
    {125, "Dancehall"},      {129, "Hardcore Techno"}, {132, "Britpop"},     {133, "Worldbeat"},
    {133, "Afro-Punk"},      {144, "Thrash Metal"},    {146, "JPop"}};

std::string Folded(const std::string& s) {
    std::size_t from = 0, to = s.size();
    while (from < to && s[from] == ' ') ++from;
    while (to > from && s[to - 1] == ' ') --to;
    std::string out = s.substr(from, to - from);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A number 0 to 255 at the start of text (after a "("), with nothing but
// ")" and a name after it; -1 otherwise.
int LeadingNumber(const std::string& text) {
    std::size_t at = text.empty() || text[0] != '(' ? 0 : 1;
    int n = 0, digits = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 4; ++at, ++digits)
        n = n * 10 + (text[at] - '0');
    if (digits == 0 || n > 255) return -1;
    if (text[0] == '(') return at < text.size() && text[at] == ')' ? n : -1;
    return at == text.size() ? n : -1;
}

}  // namespace

int GenreNumber(const std::string& text) {
    const std::string folded = Folded(text);
    if (const int n = LeadingNumber(folded); n >= 0) return n;
    for (int i = 0; i < kGenreCount; ++i)
        if (folded == Folded(kGenres[static_cast<std::size_t>(i)])) return i;
    for (const auto& [n, name] : kOtherSpellings)
        if (folded == Folded(name)) return n;
    return -1;
}

}  // namespace sondrel
