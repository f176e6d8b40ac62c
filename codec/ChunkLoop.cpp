#include "codec/ChunkLoop.h"

#include <algorithm>
#include <cstring>

namespace sondrel {
namespace {

// One convert call; false when it failed. A failed call leaves the counts
// the header holds, which for a call that filled in nothing means the chunk
// counts as used and nothing was produced.
bool ConvertOnce(TACMConvertor& c, DWORD flags, TChunkRun& run) {
    c.StreamHeader.cbDstLengthUsed = 0;
    const DWORD offered = c.StreamHeader.cbSrcLength;
    const MMRESULT r = c.Calls.StreamConvert(c.StreamHandle(), &c.StreamHeader, flags);
    if (c.StreamHeader.cbDstLengthUsed > c.OutputBufferSize() || c.StreamHeader.cbSrcLengthUsed > offered)
        run.overran = true;
    return r == MMSYSERR_NOERROR;
}

}  // namespace

TChunkRun RunChunkLoop(TACMConvertor& first, TACMConvertor* second, std::int64_t length, TChunkIo& io,
                       std::int64_t firstKeep) {
    TChunkRun run;
    std::int64_t remaining = length;
    bool firstChunk = true, endSent = false;
    auto convertFirst = [&](DWORD flags) {
        ++run.calls;
        if (!ConvertOnce(first, flags, run)) ++run.failures;
        DWORD made = std::min(first.StreamHeader.cbDstLengthUsed, first.OutputBufferSize());
        if (firstKeep >= 0)
            made = static_cast<DWORD>(std::min<std::int64_t>(made, std::max<std::int64_t>(0, firstKeep - static_cast<std::int64_t>(run.firstOutput))));
        first.StreamHeader.cbDstLengthUsed = made;
        run.firstOutput += made;
    };
    auto write = [&](TACMConvertor& c) {
        const DWORD n = std::min(c.StreamHeader.cbDstLengthUsed, c.OutputBufferSize());
        if (n > 0 && !io.Write(c.OutputBuffer(), n)) run.written = false;
    };
    auto pass = [&](DWORD flags) {
        // The second stage takes what the first made of this chunk.
        if (!second) return write(first);
        const DWORD n = std::min({first.StreamHeader.cbDstLengthUsed, first.OutputBufferSize(),
                                  second->InputBufferSize()});
        if (n > 0) std::memcpy(second->InputBuffer(), first.OutputBuffer(), n);
        second->StreamHeader.cbSrcLength = n;
        second->StreamHeader.cbSrcLengthUsed = n;
        ConvertOnce(*second, flags, run);
        write(*second);
    };
    while (remaining > 0 && !io.Cancelled() && run.written) {
        DWORD chunk = first.InputBufferSize();
        bool last = false;
        if (remaining < static_cast<std::int64_t>(chunk)) {
            chunk = static_cast<DWORD>(remaining);
            last = true;
        }
        io.Read(first.InputBuffer(), chunk);
        remaining -= chunk;
        run.read += chunk;
        first.StreamHeader.cbSrcLength = chunk;
        first.StreamHeader.cbSrcLengthUsed = chunk;
        io.ChunkRead(remaining);
        const DWORD flags = last ? ACM_STREAMCONVERTF_END : firstChunk ? ACM_STREAMCONVERTF_START : 0;
        convertFirst(flags);
        const DWORD used = first.StreamHeader.cbSrcLengthUsed;
        if (used > 0 && used < chunk) {
            // What the codec left is offered again with the next chunk; a
            // last chunk left partly unused is no longer the last.
            io.Unread(chunk - used);
            remaining += chunk - used;
            run.read -= chunk - used;
            last = false;
        }
        pass(last ? ACM_STREAMCONVERTF_END : flags & ~ACM_STREAMCONVERTF_END);
        firstChunk = false;
        endSent = endSent || last;
        io.ChunkDone();
    }
    if (run.written && !endSent) {
        // Stopped by the user: the codecs end with what they have whole,
        // without working through what they hold (a block encoder may hold
        // minutes of signal).
        if (io.Cancelled())
            for (TACMConvertor* c : {&first, second})
                if (c && c->StreamHandle()) (void)acmStreamMessage(c->StreamHandle(), ACMDM_STREAM_STOP, 0, 0);
        first.StreamHeader.cbSrcLength = 0;
        first.StreamHeader.cbSrcLengthUsed = 0;
        convertFirst(ACM_STREAMCONVERTF_END);
        pass(ACM_STREAMCONVERTF_END);
    }
    return run;
}

}  // namespace sondrel
