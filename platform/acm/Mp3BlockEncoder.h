// One long signal encoded on several cores: cut into blocks of frames,
// each block encoded by an encoder of its own on a worker thread, the
// frames joined back into one stream in order (platform/acm/Mp3Frames.h).
//
// Each block after the first starts its encoder a stretch early (thrown
// away), so that its psychoacoustic model, MDCT overlap and delay are
// those of one long encode at the seam, and so that the bit reservoir a
// new encoder banks in its first frames has mostly been spent again; each
// block before the last goes on some frames past its end, and the seam is
// put at the first of those frames where the window shapes of both
// encoders agree and the next block's frames fit the reservoir the joined
// stream has left. Where none does, that block is encoded again without a
// reservoir. Every frame keeps the stream's bitrate.
//
// The blocks are the same whatever the number of workers, so the bytes
// are too.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <vector>

#include "platform/acm/Driver.h"
#include "platform/acm/Mp3Frames.h"
#include "platform/acm/Mp3InfoFrame.h"

struct lame_global_struct;

namespace acm {

struct Mp3Settings {
    unsigned rate;
    int channels;
    int kbps;
};

// An encoder library instance in our settings: CBR, joint stereo,
// quality 3, no tag; with the library's info frame in front where asked,
// and without a bit reservoir where asked. Null where it cannot start.
lame_global_struct* NewLameEncoder(const Mp3Settings& s, bool infoFrame, bool reservoir = true);
// Encodes frames sample frames of interleaved little-endian 16-bit PCM;
// the bytes made (never more than room), 0 on an error.
std::size_t LameEncode(lame_global_struct* lame, int channels, const std::uint8_t* pcm, std::size_t frames,
                       std::uint8_t* mp3, std::size_t room);

// Workers for one stream; 0 (the default) for one a processor core.
void SetMp3EncoderWorkers(int workers);
int Mp3EncoderWorkers();

// What the block encoders of this process have done so far, for the
// benchmark: blocks joined, blocks encoded a second time from a long
// pre-roll, and a third time without a reservoir.
struct Mp3BlockStats {
    long blocks = 0, again = 0, withoutReservoir = 0;
};
Mp3BlockStats Mp3BlockStatistics();

class Mp3BlockEncoder {
public:
    // Frames of one block, and the frames before and after it that its
    // encoder also sees.
    static constexpr int kBlockFrames = 768;
    static constexpr int kSeamFrames = 24;  // candidate seams past the end
    // Frames (of MPEG-1; twice as many of MPEG-2) fed before a block, and
    // before a block encoded again where its seam did not fit.
    static constexpr int kPrerollFrames = 32;
    static constexpr int kLongPrerollFrames = 384;
    static constexpr int kLookahead = 2;   // frames fed past the last candidate
    // A signal longer than this many frames is encoded in blocks.
    static constexpr int kThresholdFrames = kBlockFrames + kSeamFrames + kLookahead;

    Mp3BlockEncoder(const Mp3Settings& settings, int workers);
    ~Mp3BlockEncoder();
    Mp3BlockEncoder(const Mp3BlockEncoder&) = delete;
    Mp3BlockEncoder& operator=(const Mp3BlockEncoder&) = delete;

    // Interleaved little-endian 16-bit samples, continuing the signal.
    void Add(const std::uint8_t* pcm, std::size_t frames, ByteSink& out);
    // The rest of the signal, encoded and joined; v gets the stream's frame
    // count, padding and music check sum (its delay is the library's for
    // the settings, as v brings it).
    void Finish(ByteSink& out, InfoFrameValues& v);
    std::uint64_t BytesOut() const { return bytesOut_; }

private:
    struct Block {
        long first;   // frame index where the block's own frames begin
        long end;     // and end (exclusive); the last block runs to its flush
        long fed;     // frame index of the encoder's first frame
        long held;    // where samples begins: the long pre-roll's first frame
        bool last;
        // Kept until the block is joined: a block may be encoded again.
        std::shared_ptr<const std::vector<std::uint8_t>> samples;  // 16-bit PCM
    };
    struct Result {
        long fed;
        std::vector<L3Frame> frames;
        int delay = 0;
    };
    // Encodes the block's samples from frame index from on.
    static Result Encode(const Mp3Settings& s, const Block& b, long from, bool reservoir, const std::atomic<bool>& stop);
    static const L3Frame* FrameAt(const Result& r, long index) {
        const long i = index - r.fed;
        return i >= 0 && i < static_cast<long>(r.frames.size()) ? &r.frames[static_cast<std::size_t>(i)] : nullptr;
    }
    const L3Frame* TailAt(long index) const;
    long FindSeam(const Block& block, const Result& r);
    void Dispatch(bool last);
    void Join(const Block& block, Result r, ByteSink& out);
    void Emit(const std::vector<std::uint8_t>& bytes, ByteSink& out);

    Mp3Settings settings_;
    int workers_;
    int spf_;       // samples per frame
    int preroll_;   // frames the encoder sees before a block
    int longPreroll_;
    std::vector<std::uint8_t> pending_;  // 16-bit PCM from frame pendingFrom_ on
    long pendingFrom_ = 0;
    long nextBlock_ = 0;
    struct Job {
        Block block;
        std::future<Result> result;
    };
    std::deque<Job> jobs_;
    FrameJoiner joiner_;
    // The last block's final frame and its frames past its end.
    std::vector<L3Frame> tail_;
    long tailFrom_ = 0;
    int delay_ = 0;
    std::uint64_t bytesOut_ = 0;
    std::uint16_t musicCrc_ = 0;
    std::atomic<bool> stop_{false};
};

}  // namespace acm
