#include "platform/acm/Driver.h"

#include <algorithm>
#include <cstring>

#include "platform/acm/FormatArea.h"

namespace acm {

void ByteSink::Write(const void* data, std::size_t n) {
    if (n == 0) return;
    std::uint8_t* p = Grab(n);
    std::memcpy(p, data, n);
    Commit(n);
}

std::uint8_t* ByteSink::Grab(std::size_t n) {
    if (!spilled_ && room_ - written_ >= n) {
        grabbedOverflow_ = false;
        return dst_ + written_;
    }
    // Once anything went to the queue, everything after it must follow it
    // there to keep the order.
    spilled_ = true;
    grabbedOverflow_ = true;
    grabbedAt_ = overflow_.size();
    overflow_.resize(grabbedAt_ + n);
    return overflow_.data() + grabbedAt_;
}

void ByteSink::Commit(std::size_t used) {
    if (grabbedOverflow_)
        overflow_.resize(grabbedAt_ + used);
    else
        written_ += used;
}

void ByteSink::Settle() {
    if (overflow_.empty()) return;
    const std::size_t n = std::min(room_ - written_, overflow_.size());
    std::memcpy(dst_ + written_, overflow_.data(), n);
    written_ += n;
    overflow_.erase(overflow_.begin(), overflow_.begin() + static_cast<std::ptrdiff_t>(n));
    spilled_ = !overflow_.empty();
}

namespace {

// The tail of the sub-format GUID of every extensible record: the first
// two bytes are the format tag it stands for.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Extra bytes of an extensible record: valid bits, channel mask, sub-format.
constexpr WORD kExtensibleExtra = 22;

bool IsExtensiblePcm(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_EXTENSIBLE || f.cbSize < kExtensibleExtra) return false;
    const auto* extra = reinterpret_cast<const std::uint8_t*>(&f) + sizeof(WAVEFORMATEX);
    return extra[6] == WAVE_FORMAT_PCM && extra[7] == 0 && std::memcmp(extra + 8, kSubFormatTail, 14) == 0;
}

}  // namespace

bool IsPlainPcm(const WAVEFORMATEX& f) {
    return (f.wFormatTag == WAVE_FORMAT_PCM || IsExtensiblePcm(f)) && f.nChannels >= 1 && f.nChannels <= 8 &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16 || f.wBitsPerSample == 24) &&
           f.nSamplesPerSec >= 1000 && f.nSamplesPerSec <= 768000;
}

std::uint32_t ChannelMask(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_EXTENSIBLE || f.cbSize < kExtensibleExtra) return 0;
    const auto* extra = reinterpret_cast<const std::uint8_t*>(&f) + sizeof(WAVEFORMATEX);
    return static_cast<std::uint32_t>(extra[2]) | static_cast<std::uint32_t>(extra[3]) << 8 |
           static_cast<std::uint32_t>(extra[4]) << 16 | static_cast<std::uint32_t>(extra[5]) << 24;
}

std::vector<std::uint8_t> ExtensiblePcm(const WAVEFORMATEX& pcm, std::uint32_t mask) {
    WAVEFORMATEX head = pcm;
    head.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    head.cbSize = kExtensibleExtra;
    // Sized once and filled in place (gcc 12 misreads appends behind the
    // header as copies past its end).
    std::vector<std::uint8_t> record(sizeof head + kExtensibleExtra);
    std::memcpy(record.data(), &head, sizeof head);
    const std::uint8_t extra[8] = {static_cast<std::uint8_t>(pcm.wBitsPerSample), static_cast<std::uint8_t>(pcm.wBitsPerSample >> 8),
                                   static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8),
                                   static_cast<std::uint8_t>(mask >> 16), static_cast<std::uint8_t>(mask >> 24),
                                   WAVE_FORMAT_PCM, 0};
    static_assert(sizeof extra + sizeof kSubFormatTail == kExtensibleExtra);
    std::memcpy(record.data() + sizeof head, extra, sizeof extra);
    std::memcpy(record.data() + sizeof head + sizeof extra, kSubFormatTail, sizeof kSubFormatTail);
    return record;
}

WAVEFORMATEX PcmFormat(DWORD rate, WORD channels, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.wBitsPerSample = bits;
    f.cbSize = 0;
    return f;
}

std::size_t RecordSize(const WAVEFORMATEX& f) {
    if (f.wFormatTag == WAVE_FORMAT_PCM) return sizeof(WAVEFORMATEX);
    return std::min<std::size_t>(sizeof(WAVEFORMATEX) + f.cbSize, kFormatAreaSize);
}

std::string GroupThousands(unsigned value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += '.';
        grouped += digits[i];
    }
    return grouped;
}

const std::vector<std::unique_ptr<Driver>>& Drivers() {
    static const std::vector<std::unique_ptr<Driver>> drivers = [] {
        std::vector<std::unique_ptr<Driver>> d;
        d.push_back(MakeMpegLayer3Driver());
        d.push_back(MakePcmConverterDriver());
        d.push_back(MakeWaveDecoderDriver());
        return d;
    }();
    return drivers;
}

}  // namespace acm
