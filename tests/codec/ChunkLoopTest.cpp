// The conversions' chunk loop on its own: bytes a codec leaves unused are
// offered again, in order, and nothing is lost or doubled.
#include <gtest/gtest.h>

#include <algorithm>

#include "codec/ChunkLoop.h"
#include "platform/acm/Driver.h"
#include "support/Audio.h"

using namespace sondrel;
using namespace testing_support;

namespace {

// A codec that takes at most this many bytes a call, in whole sample frames:
// the real codecs consume everything, so the loop's giving back is driven
// through this stand-in for the convert call.
DWORD g_takeAtMost = 0;
int g_partialCalls = 0;

MMRESULT TakeSome(HACMSTREAM has, LPACMSTREAMHEADER h, DWORD flags) {
    const DWORD offered = h->cbSrcLength;
    const DWORD take = std::min(offered, g_takeAtMost);
    h->cbSrcLength = take;
    // The codec was told END with bytes still to come; it hears END again
    // with the last of them.
    const MMRESULT r = acmStreamConvert(has, h, take < offered ? flags & ~ACM_STREAMCONVERTF_END : flags);
    h->cbSrcLength = offered;
    if (take < offered) ++g_partialCalls;
    return r;
}

std::vector<std::uint8_t> Narrow(const std::vector<std::uint8_t>& source, DWORD chunk, bool partial) {
    TACMConvertor c;
    c.FormatIn.Bytes.fill(0);
    c.FormatIn.Wfx() = acm::PcmFormat(22050, 2, 16);
    c.FormatOut.Bytes.fill(0);
    c.FormatOut.Wfx() = acm::PcmFormat(22050, 2, 8);
    if (partial) c.Calls.StreamConvert = &TakeSome;
    const ProtocolRun run = RunProtocol(c, source, chunk);
    EXPECT_FALSE(run.overran);
    EXPECT_EQ(run.failures, 0);
    return run.output;
}

TEST(ChunkLoop, UnusedBytesAreOfferedAgain) {
    const auto source = AsBytes(MakeMusic(22050, 2, 0.5));
    const auto whole = Narrow(source, 4096, false);
    ASSERT_EQ(whole.size(), source.size() / 2);
    for (DWORD take : {1000u, 4092u, 3u * 4096u}) {
        SCOPED_TRACE(take);
        g_takeAtMost = take;
        g_partialCalls = 0;
        EXPECT_EQ(Narrow(source, 4096, true), whole);
        if (take < 4096) {
            EXPECT_GT(g_partialCalls, 0);
        }
    }
}

}  // namespace
