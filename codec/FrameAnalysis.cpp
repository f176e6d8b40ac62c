#include "codec/FrameAnalysis.h"

#include <algorithm>
#include <cstring>

#include "codec/LittleEndian.h"
#include "platform/acm/mp3/MpegTables.h"

namespace sondrel {
namespace {

// By the header's two version bits: 0 MPEG-2.5, 1 reserved, 2 MPEG-2,
// 3 MPEG-1.
constexpr unsigned kRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

// Reads the analysis' small windows from a block kept in memory, so that
// a long stretch of junk costs no system call per byte. A block is read
// from a little before the window that missed it, so that looking a few
// frames ahead of a candidate and going on with the next one stay in it.
class PeekReader {
public:
    explicit PeekReader(TByteFile& f) : file_(f), size_(f.Size()) {}
    std::int64_t Size() const { return size_; }
    // Bytes at pos into dst, as many as the file holds (up to n).
    std::size_t ReadAt(std::int64_t pos, std::uint8_t* dst, std::size_t n) {
        if (pos < 0 || pos >= size_) return 0;
        if (pos < start_ || pos + static_cast<std::int64_t>(n) > start_ + filled_) {
            start_ = std::max<std::int64_t>(0, pos - kBehind);
            file_.Seek(start_);
            filled_ = static_cast<std::int64_t>(file_.Read(block_.data(), block_.size()));
        }
        const std::int64_t avail = start_ + filled_ - pos;
        if (avail <= 0) return 0;
        const std::size_t take = avail < static_cast<std::int64_t>(n) ? static_cast<std::size_t>(avail) : n;
        std::memcpy(dst, block_.data() + (pos - start_), take);
        return take;
    }

private:
    static constexpr std::int64_t kBehind = 16384;
    TByteFile& file_;
    std::int64_t size_;
    std::array<std::uint8_t, 65536> block_{};
    std::int64_t start_ = 0;
    std::int64_t filled_ = 0;
};

// The first non-zero byte from pos on, or the end of the source.
std::int64_t SkipZeros(PeekReader& r, std::int64_t pos) {
    std::uint8_t b = 0;
    while (r.ReadAt(pos, &b, 1) == 1 && b == 0) ++pos;
    return pos;
}

// The frames after the first that must follow at their lengths before a
// header counts as the start of a stream. Decoders check one; a byte pair
// in a tag's text or in junk passes one now and then, never three.
constexpr int kChainFrames = 3;
// No frame is longer (free format at its highest rate, Layer III below
// MPEG-1 at 8 kHz).
constexpr int kLongestFrame = 8192;

// Version, layer and sampling rate: what stays the same from frame to
// frame of one stream, free format or not included.
bool SameStream(const std::uint8_t a[4], const std::uint8_t b[4]) {
    return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C) && ((a[2] >> 4) == 0) == ((b[2] >> 4) == 0);
}

int PaddingBytes(const std::uint8_t h[4]) {
    if (!((h[2] >> 1) & 1)) return 0;
    return ((h[1] >> 1) & 3) == 3 ? 4 : 1;  // Layer I pads by one four-byte slot
}

// A frame of every layer: its length from its header; 0 for free format,
// whose length only the next header tells.
int FrameLength(const std::uint8_t h[4]) {
    const int version = (h[1] >> 3) & 3, layer = (h[1] >> 1) & 3;
    const unsigned kbps = static_cast<unsigned>(BitrateKbps(version == 3 ? 1 : 0, layer, h[2] >> 4));
    const unsigned rate = SampleRateHz(version, (h[2] >> 2) & 3);
    if (kbps == 0 || rate == 0) return 0;
    if (layer == 3) return static_cast<int>(12000u * kbps / rate) * 4 + PaddingBytes(h);
    // Layer III below MPEG-1 carries half the samples in a frame.
    const unsigned perKbps = layer == 1 && version != 3 ? 72000u : 144000u;
    return static_cast<int>(perKbps * kbps / rate) + PaddingBytes(h);
}

// A free-format frame's length without padding: the distance to the next
// header of the same stream. 0 where there is none within a frame's reach.
int FreeFormatBase(PeekReader& r, std::int64_t pos, const std::uint8_t h[4]) {
    std::array<std::uint8_t, kLongestFrame + 4> ahead{};
    const std::size_t got = r.ReadAt(pos, ahead.data(), ahead.size());
    for (std::size_t d = 24; d + 4 <= got; ++d)
        if (IsValidHeader(&ahead[d]) && SameStream(h, &ahead[d])) return static_cast<int>(d) - PaddingBytes(h);
    return 0;
}

// Where a stream may stop: the end of the file, a tag written behind the
// audio, or zero bytes up to the end.
bool StreamEndsAt(PeekReader& r, std::int64_t pos) {
    if (pos >= r.Size()) return pos == r.Size();
    std::array<std::uint8_t, 4096> b{};
    const std::size_t got = r.ReadAt(pos, b.data(), b.size());
    if (got >= 3 && std::memcmp(b.data(), "TAG", 3) == 0 && r.Size() - pos == 128) return true;
    if (got >= 8 && (std::memcmp(b.data(), "APETAGEX", 8) == 0 || std::memcmp(b.data(), "LYRICSBE", 8) == 0)) return true;
    if (got >= 3 && std::memcmp(b.data(), "ID3", 3) == 0) return true;
    return pos + static_cast<std::int64_t>(got) == r.Size() &&
           std::all_of(b.begin(), b.begin() + static_cast<long>(got), [](std::uint8_t x) { return x == 0; });
}

// The next frame follows the one at pos at its length, of the same stream.
bool ChainsOnce(PeekReader& r, std::int64_t pos, const std::uint8_t h[4]) {
    const int length = FrameLength(h);
    std::uint8_t next[4];
    return length > 4 && r.ReadAt(pos + length, next, 4) == 4 && IsValidHeader(next) && SameStream(h, next);
}

// The header at pos begins a stream: the frames after it follow at their
// lengths, with its version, layer and rate, until kChainFrames of them
// have or the stream ends where a stream may.
bool ChainsOn(PeekReader& r, std::int64_t pos, const std::uint8_t first[4]) {
    int freeBase = 0;
    if ((first[2] >> 4) == 0 && (freeBase = FreeFormatBase(r, pos, first)) == 0) return false;
    std::uint8_t h[4];
    std::memcpy(h, first, 4);
    for (int followed = 0;; ++followed) {
        const int length = freeBase > 0 ? freeBase + PaddingBytes(h) : FrameLength(h);
        if (length <= 4) return false;
        pos += length;
        if (followed == kChainFrames || StreamEndsAt(r, pos)) return true;
        if (r.ReadAt(pos, h, 4) != 4 || !IsValidHeader(h) || !SameStream(first, h)) return false;
    }
}

// The header at pos begins a frame that carries an info tag ("Xing" or
// "Info") after its side information, as encoders write the first frame
// of a stream: the start of a stream as surely as frames that chain on,
// also where damage a few frames later stops the chain.
bool InfoFrameAt(PeekReader& r, std::int64_t pos, const std::uint8_t h[4]) {
    const bool mpeg1 = ((h[1] >> 3) & 3) == 3, mono = (h[3] >> 6) == 3;
    const std::size_t at = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    std::uint8_t tag[4] = {};
    return ((h[1] >> 1) & 3) == 1 && r.ReadAt(pos + static_cast<std::int64_t>(at), tag, 4) == 4 &&
           (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0);
}

}  // namespace

