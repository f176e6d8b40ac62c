#include "tags/Id3v2Frames.h"

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
    bool cut = false;
    bool resynchronised = false;
    // Sound: every byte accounted for, no frame cut.
    bool Sound() const { return whole && !cut; }
};

// Somewhere in the bytes, what reads as a frame header: an id and a size
// that fits behind it. (A text does not: UTF-16 has a zero every other
// byte, and four capitals of a Latin-1 text are followed by more text,
// which makes a size far past the bytes.)
bool HoldsFrameHeader(const std::uint8_t* p, std::size_t n, int version, bool syncsafe) {
    const std::size_t idBytes = version == 2 ? 3 : 4, head = version == 2 ? 6 : 10;
    for (std::size_t i = 0; i + head <= n; ++i) {
        if (p[i] < 'A' || p[i] > 'Z' || !ValidId(p + i, idBytes)) continue;
        const std::uint32_t size = version == 2 ? Big(p + i + 3, 3) : syncsafe ? Syncsafe(p + i + 4) : Big(p + i + 4, 4);
        if (size > 0 && size <= n - i - head) return true;
    }
    return false;
}

// The frames of body from at on, their sizes read as 2.4 says (syncsafe)
// or as 2.3 does; whole when they end where the padding (zero bytes to the
// end) begins.
Walk WalkFrames(const Bytes& body, std::size_t at, int version, bool syncsafe, bool tagUnsynchronised) {
    Walk w;
    const std::size_t idBytes = version == 2 ? 3 : 4, head = version == 2 ? 6 : 10;
    while (at + head <= body.size() && body[at] != 0) {
        const std::uint8_t* h = body.data() + at;
        if (!ValidId(h, idBytes)) return w;
        std::uint32_t size = version == 2 ? Big(h + 3, 3) : syncsafe ? Syncsafe(h + 4) : Big(h + 4, 4);
        TId3v2Frame f;
        if (size > body.size() - at - head) {
            size = static_cast<std::uint32_t>(body.size() - at - head);
            f.cut = w.cut = true;
            // Frames inside what it claims are frames the tag holds: a
            // change of this one would lose them, so the tag is not
            // accounted for.
            if (HoldsFrameHeader(h + head, size, version, syncsafe)) return w;
        }
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
    if (!walk.Sound() && version == 4) {
        // Some taggers write 2.4 frame sizes as plain numbers.
        Walk plain = WalkFrames(body, at, version, false, unsynchronised);
        if (plain.Sound()) {
            walk = std::move(plain);
            rearranged = true;
        }
    }
    layout.version = version;
    layout.revision = tag[4];
    layout.frames = std::move(walk.frames);
    layout.whole = walk.whole && !cut;
    layout.rearranged = rearranged || walk.resynchronised || walk.cut || (version == 4 && (flags & 0x10));
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

}  // namespace sondrel
