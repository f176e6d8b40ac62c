#include "platform/acm/mp3/Mp3Frames.h"

#include <algorithm>

#include "platform/acm/mp3/MpegTables.h"

namespace acm {
namespace {

class BitReader {
public:
    BitReader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    unsigned Read(int bits) {
        unsigned v = 0;
        for (int i = 0; i < bits; ++i, ++pos_) {
            const std::size_t byte = pos_ / 8;
            const unsigned bit = byte < n_ ? (p_[byte] >> (7 - pos_ % 8)) & 1u : 0u;
            v = (v << 1) | bit;
        }
        return v;
    }
    void Skip(int bits) { pos_ += static_cast<std::size_t>(bits); }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

constexpr unsigned kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

struct Header {
    bool mpeg1 = false;
    int channels = 2;
    std::size_t size = 0;  // whole frame
    std::size_t head = 0;  // header, CRC, side information
    std::size_t side = 0;  // the side information alone
};

bool ReadHeader(const std::uint8_t* h, std::size_t available, Header& out) {
    if (available < 4 || h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    const int version = (h[1] >> 3) & 3, layer = (h[1] >> 1) & 3;
    const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    const unsigned rate = kRates[version][rateIndex];
    out.mpeg1 = version == 3;
    out.channels = (h[3] >> 6) == 3 ? 1 : 2;
    const int kbps = kBitrateKbps[out.mpeg1 ? 1 : 0][1][bitrateIndex];
    out.size = static_cast<std::size_t>(FrameBytes(kbps, rate)) + ((h[2] >> 1) & 1);
    out.side = out.mpeg1 ? (out.channels == 1 ? 17 : 32) : (out.channels == 1 ? 9 : 17);
    out.head = 4 + ((h[1] & 1) ? 0 : 2) + out.side;
    return out.size > out.head;
}

}  // namespace

bool CutFrames(const std::vector<std::uint8_t>& stream, std::vector<L3Frame>& frames, bool open) {
    // The data areas of all frames in a row: main data is counted in them.
    std::vector<std::uint8_t> data;
    struct Place {
        std::size_t at;     // in stream
        Header header;
        std::size_t dataAt;  // in data
    };
    std::vector<Place> places;
    for (std::size_t at = 0; at < stream.size();) {
        Header h;
        if (!ReadHeader(stream.data() + at, stream.size() - at, h) || at + h.size > stream.size()) {
            if (open) break;
            return false;
        }
        places.push_back({at, h, data.size()});
        data.insert(data.end(), stream.begin() + static_cast<long>(at + h.head), stream.begin() + static_cast<long>(at + h.size));
        at += h.size;
    }
    frames.clear();
    frames.reserve(places.size());
    for (const Place& p : places) {
        L3Frame f;
        f.side = p.header.head - p.header.side;
        BitReader r(stream.data() + p.at + f.side, p.header.side);
        const int granules = p.header.mpeg1 ? 2 : 1, channels = p.header.channels;
        f.reservoir = r.Read(p.header.mpeg1 ? 9 : 8);
        r.Skip(p.header.mpeg1 ? (channels == 1 ? 5 : 3) + 4 * channels : (channels == 1 ? 1 : 2));
        std::size_t bits = 0;
        for (int g = 0; g < granules; ++g) {
            for (int c = 0; c < channels; ++c) {
                bits += r.Read(12);
                r.Skip(9 + 8 + (p.header.mpeg1 ? 4 : 9));
                unsigned windows = 0;
                if (r.Read(1)) {
                    windows = r.Read(2);
                    r.Skip(1 + 10 + 9);
                } else {
                    r.Skip(15 + 4 + 3);
                }
                r.Skip(p.header.mpeg1 ? 3 : 2);
                if (g == granules - 1) f.lastWindows |= windows << (2 * c);
            }
        }
        const std::size_t bytes = (bits + 7) / 8;
        if (f.reservoir > p.dataAt) return false;
        if (p.dataAt - f.reservoir + bytes > data.size()) {
            if (open) break;
            return false;
        }
        const std::size_t from = p.dataAt - f.reservoir;
        f.main.assign(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + bytes));
        f.head.assign(stream.begin() + static_cast<long>(p.at), stream.begin() + static_cast<long>(p.at + p.header.head));
        f.size = p.header.size;
        frames.push_back(std::move(f));
    }
    return true;
}

int FrameKbps(const L3Frame& f) {
    if (f.head.size() < 4) return 0;
    const bool mpeg1 = ((f.head[1] >> 3) & 3) == 3;
    return kBitrateKbps[mpeg1 ? 1 : 0][1][f.head[2] >> 4];
}

namespace {

// CRC-16 of an MPEG audio frame (polynomial 0x8005, from 0xFFFF), over
// header bytes 2 and 3 and the side information.
std::uint16_t FrameCrc(const std::vector<std::uint8_t>& head, std::size_t side) {
    std::uint16_t crc = 0xFFFF;
    const auto add = [&](std::uint8_t byte) {
        for (int b = 7; b >= 0; --b) {
            const bool bit = ((byte >> b) & 1) ^ ((crc >> 15) & 1);
            crc = static_cast<std::uint16_t>((crc << 1) ^ (bit ? 0x8005 : 0));
        }
    };
    add(head[2]);
    add(head[3]);
    for (std::size_t i = side; i < head.size(); ++i) add(head[i]);
    return crc;
}

}  // namespace

bool RaiseFrame(L3Frame& f, std::size_t area) {
    Header h;
    if (!ReadHeader(f.head.data(), f.head.size(), h)) return false;
    const int version = (f.head[1] >> 3) & 3;
    const unsigned rate = kRates[version][(f.head[2] >> 2) & 3];
    const int padding = (f.head[2] >> 1) & 1;
    for (int index = (f.head[2] >> 4) + 1; index <= 14; ++index) {
        const int kbps = kBitrateKbps[h.mpeg1 ? 1 : 0][1][index];
        const std::size_t size = static_cast<std::size_t>(FrameBytes(kbps, rate) + padding);
        if (size - f.head.size() < area) continue;
        f.head[2] = static_cast<std::uint8_t>((f.head[2] & 0x0F) | (index << 4));
        if (!(f.head[1] & 1)) {
            const std::uint16_t crc = FrameCrc(f.head, f.side);
            f.head[4] = static_cast<std::uint8_t>(crc >> 8);
            f.head[5] = static_cast<std::uint8_t>(crc);
        }
        f.size = size;
        return true;
    }
    return false;
}

bool FrameJoiner::Fits(const std::vector<L3Frame>& frames, std::size_t from) const {
    std::uint64_t dataEnd = dataEnd_, mainEnd = mainEnd_, joined = frames_;
    for (std::size_t i = from; i < frames.size(); ++i, ++joined) {
        const L3Frame& f = frames[i];
        const std::uint64_t area = f.size - f.head.size();
        const std::uint64_t free = joined == 0 ? 0 : std::min<std::uint64_t>(dataEnd - mainEnd, maxBack_);
        if (free >= f.reservoir) return true;
        // Less reservoir than the frame had where it came from: it starts
        // later, and must still end in its own frame (made larger where
        // the stream's bitrate may vary).
        const std::uint64_t start = dataEnd - free;
        std::uint64_t room = area;
        if (start + f.main.size() > dataEnd + room) {
            L3Frame raised = f;
            if (!variable_ || !RaiseFrame(raised, f.main.size() - free)) return false;
            room = raised.size - raised.head.size();
        }
        mainEnd = start + f.main.size();
        dataEnd += room;
    }
    return true;
}

void FrameJoiner::Append(const L3Frame& given) {
    const std::uint64_t back = frames_ == 0 ? 0 : std::min<std::uint64_t>(dataEnd_ - mainEnd_, maxBack_);
    L3Frame raised;
    const L3Frame* frame = &given;
    if (variable_ && given.main.size() > back + (given.size - given.head.size())) {
        // A frame of a variable-bitrate stream that needs more room than
        // the reservoir here gives: a larger frame of it.
        raised = given;
        if (RaiseFrame(raised, given.main.size() - back)) {
            frame = &raised;
            ++raised_;
        }
    }
    const L3Frame& f = *frame;
    kbps_.push_back(static_cast<std::uint16_t>(FrameKbps(f)));
    const std::size_t area = f.size - f.head.size();
    const std::size_t at = out_.size();
    out_.insert(out_.end(), f.head.begin(), f.head.end());
    out_.resize(at + f.size, 0);
    open_.push_back({dataEnd_, at + f.head.size(), area});
    dataEnd_ += area;
    // main_data_begin: the first 9 (MPEG-1) or 8 bits of the side
    // information.
    std::uint8_t* s = out_.data() + at + f.side;
    if (maxBack_ == 511) {
        s[0] = static_cast<std::uint8_t>(back >> 1);
        s[1] = static_cast<std::uint8_t>((s[1] & 0x7F) | ((back & 1) << 7));
    } else {
        s[0] = static_cast<std::uint8_t>(back);
    }
    // The main data, from where the reservoir begins, across the data
    // areas of the open frames; never past this frame's end (the caller
    // has asked Fits).
    std::uint64_t pos = dataEnd_ - area - back;
    std::size_t left = static_cast<std::size_t>(std::min<std::uint64_t>(f.main.size(), dataEnd_ - pos));
    std::size_t taken = 0;
    for (const Open& o : open_) {
        if (left == 0) break;
        if (pos >= o.dataStart + o.area) continue;
        const std::size_t offset = static_cast<std::size_t>(pos - o.dataStart);
        const std::size_t n = std::min(left, o.area - offset);
        std::copy(f.main.begin() + static_cast<long>(taken), f.main.begin() + static_cast<long>(taken + n),
                  out_.begin() + static_cast<long>(o.at + offset));
        taken += n;
        left -= n;
        pos += n;
    }
    mainEnd_ = pos;
    ++frames_;
    if (f.head.size() > 3) lastHeaderByte_ = f.head[3];
}

std::vector<std::uint8_t> FrameJoiner::TakeFinished() {
    // Later frames place their main data at mainEnd_ or after it: frames
    // whose data area ends before it are done.
    std::size_t done = 0, frames = 0;
    for (const Open& o : open_) {
        if (o.dataStart + o.area > mainEnd_) break;
        done = o.at + o.area;
        ++frames;
    }
    std::vector<std::uint8_t> bytes(out_.begin(), out_.begin() + static_cast<long>(done));
    out_.erase(out_.begin(), out_.begin() + static_cast<long>(done));
    open_.erase(open_.begin(), open_.begin() + static_cast<long>(frames));
    for (Open& o : open_) o.at -= done;
    return bytes;
}

std::vector<std::uint8_t> FrameJoiner::TakeAll() {
    std::vector<std::uint8_t> all;
    all.swap(out_);
    open_.clear();
    return all;
}

}  // namespace acm