int BitrateKbps(int versionBit, int layerCode, int bitrateIndex) {
    return acm::kBitrateKbps[versionBit & 1][layerCode & 3][bitrateIndex >= 0 && bitrateIndex < 15 ? bitrateIndex : 0];
}

unsigned SampleRateHz(int versionId, int samplingIndex) {
    return kRates[versionId & 3][samplingIndex >= 0 && samplingIndex < 3 ? samplingIndex : 0];
}

bool IsValidHeader(const std::uint8_t h[4]) {
    // An 11-bit sync: MPEG-2.5 (8 000 to 12 000 Hz) has the twelfth bit
    // clear. Its files are common in speech recordings and would otherwise
    // be searched to the end and decoded at a made-up rate.
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    const int version = (h[1] >> 3) & 3, layer = (h[1] >> 1) & 3, sampling = (h[2] >> 2) & 3, bitrate = h[2] >> 4;
    return version != 1 && layer != 0 && sampling < 3 && bitrate < 15;
}

int Layer3FrameBytes(const std::uint8_t h[4]) {
    const int version = (h[1] >> 3) & 3;
    const int kbps = BitrateKbps(version == 3 ? 1 : 0, (h[1] >> 1) & 3, h[2] >> 4);
    const unsigned rate = SampleRateHz(version, (h[2] >> 2) & 3);
    if (((h[1] >> 1) & 3) != 1 || kbps == 0 || rate == 0) return 0;
    return static_cast<int>((version == 3 ? 144000u : 72000u) * static_cast<unsigned>(kbps) / rate) + ((h[2] >> 1) & 1);
}

