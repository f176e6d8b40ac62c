#include "tags/FileTags.h"

#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>

#include <algorithm>
#include <cstring>

#include "codec/FrameAnalysis.h"
#include "codec/LittleEndian.h"
#include "codec/WaveFile.h"

namespace sondrel {
namespace {

// Reads n bytes at offset, or nothing.
std::vector<std::uint8_t> ReadAt(TByteFile& f, std::int64_t offset, std::uint64_t n) {
    if (offset < 0 || n == 0 || n > kLargestCarriedTag || static_cast<std::int64_t>(n) > f.Size() - offset) return {};
    std::vector<std::uint8_t> bytes(n);
    f.Seek(offset);
    if (f.Read(bytes.data(), n) != n) return {};
    return bytes;
}

void AppendChunk(std::vector<std::uint8_t>& out, const char id[4], const std::vector<std::uint8_t>& body) {
    if (body.empty()) return;
    std::uint8_t head[8];
    std::memcpy(head, id, 4);
    PutLe32(head + 4, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), head, head + 8);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
}

// "INFO" and sub-chunks that each end inside the body.
bool InfoIsSound(const std::vector<std::uint8_t>& body) {
    std::size_t at = 4;
    while (at + 8 <= body.size()) {
        const std::uint64_t size = GetLe32(body.data() + at + 4);
        if (at + 8 + size > body.size()) return false;
        at += 8 + size + (size & 1);
    }
    return at >= body.size();
}

}  // namespace

bool IsRiffWave(TByteFile& f) {
    TWaveChunkSizes sizes;
    return ReadWaveStart(f, sizes);
}

