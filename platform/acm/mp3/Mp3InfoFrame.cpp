#include "platform/acm/mp3/Mp3InfoFrame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/acm/mp3/MpegTables.h"

namespace acm {
namespace {

// Header and side information: where the "Info" text begins.
std::size_t SideInfoBytes(unsigned rate, int channels) {
    const bool mpeg1 = IsMpeg1Rate(rate);
    return 4 + (mpeg1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17));
}

// "Info", flags, frames, bytes, a 100-byte seek table and a quality word,
// then the 36-byte encoder extension: what the encoder library reserves.
constexpr std::size_t kEncoderTagBytes = 120 + 36;
// What our frame for the low bitrates holds: no seek table, no quality
// word.
constexpr std::size_t kOwnTagBytes = 16 + 36;

void PutBig32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
std::uint32_t Big32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The encoder extension's last fields: delay and padding, the music's
// length and check sum, and the check sum of the frame up to there.
void FinishExtension(std::vector<std::uint8_t>& frame, std::size_t ext, const InfoFrameValues& v) {
    std::uint8_t* e = frame.data() + ext;
    const std::uint32_t delays = (static_cast<std::uint32_t>(std::clamp(v.delay, 0, 4095)) << 12) |
                                 static_cast<std::uint32_t>(std::clamp(v.padding, 0, 4095));
    e[21] = static_cast<std::uint8_t>(delays >> 16);
    e[22] = static_cast<std::uint8_t>(delays >> 8);
    e[23] = static_cast<std::uint8_t>(delays);
    PutBig32(e + 28, v.bytes);
    e[32] = static_cast<std::uint8_t>(v.musicCrc >> 8);
    e[33] = static_cast<std::uint8_t>(v.musicCrc);
    const std::uint16_t crc = InfoCrc16(0, frame.data(), ext + 34);
    e[34] = static_cast<std::uint8_t>(crc >> 8);
    e[35] = static_cast<std::uint8_t>(crc);
}

class Library final : public InfoFrame {
public:
    Library(std::vector<std::uint8_t> model, std::size_t tag) : model_(std::move(model)), tag_(tag) {}
    std::vector<std::uint8_t> Placeholder() const override {
        std::vector<std::uint8_t> frame(model_.size(), 0);
        std::copy(model_.begin(), model_.begin() + 4, frame.begin());
        return frame;
    }
    std::vector<std::uint8_t> Filled(const InfoFrameValues& v) const override {
        // Everything the settings decide (header, quality, method, lowpass,
        // stereo mode, bitrate, preset) stays as the library wrote it.
        std::vector<std::uint8_t> frame = model_;
        if (v.lastHeaderByte >= 0)
            frame[3] = static_cast<std::uint8_t>((frame[3] & ~0x30) | (v.lastHeaderByte & 0x30));
        std::uint8_t* p = frame.data() + tag_;
        PutBig32(p + 8, v.frames);
        PutBig32(p + 12, v.bytes);
        const auto toc = v.framesKbps.empty() ? CbrSeekTable(v.frames, v.kbps) : SeekTable(v.framesKbps);
        std::copy(toc.begin(), toc.end(), p + 16);
        FinishExtension(frame, tag_ + 120, v);
        return frame;
    }

private:
    std::vector<std::uint8_t> model_;
    std::size_t tag_;  // where "Info" begins
};

class Own final : public InfoFrame {
public:
    Own(unsigned rate, int channels, int kbps)
        : rate_(rate), channels_(channels), sideInfo_(SideInfoBytes(rate, channels)) {
        // A frame of the stream's own bitrate, so that readers that take
        // the bitrate from the first frame read the stream's; none where
        // that frame cannot hold the tag.
        const auto& table = IsMpeg1Rate(rate) ? kMpeg1Layer3Kbps : kMpeg2Layer3Kbps;
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i] == kbps) kbpsIndex_ = static_cast<int>(i) + 1;
        const auto bytes = static_cast<std::size_t>(FrameBytes(kbps, rate));
        if (kbpsIndex_ > 0 && bytes >= sideInfo_ + kOwnTagBytes) size_ = bytes;
    }
    std::vector<std::uint8_t> Placeholder() const override {
        std::vector<std::uint8_t> frame(size_, 0);
        if (size_ == 0) return frame;
        const bool mpeg1 = IsMpeg1Rate(rate_);
        int sampling = 0;  // 44100/22050, 48000/24000, 32000/16000
        if (rate_ == 48000 || rate_ == 24000) sampling = 1;
        if (rate_ == 32000 || rate_ == 16000) sampling = 2;
        frame[0] = 0xFF;
        frame[1] = mpeg1 ? 0xFB : 0xF3;
        frame[2] = static_cast<std::uint8_t>((kbpsIndex_ << 4) | (sampling << 2));
        // Mono or joint stereo, an original, as the audio frames say.
        frame[3] = channels_ == 1 ? 0xC4 : 0x44;
        return frame;
    }
    std::vector<std::uint8_t> Filled(const InfoFrameValues& v) const override {
        std::vector<std::uint8_t> frame = Placeholder();
        if (frame.empty()) return frame;
        if (v.lastHeaderByte >= 0)
            frame[3] = static_cast<std::uint8_t>((frame[3] & ~0x30) | (v.lastHeaderByte & 0x30));
        std::uint8_t* p = frame.data() + sideInfo_;
        std::memcpy(p, "Info", 4);
        PutBig32(p + 4, 0x3);  // frame count and byte count follow
        PutBig32(p + 8, v.frames);
        PutBig32(p + 12, v.bytes);
        std::uint8_t* ext = p + 16;
        std::string encoder = v.encoder.substr(0, 9);
        encoder.resize(9, ' ');
        std::memcpy(ext, encoder.data(), 9);
        ext[9] = 0x01;  // tag revision 0, constant bitrate
        ext[10] = static_cast<std::uint8_t>(std::clamp(v.lowpass / 100, 0, 255));
        // 11..14 peak, 15..18 replay gains, 19 flags: none
        ext[20] = static_cast<std::uint8_t>(std::clamp(v.kbps, 0, 255));
        // 24 misc, 25 gain, 26..27 preset: none
        FinishExtension(frame, sideInfo_ + 16, v);
        return frame;
    }

