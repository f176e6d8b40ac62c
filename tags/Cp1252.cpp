#include "tags/Cp1252.h"

#include <array>
#include <cctype>

namespace sondrel {
namespace {

// 0x80 to 0x9F; 0 where Windows-1252 leaves the byte undefined. Those five
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the
// same number, as the system's own conversion has it, so that tags written
// in another code page keep every byte through a save.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int ToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    if (c < 0xA0) return kHigh[c - 0x80] == 0 ? static_cast<int>(c) : '?';
    for (int i = 0; i < 32; ++i)
        if (kHigh[static_cast<std::size_t>(i)] == c && c != 0) return 0x80 + i;
    return '?';
}

// The next code point of s from i on; U+FFFD for a broken sequence.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0 || b >= 0xF8) return 0xFFFD;
    char32_t c = b & (0x3F >> extra);
    for (; extra > 0; --extra) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return c;
}

}  // namespace

std::string Cp1252ToUtf8(const std::uint8_t* bytes, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        char32_t c = b;
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0) c = kHigh[b - 0x80];
        AppendUtf8(out, c);
    }
    return out;
}

std::string Utf8ToCp1252(const std::string& text, std::size_t maxBytes) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size() && out.size() < maxBytes) out += static_cast<char>(ToCp1252(NextCodePoint(text, i)));
    return out;
}

std::size_t Utf8Length(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++n) NextCodePoint(text, i);
    return n;
}

std::string Utf8Prefix(const std::string& text, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t k = 0; k < n && i < text.size(); ++k) NextCodePoint(text, i);
    return text.substr(0, i);
}

bool IsUtf8(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        // Lead bytes of overlong forms (C0, C1) and sequences cut off at
        // the end are not UTF-8 either.
        if (extra < 0 || (extra == 1 && b < 0xC2) || i + static_cast<std::size_t>(extra) >= bytes.size() + (extra == 0 ? 1 : 0))
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool Cp1252CanHold(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        if (c == 0xFFFD || (ToCp1252(c) == '?' && c != '?')) return false;
    }
    return true;
}

std::string LetterSkeleton(const std::string& text, bool spelledOut) {
    // U+00C0 to U+017F by their base letters; "*" for the letters of two,
    // "-" for the signs among them.
    static const char kBase[] =
        "aaaaaa*ceeeeiiiidnooooo-ouuuuy**aaaaaa*ceeeeiiiidnooooo-ouuuuy*y"
        "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii**jjkkklllllll"
        "lllnnnnnnnnnoooooo**rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        if (c < 0x80) {
            if (std::isalnum(static_cast<int>(c))) out += static_cast<char>(std::tolower(static_cast<int>(c)));
            continue;
        }
        if (c < 0xC0 || c > 0x17F) continue;
        const char base = kBase[c - 0xC0];
        const char32_t lower = c < 0x100 ? (c | 0x20) : c;
        if (spelledOut && (lower == 0xE4 || lower == 0xF6 || lower == 0xFC)) {
            out += base;
            out += 'e';
        } else if (base == '*') {
            out += lower == 0xE6 ? "ae" : lower == 0xFE ? "th" : c == 0xDF ? "ss" : c == 0x132 || c == 0x133 ? "ij" : "oe";
        } else if (base != '-') {
            out += base;
        }
    }
    return out;
}

}  // namespace sondrel