std::int64_t InfoFrameCount(TByteFile& source, const TFrameAnalysis& a) {
    if (!a.Found || a.Wrapped) return -1;
    const std::int64_t keep = source.Position();
    std::uint8_t head[64] = {};
    source.Seek(a.AudioStart);
    const std::size_t got = source.Read(head, sizeof head);
    source.Seek(keep);
    // The tag follows the side information: 17 or 32 bytes in MPEG-1, 9 or
    // 17 below it, after the 4-byte header.
    for (const std::size_t at : {13u, 21u, 36u}) {
        if (at + 12 > got) continue;
        if (std::memcmp(head + at, "Xing", 4) != 0 && std::memcmp(head + at, "Info", 4) != 0) continue;
        if (!(head[at + 7] & 1)) return -1;
        return std::int64_t{head[at + 8]} << 24 | head[at + 9] << 16 | head[at + 10] << 8 | head[at + 11];
    }
    return -1;
}

TFrameAnalysis LocateAudio(TByteFile& source) {
    TFrameAnalysis a;
    PeekReader r(source);
    std::uint8_t* w = a.Window.data();
    r.ReadAt(0, w, 4);

    // 1. An MP3 stream wrapped in a WAVE file whose first chunk is "fmt ".
    if (std::memcmp(w, "RIFF", 4) == 0) {
        source.Seek(0);
        std::uint8_t riff[12];
        source.ReadExact(riff, 12);
        std::uint8_t chunk[8];
        if (std::memcmp(riff + 8, "WAVE", 4) == 0 && (source.ReadExact(chunk, 8), std::memcmp(chunk, "fmt ", 4) == 0)) {
            const std::uint32_t size = GetLe32(chunk + 4);
            if (source.Position() + size > source.Size()) throw EInOutError();
            std::uint8_t body[18] = {};
            source.ReadExact(body, size < 18 ? size : 18);
            std::memcpy(a.WrappedFormat.data(), body, 18);
            a.Wrapped = true;
            return a;
        }
    }

    // 2. Zero bytes in front.
    if (w[0] == 0 && w[1] == 0 && w[2] == 0 && w[3] == 0) {
        a.Candidate = SkipZeros(r, 0);
        a.Window.fill(0);
        r.ReadAt(a.Candidate, w, 4);
    }

    // 3. ID3v2 tags, and zero bytes behind each: a tagger that puts its tag
    // in front of one it could not read leaves two or more.
    while (w[0] == 'I' && w[1] == 'D' && w[2] == '3') {
        std::uint8_t tag[10] = {};
        r.ReadAt(a.Candidate, tag, 10);
        const std::int64_t size = (static_cast<std::int64_t>(tag[6] & 0x7F) << 21) | ((tag[7] & 0x7F) << 14) |
                                  ((tag[8] & 0x7F) << 7) | (tag[9] & 0x7F);
        const std::int64_t footer = tag[3] == 4 && (tag[5] & 0x10) ? 10 : 0;
        a.Candidate = SkipZeros(r, a.Candidate + 10 + size + footer);
        a.Window.fill(0);
        r.ReadAt(a.Candidate, w, 4);
    }

    // 4. The first frame: a valid header whose stream goes on behind it,
    // where decoders find it. A lone header (a byte pair in a tag's text,
    // in junk, in a frame cut short) that no frame follows is taken only
    // where no stream is found at all; without any, the last window stands
    // and Found stays false.
    std::int64_t lone = -1;
    for (;;) {
        if (IsValidHeader(w)) {
            if (ChainsOn(r, a.Candidate, w) || (InfoFrameAt(r, a.Candidate, w) && ChainsOnce(r, a.Candidate, w))) {
                a.Found = true;
                break;
            }
            if (lone < 0) lone = a.Candidate;
        }
        if (a.Candidate + 4 >= r.Size()) break;
        ++a.Candidate;
        a.Window.fill(0);
        r.ReadAt(a.Candidate, w, 4);
    }
    if (!a.Found && lone >= 0) {
        a.Candidate = lone;
        r.ReadAt(a.Candidate, w, 4);
        a.Found = true;
    }
    a.AudioStart = a.Candidate;
    return a;
}

