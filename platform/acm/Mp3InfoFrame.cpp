#include "platform/acm/Mp3InfoFrame.h"

#include <algorithm>
#include <cstring>

#include "platform/acm/MpegTables.h"

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
// What this frame holds: no seek table (a CBR stream needs none), no
// quality word.
constexpr std::size_t kOwnTagBytes = 16 + 36;

void PutBig32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// CRC-16 with the polynomial 0x8005, bits reflected, starting at 0: the
// check sum of the encoder's extension.
std::uint16_t Crc16(const std::uint8_t* p, std::size_t n) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = static_cast<std::uint16_t>(crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1);
    }
    return crc;
}

}  // namespace

bool EncoderWritesInfoFrame(unsigned rate, int channels, int kbps) {
    return static_cast<std::size_t>(FrameBytes(kbps, rate)) >= SideInfoBytes(rate, channels) + kEncoderTagBytes;
}

OwnInfoFrame::OwnInfoFrame(unsigned rate, int channels)
    : rate_(rate), channels_(channels), sideInfo_(SideInfoBytes(rate, channels)) {
    // The smallest bitrate of the version whose frame holds the tag.
    const auto& table = IsMpeg1Rate(rate) ? kMpeg1Layer3Kbps : kMpeg2Layer3Kbps;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto bytes = static_cast<std::size_t>(FrameBytes(table[i], rate));
        if (bytes >= sideInfo_ + kOwnTagBytes) {
            kbpsIndex_ = static_cast<int>(i) + 1;
            size_ = bytes;
            break;
        }
    }
}

std::vector<std::uint8_t> OwnInfoFrame::Header() const {
    const bool mpeg1 = IsMpeg1Rate(rate_);
    int sampling = 0;  // 44100/22050, 48000/24000, 32000/16000
    if (rate_ == 48000 || rate_ == 24000) sampling = 1;
    if (rate_ == 32000 || rate_ == 16000) sampling = 2;
    return {0xFF, static_cast<std::uint8_t>(mpeg1 ? 0xFB : 0xF3),
            static_cast<std::uint8_t>((kbpsIndex_ << 4) | (sampling << 2)),
            static_cast<std::uint8_t>(channels_ == 1 ? 0xC0 : 0x40)};
}

std::vector<std::uint8_t> OwnInfoFrame::Placeholder() const {
    std::vector<std::uint8_t> frame(size_, 0);
    if (size_ == 0) return frame;
    const auto header = Header();
    std::copy(header.begin(), header.end(), frame.begin());
    return frame;
}

std::vector<std::uint8_t> OwnInfoFrame::Filled(const InfoFrameValues& v) const {
    std::vector<std::uint8_t> frame = Placeholder();
    if (frame.empty()) return frame;
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
    const std::uint32_t delays = (static_cast<std::uint32_t>(std::clamp(v.delay, 0, 4095)) << 12) |
                                 static_cast<std::uint32_t>(std::clamp(v.padding, 0, 4095));
    ext[21] = static_cast<std::uint8_t>(delays >> 16);
    ext[22] = static_cast<std::uint8_t>(delays >> 8);
    ext[23] = static_cast<std::uint8_t>(delays);
    // 24 misc, 25 gain, 26..27 preset: none
    PutBig32(ext + 28, v.bytes);
    // 32..33 the audio's check sum: not kept; 34..35 this tag's.
    const std::uint16_t crc = Crc16(frame.data(), static_cast<std::size_t>(ext + 34 - frame.data()));
    ext[34] = static_cast<std::uint8_t>(crc >> 8);
    ext[35] = static_cast<std::uint8_t>(crc);
    return frame;
}

}  // namespace acm
