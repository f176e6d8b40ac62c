// The conversion protocol, in one place: a source's bytes through one
// convertor, or two in a row, chunk by chunk. The conversions run it over
// files; the tests and fuzz targets over bytes in memory.
//
// Per chunk: read up to the first convertor's input buffer, report how far
// the source has come, convert (START on the first chunk, END on a short
// last one), give back and offer again what the codec did not use, hand
// the first stage's output to the second, write, let the front end breathe.
// A failing convert call of a single chunk is dropped: it counts as used
// and as having produced nothing. A source that ends exactly on a chunk
// boundary, and a cancelled run, end with one empty END call so that the
// codecs give back what they hold and the target ends whole; a cancelled
// run tells them first (ACMDM_STREAM_STOP) to end as soon as they can.
#pragma once

#include <cstdint>

#include "codec/ACMConvertor.h"

namespace sondrel {

// Where the loop's bytes come from and go to, and what it tells its front
// end.
class TChunkIo {
public:
    virtual ~TChunkIo() = default;
    // The next n bytes of the source.
    virtual void Read(std::uint8_t* dst, DWORD n) = 0;
    // Steps the source back by n bytes, to offer them again.
    virtual void Unread(DWORD n) = 0;
    // Appends to the target; false when the write came back short, which
    // ends the loop.
    virtual bool Write(const std::uint8_t* bytes, DWORD n) = 0;
    // Asked before every chunk.
    virtual bool Cancelled() { return false; }
    // After each read: how many source bytes are still to come.
    virtual void ChunkRead(std::int64_t /*remaining*/) {}
    // After each chunk's output is written.
    virtual void ChunkDone() {}
};

struct TChunkRun {
    bool written = true;             // no write came back short
    std::int64_t read = 0;           // source bytes read (given-back ones once)
    std::uint64_t firstOutput = 0;   // what the first stage made
    int calls = 0;                   // convert calls of the first stage
    int failures = 0;                // of those, the ones that failed
    bool overran = false;            // a call reported more than its buffers hold
};

// Both convertors are active; second may be null. length is the number of
// source bytes to convert. Where firstKeep is not negative, only so many
// bytes of the first stage's output are audio (a compressed format's last
// block is padded); what it makes past them is dropped.
TChunkRun RunChunkLoop(TACMConvertor& first, TACMConvertor* second, std::int64_t length, TChunkIo& io,
                       std::int64_t firstKeep = -1);

}  // namespace sondrel