void DeriveFormats(TFrameAnalysis& a, TByteFile& source, TACMConvertor& mp3wav,
                   const std::vector<TFormatSlot>& mp3Table) {
    const std::uint8_t* w = a.Window.data();
    // MPEG-2.5 shares the low-sampling-frequency bitrates of MPEG-2; the
    // reserved version of a window that is no header counts as MPEG-2.
    int version = (w[1] >> 3) & 3;
    if (version == 1) version = 2;
    // A window that is no header may carry a reserved layer or sampling
    // index: Layer III and the first rate of the version stand in for them.
    int layer = (w[1] >> 1) & 3;
    if (layer == 0) layer = 1;
    int bitrateIndex = w[2] >> 4;
    if (bitrateIndex == 0 || bitrateIndex == 15) bitrateIndex = 1;
    a.Bitrate = BitrateKbps(version == 3, layer, bitrateIndex);
    a.SampleRate = SampleRateHz(version, (w[2] >> 2) & 3);
    a.Channels = (w[3] >> 6) == 3 ? 1 : 2;

    if (a.Wrapped) {
        const auto& f = *reinterpret_cast<const WAVEFORMATEX*>(a.WrappedFormat.data());
        a.Channels = f.nChannels == 2 ? 2 : 1;
        a.SampleRate = f.nSamplesPerSec;
        a.Bitrate = static_cast<int>(static_cast<std::uint64_t>(f.nAvgBytesPerSec) * 8 / 1000);
        a.AudioStart = 66;
        if (source.Size() < 66) throw EInOutError();
    }

    WAVEFORMATEX& out = mp3wav.FormatOut.Wfx();
    out.nChannels = static_cast<WORD>(a.Channels);
    out.nSamplesPerSec = a.SampleRate;
    out.wBitsPerSample = 16;
    out.nAvgBytesPerSec = a.Channels * a.SampleRate * 16 / 8;
    out.cbSize = 0;
    out.nBlockAlign = static_cast<WORD>(a.Channels * 16 / 8);

    WAVEFORMATEX& in = mp3wav.FormatIn.Wfx();
    in.nChannels = static_cast<WORD>(a.Channels);
    in.nSamplesPerSec = a.SampleRate;
    in.wBitsPerSample = 0;
    in.nAvgBytesPerSec = static_cast<DWORD>(a.Bitrate) * 1000 / 8;

    for (const TFormatSlot& slot : mp3Table) {
        const auto& s = *reinterpret_cast<const WAVEFORMATEX*>(slot.data());
        if (s.nChannels == in.nChannels && s.nSamplesPerSec == in.nSamplesPerSec &&
            s.wBitsPerSample == in.wBitsPerSample && s.nAvgBytesPerSec == in.nAvgBytesPerSec)
            mp3wav.FormatIn.Bytes = slot;
    }
    source.Seek(a.AudioStart);
}

}  // namespace sondrel
