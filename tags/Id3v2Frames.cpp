#include "tags/Id3v2Frames.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace sondrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Syncsafe(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] & 0x7F) << 21 | static_cast<std::uint32_t>(p[1] & 0x7F) << 14 |
           static_cast<std::uint32_t>(p[2] & 0x7F) << 7 | (p[3] & 0x7F);
}
std::uint32_t Big(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}
void PutSyncsafe(Bytes& b, std::uint32_t v) {
    for (int shift = 21; shift >= 0; shift -= 7) b.push_back(static_cast<std::uint8_t>((v >> shift) & 0x7F));
}
void PutBig(Bytes& b, std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Unsynchronisation put a zero byte after every 0xFF that could be read
// as the start of a frame header; taking them out gives the bytes back.
Bytes Resynchronised(const std::uint8_t* p, std::size_t n) {
    Bytes out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(p[i]);
        if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0x00) ++i;
    }
    return out;
}

bool ValidId(const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= '0' && p[i] <= '9'))) return false;
    return true;
}

struct Walk {
    std::vector<TId3v2Frame> frames;
    bool whole = false;
    bool resynchronised = false;
};

// The frames of body from at on, their sizes read as 2.4 says (syncsafe)
// or as 2.3 does; whole when they end where the padding (zero bytes to the
// end) begins.
Walk WalkFrames(const Bytes& body, std::size_t at, int version, bool syncsafe, bool tagUnsynchronised) {
    Walk w;
    const std::size_t idBytes = version == 2 ? 3 : 4, head = version == 2 ? 6 : 10;
    while (at + head <= body.size() && body[at] != 0) {
        const std::uint8_t* h = body.data() + at;
        if (!ValidId(h, idBytes)) return w;
        const std::uint32_t size = version == 2 ? Big(h + 3, 3) : syncsafe ? Syncsafe(h + 4) : Big(h + 4, 4);
        if (size > body.size() - at - head) return w;
        TId3v2Frame f;
        f.id.assign(reinterpret_cast<const char*>(h), idBytes);
        if (version > 2) {
            f.flags[0] = h[8];
            f.flags[1] = h[9];
        }
        const std::uint8_t* data = h + head;
        if (version == 4 && ((f.flags[1] & 0x02) || tagUnsynchronised)) {
            f.body = Resynchronised(data, size);
            f.flags[1] = static_cast<std::uint8_t>(f.flags[1] & ~0x02);
            w.resynchronised = true;
        } else {
            f.body.assign(data, data + size);
        }
        w.frames.push_back(std::move(f));
        at += head + size;
    }
    // What follows the frames is padding: zero bytes only.
    for (std::size_t i = at; i < body.size(); ++i)
        if (body[i] != 0) return w;
    w.whole = true;
    return w;
}

}  // namespace

bool ParseId3v2(const Bytes& tag, TId3v2Layout& layout) {
    layout = TId3v2Layout{};
    if (tag.size() < 10 || std::memcmp(tag.data(), "ID3", 3) != 0) return false;
    const int version = tag[3];
    const std::uint8_t flags = tag[5];
    if (version < 2 || version > 4 || tag[4] == 0xFF) return false;
    for (int i = 6; i < 10; ++i)
        if (tag[static_cast<std::size_t>(i)] & 0x80) return false;
    // A whole-tag compression of 2.2 that no one ever defined.
    if (version == 2 && (flags & 0x40)) return false;
    const std::uint32_t size = Syncsafe(tag.data() + 6);
    const bool cut = tag.size() < 10 + static_cast<std::size_t>(size);
    const std::size_t stored = cut ? tag.size() - 10 : size;
    const bool unsynchronised = (flags & 0x80) != 0;
    // Before 2.4 the whole tag after its header is unsynchronised; in 2.4
    // its frames are, each on its own.
    Bytes body = unsynchronised && version < 4 ? Resynchronised(tag.data() + 10, stored)
                                               : Bytes(tag.begin() + 10, tag.begin() + 10 + static_cast<long>(stored));
    std::size_t at = 0;
    bool rearranged = unsynchronised && version < 4;
    if (version > 2 && (flags & 0x40)) {
        // The extended header (its CRC, restrictions, padding size) tells
        // nothing a reader needs; a rendering leaves it out. One tagger
        // sets the flag without writing the header: where a frame follows
        // the tag header directly, the tag is read as its bytes say.
        const bool frameFirst = body.size() >= 10 && ValidId(body.data(), 4) &&
                                Big(body.data() + 4, 4) <= body.size() - 10;
        const std::uint32_t extended =
            body.size() < 6 ? 0 : version == 3 ? 4 + Big(body.data(), 4) : Syncsafe(body.data());
        const bool fits = extended >= 6 && extended <= body.size();
        const bool likely = fits && (version == 4 ? extended <= 15 && body[4] == 1 : extended == 10 || extended == 14);
        if (!fits && !frameFirst) return false;
        at = frameFirst && !likely ? 0 : extended;
        rearranged = true;
    }
    Walk walk = WalkFrames(body, at, version, version == 4, unsynchronised);
    if (!walk.whole && version == 4) {
        // Some taggers write 2.4 frame sizes as plain numbers.
        Walk plain = WalkFrames(body, at, version, false, unsynchronised);
        if (plain.whole) {
            walk = std::move(plain);
            rearranged = true;
        }
    }
    layout.version = version;
    layout.revision = tag[4];
    layout.frames = std::move(walk.frames);
    layout.whole = walk.whole && !cut;
    layout.rearranged = rearranged || walk.resynchronised || (version == 4 && (flags & 0x10));
    return true;
}

