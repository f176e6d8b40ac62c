// What the codec targets share: the fuzz input read as a few choice bytes
// and a body, and a convertor fed the body chunk by chunk the way the
// conversion routines feed it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "codec/ACMConvertor.h"
#include "support/Audio.h"

// Reads choice bytes off the front of the input; past its end, zeros.
class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
    // Up to n bytes (fewer at the end), as a pointer into the input.
    const std::uint8_t* Take(std::size_t n, std::size_t& got) {
        got = std::min(n, size_ - pos_);
        const std::uint8_t* p = data_ + pos_;
        pos_ += got;
        return p;
    }
    const std::uint8_t* Rest() const { return data_ + pos_; }
    std::size_t RestSize() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Streams the body through the convertor as the conversions do (see
// RunProtocol); a format no codec takes is refused, not a fault, but a call
// that reports more output than the buffer holds, or more input used than
// offered, is one whatever the input was.
inline void StreamThrough(sondrel::TACMConvertor& c, const std::uint8_t* body, std::size_t size, DWORD chunk) {
    try {
        if (testing_support::RunProtocol(c, std::vector<std::uint8_t>(body, body + size), std::max<DWORD>(1, chunk))
                .overran)
            __builtin_trap();
    } catch (const sondrel::EACMConvertor&) {
    }
}
