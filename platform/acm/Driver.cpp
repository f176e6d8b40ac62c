#include "platform/acm/Driver.h"

#include <algorithm>
#include <cstring>

#include "platform/acm/FormatArea.h"

namespace acm {

void ByteSink::Write(const void* data, std::size_t n) {
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

bool IsPlainPcm(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels >= 1 && f.nChannels <= 8 &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16 || f.wBitsPerSample == 24) &&
           f.nSamplesPerSec >= 1000 && f.nSamplesPerSec <= 768000;
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