TWaveTagChunks FindWaveTagChunks(TByteFile& f) {
    TWaveTagChunks found;
    const std::int64_t keep = f.Position();
    TWaveChunkSizes sizes;
    // (A big-endian file's tags, which no reader we know writes, stay.)
    if (!ReadWaveStart(f, sizes) || sizes.BigEndian) {
        f.Seek(keep);
        return found;
    }
    const std::int64_t end = f.Size();
    std::int64_t at = 12;
    // Real files have a handful of chunks; a damaged one may claim millions.
    for (int n = 0; n < 4096 && at + 8 <= end; ++n) {
        std::uint8_t head[12];
        f.Seek(at);
        const std::size_t got = f.Read(head, 12);
        if (got < 8) break;
        std::int64_t size = GetLe32(head + 4);
        // The data of a 64-bit file gives its size in the ds64 chunk.
        if (size == 0xFFFFFFFF && sizes.Data >= 0 && std::memcmp(head, "data", 4) == 0) size = sizes.Data;
        if (std::memcmp(head, "id3 ", 4) == 0 || std::memcmp(head, "ID3 ", 4) == 0) {
            if (found.Id3.empty() && !found.Id3Lost) {
                found.Id3 = ReadAt(f, at + 8, size);
                const std::uint64_t tag = Id3v2Size(found.Id3.data(), found.Id3.size());
                if (tag == 0 || tag > found.Id3.size()) {
                    found.Id3.clear();
                    found.Id3Lost = true;
                }
            }
        } else if (std::memcmp(head, "LIST", 4) == 0 && got == 12 && std::memcmp(head + 8, "INFO", 4) == 0) {
            if (found.Info.empty()) found.Info = ReadAt(f, at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
    f.Seek(keep);
    // A damaged INFO list keeps what can still be read of it.
    if (!found.Info.empty() && !InfoIsSound(found.Info)) found.Info = RenderInfo(InfoSummary(found.Info));
    return found;
}

namespace {

// Where the audio begins inside an ID3v2 tag's stated room, as two
// taggers' files have it: an MPEG frame that the next one follows. 0
// where it does not.
std::int64_t AudioInside(TByteFile& source, const std::vector<std::uint8_t>& tag, std::int64_t at) {
    for (std::size_t p = 10; p < tag.size(); ++p) {
        if (tag[p] != 0xFF) continue;
        std::uint8_t head[4] = {}, next[4] = {};
        source.Seek(at + static_cast<std::int64_t>(p));
        const int length = source.Read(head, 4) == 4 && IsValidHeader(head) ? Layer3FrameBytes(head) : 0;
        source.Seek(at + static_cast<std::int64_t>(p) + length);
        if (length > 0 && source.Read(next, 4) == 4 && IsValidHeader(next) && (next[1] & 0xFE) == (head[1] & 0xFE) &&
            ((next[2] ^ head[2]) & 0x0C) == 0)
            return static_cast<std::int64_t>(p);
    }
    return 0;
}

// The tag as far as its first size bytes go, its header saying so.
std::vector<std::uint8_t> Shortened(std::vector<std::uint8_t> tag, std::size_t size) {
    tag.resize(size);
    std::uint32_t body = static_cast<std::uint32_t>(size - 10);
    for (int i = 9; i >= 6; --i, body >>= 7) tag[static_cast<std::size_t>(i)] = body & 0x7F;
    tag[5] = static_cast<std::uint8_t>(tag[5] & ~0x10);  // no footer: the audio is where it was
    return tag;
}

bool Sound(const TId3v2Layout& layout) {
    return layout.whole &&
           std::none_of(layout.frames.begin(), layout.frames.end(), [](const TId3v2Frame& f) { return f.cut; });
}

// The APEv2 tag at the end of an MP3 file (before its ID3v1 tag, or
// alone), as replay-gain tools and some rippers write it: its text items,
// read by TagLib from the tag's own bytes.
std::vector<TApeItem> ApeItems(TByteFile& source) {
    const std::int64_t size = source.Size();
    for (const std::int64_t footer : {size - 32, size - 128 - 32}) {
        std::uint8_t f[32];
        source.Seek(footer);
        if (footer < 0 || source.Read(f, 32) != 32 || std::memcmp(f, "APETAGEX", 8) != 0) continue;
        const std::int64_t items = GetLe32(f + 12);
        const bool header = (f[23] & 0x80) != 0;
        const std::int64_t start = footer + 32 - items - (header ? 32 : 0);
        const std::vector<std::uint8_t> bytes = ReadAt(source, start, static_cast<std::uint64_t>(footer + 32 - start));
        if (bytes.empty()) return {};
        TagLib::ByteVector data(reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size()));
        TagLib::ByteVectorStream stream(data);
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        TagLib::APE::Tag* tag = file.hasAPETag() ? file.APETag() : nullptr;
        if (!tag) return {};
        std::vector<TApeItem> out;
        for (const auto& [key, item] : tag->itemListMap()) {
            if (item.type() != TagLib::APE::Item::Text) continue;  // pictures, links: no frame of ours
            out.push_back({key.to8Bit(true), item.values().toString("/").to8Bit(true)});
        }
        return out;
    }
    return {};
}

}  // namespace

TTagModel ReadMp3Tags(TByteFile& source, TMp3TagPlaces* places) {
    TTagModel m;
    TMp3TagPlaces where;
    const std::int64_t size = source.Size();
    std::vector<std::uint8_t> start(64 * 1024);
    source.Seek(0);
    start.resize(source.Read(start.data(), start.size()));
    std::size_t zeros = 0;
    while (zeros < start.size() && start[zeros] == 0) ++zeros;
    const std::uint64_t claimed = zeros < start.size() ? Id3v2Size(start.data() + zeros, start.size() - zeros) : 0;
    if (claimed > 0) {
        where.Id3v2At = static_cast<std::int64_t>(zeros);
        std::vector<std::uint8_t> tag = ReadAt(source, where.Id3v2At, claimed);
        if (tag.empty()) {
            m.Found = m.Lost = true;  // larger than we carry, or than the file
        } else {
            where.Id3v2Room = static_cast<std::int64_t>(tag.size());
            ReadId3v2(m, std::move(tag));
            // Where the audio begins inside the tag's room, the tag ends
            // there if its frames do; where they do not, it cannot be
            // accounted for, and no save may write over that room.
            const std::int64_t audio = m.Lost || Sound(m.Id3v2) ? 0 : AudioInside(source, m.Bytes, where.Id3v2At);
            if (audio > 0) {
                TTagModel shorter;
                ReadId3v2(shorter, Shortened(m.Bytes, static_cast<std::size_t>(audio)));
                if (Sound(shorter.Id3v2)) {
                    m = std::move(shorter);
                    where.Id3v2Room = audio;
                } else {
                    m.Id3v2.whole = false;
                }
            }
        }
    }
    const std::vector<TApeItem> ape = ApeItems(source);
    if (!ape.empty()) AddApeItems(m, ape);
    TTagRecord record{};
    source.Seek(size - 128);
    where.Id3v1 = size >= 128 && source.Read(record.data(), 128) == 128 && std::memcmp(record.data(), "TAG", 3) == 0;
    if (where.Id3v1) m.Id3v1 = record;
    Derive(m);
    if (places) *places = where;
    return m;
}

TTagModel ReadWaveTags(TByteFile& source) {
    const TWaveTagChunks chunks = FindWaveTagChunks(source);
    TTagModel m;
    ReadId3v2(m, chunks.Id3);
    m.Lost = m.Lost || chunks.Id3Lost;
    m.Info = InfoSummary(chunks.Info);
    Derive(m);
    return m;
}

TTagModel ReadSourceTags(TByteFile& source) {
    const std::int64_t keep = source.Position();
    TTagModel m = IsRiffWave(source) ? ReadWaveTags(source) : ReadMp3Tags(source);
    source.Seek(keep);
    return m;
}

std::vector<std::uint8_t> WaveTagTail(const TCarriedTags& tags) {
    std::vector<std::uint8_t> out;
    AppendChunk(out, "LIST", RenderInfo(tags.Summary));
    AppendChunk(out, "id3 ", tags.Id3v2);
    return out;
}

std::vector<std::uint8_t> WaveTagTail(const TWaveTagChunks& chunks) {
    std::vector<std::uint8_t> out;
    AppendChunk(out, "LIST", chunks.Info);
    AppendChunk(out, "id3 ", chunks.Id3);
    return out;
}

}  // namespace sondrel