private:
    unsigned rate_;
    int channels_;
    std::size_t sideInfo_;  // header and side information, bytes
    int kbpsIndex_ = 0;
    std::size_t size_ = 0;  // 0: no frame
};

}  // namespace

bool EncoderWritesInfoFrame(unsigned rate, int channels, int kbps) {
    return static_cast<std::size_t>(FrameBytes(kbps, rate)) >= SideInfoBytes(rate, channels) + kEncoderTagBytes;
}

std::uint16_t InfoCrc16(std::uint16_t crc, const std::uint8_t* bytes, std::size_t n) {
    static const auto table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int b = 0; b < 8; ++b) c = c & 1 ? (c >> 1) ^ 0xA001 : c >> 1;
            t[i] = static_cast<std::uint16_t>(c);
        }
        return t;
    }();
    for (std::size_t i = 0; i < n; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ bytes[i]) & 0xFF]);
    return crc;
}

namespace {

// The library's table in the making: the running total of the frames'
// bitrates at every "want"-th frame, in 400 places; when they are full it
// keeps every second one and records half as often.
class SeekBag {
public:
    void Add(int kbps) {
        sum_ += static_cast<std::uint64_t>(kbps);
        if (++seen_ < want_) return;
        if (places_.size() < kPlaces) places_.push_back(sum_);
        seen_ = 0;
        if (places_.size() == kPlaces) {
            for (std::size_t i = 1; i < kPlaces; i += 2) places_[i / 2] = places_[i];
            places_.resize(kPlaces / 2);
            want_ *= 2;
        }
    }
    std::array<std::uint8_t, 100> Table() const {
        std::array<std::uint8_t, 100> toc{};
        if (places_.empty()) return toc;
        const auto places = static_cast<std::uint32_t>(places_.size());
        for (int i = 1; i < 100; ++i) {
            // Single precision, as the library reckons the place and sums.
            const float share = static_cast<float>(i) / 100.0f;
            auto place = static_cast<std::uint32_t>(std::floor(share * static_cast<float>(places)));
            place = std::min(place, places - 1);
            const double at = 256.0 * static_cast<double>(static_cast<float>(places_[place])) /
                              static_cast<double>(static_cast<float>(sum_));
            toc[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::min(255, static_cast<int>(at)));
        }
        return toc;
    }

private:
    static constexpr std::size_t kPlaces = 400;
    std::vector<std::uint64_t> places_;
    std::uint64_t sum_ = 0;
    std::uint32_t want_ = 1, seen_ = 0;
};

}  // namespace

std::array<std::uint8_t, 100> SeekTable(const std::vector<std::uint16_t>& framesKbps) {
    SeekBag bag;
    for (const std::uint16_t kbps : framesKbps) bag.Add(kbps);
    return bag.Table();
}

std::array<std::uint8_t, 100> CbrSeekTable(std::uint32_t frames, int kbps) {
    SeekBag bag;
    for (std::uint32_t f = 0; f < frames; ++f) bag.Add(kbps);
    return bag.Table();
}

std::unique_ptr<InfoFrame> LibraryInfoFrame(std::vector<std::uint8_t> model) {
    // The tag follows the side information; its flags must say that all
    // four fields are there, as the library writes them.
    for (std::size_t at = 4; at + kEncoderTagBytes <= model.size() && at <= 40; ++at) {
        if (std::memcmp(model.data() + at, "Info", 4) != 0 && std::memcmp(model.data() + at, "Xing", 4) != 0) continue;
        if (Big32(model.data() + at + 4) != 0xF) return nullptr;
        return std::make_unique<Library>(std::move(model), at);
    }
    return nullptr;
}

std::unique_ptr<InfoFrame> OwnInfoFrame(unsigned rate, int channels, int kbps) {
    return std::make_unique<Own>(rate, channels, kbps);
}

}  // namespace acm