Bytes RenderId3v2Frame(int version, const TId3v2Frame& f) {
    Bytes frame(f.id.begin(), f.id.end());
    const auto size = static_cast<std::uint32_t>(f.body.size());
    if (version == 2) {
        PutBig(frame, size, 3);
    } else {
        if (version == 4)
            PutSyncsafe(frame, size);
        else
            PutBig(frame, size, 4);
        frame.push_back(f.flags[0]);
        frame.push_back(f.flags[1]);
    }
    frame.insert(frame.end(), f.body.begin(), f.body.end());
    return frame;
}

Bytes RenderId3v2Frames(const TId3v2Layout& layout, std::size_t padding) {
    Bytes frames;
    for (const TId3v2Frame& f : layout.frames) {
        const Bytes one = RenderId3v2Frame(layout.version, f);
        frames.insert(frames.end(), one.begin(), one.end());
    }
    Bytes tag = {'I', 'D', '3', static_cast<std::uint8_t>(layout.version), static_cast<std::uint8_t>(layout.revision), 0};
    PutSyncsafe(tag, static_cast<std::uint32_t>(frames.size() + padding));
    tag.insert(tag.end(), frames.begin(), frames.end());
    tag.resize(tag.size() + padding, 0);
    return tag;
}

Bytes PlainId3v2(const Bytes& tag) {
    TId3v2Layout layout;
    if (!ParseId3v2(tag, layout)) return {};
    if (!layout.rearranged) return tag;
    return RenderId3v2Frames(layout);
}

std::size_t FrameStringEnd(const Bytes& b, std::size_t at, std::uint8_t encoding) {
    if (encoding == 1 || encoding == 2) {
        for (; at + 1 < b.size(); at += 2)
            if (b[at] == 0 && b[at + 1] == 0) return at + 2;
        return 0;
    }
    for (; at < b.size(); ++at)
        if (b[at] == 0) return at + 1;
    return 0;
}

std::string CommentDescription(const TId3v2Frame& comm) {
    const Bytes& b = comm.body;
    if (b.size() < 4) return {};
    const bool wide = b[0] == 1 || b[0] == 2;
    std::size_t end = 4;
    if (wide) {
        while (end + 1 < b.size() && !(b[end] == 0 && b[end + 1] == 0)) end += 2;
    } else {
        while (end < b.size() && b[end] != 0) ++end;
    }
    std::string description(b.begin() + 4, b.begin() + static_cast<long>(std::min(end, b.size())));
    // A byte order mark alone is no description.
    if (wide && description.size() == 2 && (description == "\xFF\xFE" || description == "\xFE\xFF")) return {};
    return description;
}

namespace {

// ISO 639-2 codes (both forms where there are two) of the language the
// user reads.
std::vector<std::string> UserLanguages() {
    static const std::pair<const char*, std::vector<std::string>> kCodes[] = {
        {"de", {"deu", "ger"}}, {"en", {"eng"}}, {"fr", {"fra", "fre"}}, {"es", {"spa"}},
        {"it", {"ita"}},        {"nl", {"nld", "dut"}}, {"pt", {"por"}}, {"pl", {"pol"}},
        {"sv", {"swe"}},        {"da", {"dan"}}, {"cs", {"ces", "cze"}}, {"ru", {"rus"}}};
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || std::strlen(value) < 2 || std::strncmp(value, "C", 2) == 0) continue;
        for (const auto& [code, codes] : kCodes)
            if (std::strncmp(value, code, 2) == 0) return codes;
    }
    return {"deu", "ger"};
}

// Another program's data in a comment frame, by its description.
bool ProgramData(const std::string& description) {
    for (const char* prefix : {"iTun", "iTunes_", "MusicMatch_", "Songs-DB_", "CDDB"})
        if (description.rfind(prefix, 0) == 0) return true;
    return false;
}

}  // namespace

int UserCommentIndex(const std::vector<TId3v2Frame>& frames) {
    const std::vector<std::string> languages = UserLanguages();
    int plain = -1, inLanguage = -1, described = -1;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const TId3v2Frame& f = frames[i];
        if ((f.id != "COMM" && f.id != "COM") || f.body.size() < 4) continue;
        const std::string description = CommentDescription(f);
        const int at = static_cast<int>(i);
        if (description.empty()) {
            if (plain < 0) plain = at;
            std::string language(f.body.begin() + 1, f.body.begin() + 4);
            for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (inLanguage < 0 && std::find(languages.begin(), languages.end(), language) != languages.end())
                inLanguage = at;
        } else if (described < 0 && !ProgramData(description)) {
            described = at;
        }
    }
    return inLanguage >= 0 ? inLanguage : plain >= 0 ? plain : described;
}

}  // namespace sondrel
