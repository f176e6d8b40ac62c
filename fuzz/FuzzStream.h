// What the codec targets share: the fuzz input read as a few choice bytes
// and a body, and a convertor fed the body chunk by chunk the way the
// conversion routines feed it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "codec/ACMConvertor.h"

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

// Makes the convertor active with the given input chunk and streams the
// body through it: START first, END with the last chunk (or an empty END
// call), unconsumed bytes offered again. A call that reports more output
// than the output buffer holds is a fault, whatever the input was.
inline void StreamThrough(sondrel::TACMConvertor& c, const std::uint8_t* body, std::size_t size, DWORD chunk) {
    c.SetInputBufferSize(std::max<DWORD>(1, chunk));
    try {
        c.SetActive(true);
    } catch (const sondrel::EACMConvertor&) {
        return;  // a format no codec takes: refused, not a fault
    }
    std::size_t pos = 0;
    bool first = true, endSent = false;
    auto call = [&](DWORD n, DWORD flags) {
        c.StreamHeader.cbSrcLength = n;
        c.StreamHeader.cbSrcLengthUsed = n;
        c.StreamHeader.cbDstLengthUsed = 0;
        acmStreamConvert(c.StreamHandle(), &c.StreamHeader, flags);
        if (c.StreamHeader.cbDstLengthUsed > c.OutputBufferSize() || c.StreamHeader.cbSrcLengthUsed > n)
            __builtin_trap();
    };
    while (pos < size) {
        const DWORD n = static_cast<DWORD>(std::min<std::size_t>(c.InputBufferSize(), size - pos));
        const bool last = pos + n >= size;
        std::memcpy(c.InputBuffer(), body + pos, n);
        call(n, (first ? ACM_STREAMCONVERTF_START : 0) | (last ? ACM_STREAMCONVERTF_END : 0));
        const DWORD used = c.StreamHeader.cbSrcLengthUsed;
        pos += (used > 0 && used < n) ? used : n;
        first = false;
        endSent = endSent || last;
    }
    if (!endSent) call(0, (first ? ACM_STREAMCONVERTF_START : 0) | ACM_STREAMCONVERTF_END);
    acmStreamReset(c.StreamHandle(), 0);
    c.SetActive(false);
}
