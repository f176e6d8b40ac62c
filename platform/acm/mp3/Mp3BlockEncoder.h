// One long signal encoded on several cores: cut into blocks of frames,
// each block encoded by an encoder of its own on a worker thread, the
// frames joined back into one stream in order (platform/acm/Mp3Frames.h).
//
// Each block after the first starts its encoder a short stretch early
// (thrown away), so that its psychoacoustic model, MDCT overlap and delay
// are those of one long encode at the seam. Each block before the last
// goes on some frames past its end, and the seam is put at the first of
// those frames where the window shapes of both encoders agree and the next
// block's frames fit the reservoir the joined stream has left there.
//
// What a short pre-roll does not settle is the bit reservoir: a new
// encoder banks one in its first frames and, where the signal wants more
// than the bitrate gives, spends the surplus only over the next hundred
// frames or so, in larger frames than one long encode has there, which
// would not fit the joined stream. So where no seam fits at first, the
// last block's encoder (kept open for this) goes on into the next block,
// a step at a time, until a seam fits: only as far as the new encoder
// takes to spend what it banked. Where that too finds none, the block is
// encoded again from further back, and only if that fails as well without
// a reservoir; that work goes ahead of any block waiting, taken up by the
// converting thread that awaits it or the first worker free. Every frame
// keeps the stream's bitrate.
//
// Blocks are long enough to make the pre-roll a small share of the work:
// about a minute, of one length for a signal whose length is known
// (in an even number, so that two cores finish together). They depend on
// the signal's length, never on the number of workers, so the bytes do
// not either.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <vector>

#include "platform/acm/Driver.h"
#include "platform/acm/mp3/Mp3Frames.h"
#include "platform/acm/mp3/Mp3InfoFrame.h"
#include "platform/acm/blocks/InOrder.h"

struct lame_global_struct;

namespace acm {

struct Mp3Settings {
    unsigned rate;
    int channels;
    int kbps;             // the constant bitrate; for VBR the nominal average
    int vbrQuality = -1;  // 0 (best) to 9 for VBR, -1 for a constant bitrate
    bool Vbr() const { return vbrQuality >= 0; }
};

// An encoder library instance in our settings: CBR at the bitrate, or the
// library's VBR at the quality (as its own -V), joint stereo, quality 3,
// no tag; with the library's info frame in front where asked, and without
// a bit reservoir where asked. Null where it cannot start.
lame_global_struct* NewLameEncoder(const Mp3Settings& s, bool infoFrame, bool reservoir = true);
// Encodes frames sample frames of interleaved little-endian 16-bit PCM;
// the bytes made (never more than room), 0 on an error.
std::size_t LameEncode(lame_global_struct* lame, int channels, const std::uint8_t* pcm, std::size_t frames,
                       std::uint8_t* mp3, std::size_t room);


// The pre-roll before each block, in MPEG-1 frames; 0 (the default) for
// kPrerollFrames. For tests of the ways a seam is found: with reach false,
// the last block's encoder does not go on past its candidates, so that a
// seam that does not fit there makes the block encoded again.
void SetMp3BlockPreroll(int frames, bool reach = true);

// What the block encoders of this process have done so far, for the
// benchmark and the tests: blocks joined, blocks encoded a second time
// from a long pre-roll, and a third time without a reservoir, VBR frames
// made larger at a seam, and seams found by the last block's encoder going
// on into the next block, with the frames it went on for.
struct Mp3BlockStats {
    long blocks = 0, again = 0, withoutReservoir = 0, raised = 0, reached = 0, reachFrames = 0;
};
Mp3BlockStats Mp3BlockStatistics();

class Mp3BlockEncoder {
public:
    // Frames (of MPEG-1; twice as many of the half-length MPEG-2 frames,
    // for the same stretch of signal) of a block where the signal's length
    // is not known, and the frames before and after it that its encoder
    // also sees.
    static constexpr int kBlockFrames = 2304;
    static constexpr int kSeamFrames = 24;  // candidate seams past the end
    // Fed before a block, and before a block encoded again where its seam
    // did not fit.
    static constexpr int kPrerollFrames = 48;
    static constexpr int kLongPrerollFrames = 768;
    static constexpr int kLookahead = 2;   // frames fed past the last candidate
    // How far, and in what steps, the last block's encoder goes on into the
    // next block to find a seam.
    static constexpr int kReachFrames = 1152;
    static constexpr int kReachStep = 64;

    // A signal longer than this many frames is encoded in blocks: below,
    // the pre-roll would cost more than a second core gives.
    static long ThresholdFrames(bool mpeg1) { return mpeg1 ? 1152 : 2304; }
    // The frames of each block (the last one takes the rest) of a signal of
    // totalFrames frames; 0 (unknown) gives kBlockFrames. None has more
    // than LongestBlockFrames (two blocks up to three times kBlockFrames,
    // four up to five times, ...).
    static long BlockFrames(std::uint64_t totalFrames, bool mpeg1);
    static long LongestBlockFrames(bool mpeg1) { return (mpeg1 ? 1 : 2) * (kBlockFrames + kBlockFrames / 2); }

    // totalFrames: the signal's length in frames where it is known, else 0.
    Mp3BlockEncoder(const Mp3Settings& settings, int workers, std::uint64_t totalFrames = 0);
    ~Mp3BlockEncoder();
    Mp3BlockEncoder(const Mp3BlockEncoder&) = delete;
    Mp3BlockEncoder& operator=(const Mp3BlockEncoder&) = delete;

    // Interleaved little-endian 16-bit samples, continuing the signal.
    void Add(const std::uint8_t* pcm, std::size_t frames, ByteSink& out);
    // The rest of the signal, encoded and joined; v gets the stream's frame
    // count, padding and music check sum (its delay is the library's for
    // the settings, as v brings it).
    void Finish(ByteSink& out, InfoFrameValues& v);
    // The end of a signal the user stopped, as soon as it can be: the
    // encoders in work stop at their next step (but the oldest while
    // nothing is joined yet, which would leave the file empty), the oldest
    // block's frames join on as far as its encoder came where a seam fits,
    // else those the last joined encoder made past its block; the signal
    // not in a block yet is dropped, and the stream has no padding to drop
    // at its end. Before the first block is in work, the end as Finish
    // makes it.
    void Abandon(ByteSink& out, InfoFrameValues& v);
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
        // A block before the last keeps its encoder open, with all it has
        // written, and the frame index its samples have reached: it may
        // have to go on into the next block (Reach).
        std::shared_ptr<lame_global_struct> lame;
        std::vector<std::uint8_t> stream;
        long fedTo = 0;
    };
    // Encodes the block's samples from frame index from on.
    static Result Encode(const Mp3Settings& s, const Block& b, long from, bool reservoir, const std::atomic<bool>& stop);
    static const L3Frame* FrameAt(const Result& r, long index) {
        const long i = index - r.fed;
        return i >= 0 && i < static_cast<long>(r.frames.size()) ? &r.frames[static_cast<std::size_t>(i)] : nullptr;
    }
    // The seam for block, from the candidates the last block's frames
    // reach; -1 where none fits.
    struct Search {
        FrameJoiner trial{true};
        long next = -1;      // the next candidate
        long appended = -1;  // the last candidate the trial has the frames for
    };
    long FindSeam(const Block& block, const Result& r, Search& search);
    // Feeds the last block's encoder frames more of block's samples; false
    // where there are none.
    bool Reach(const Block& block, long frames);
    void Dispatch(bool last);
    void Join(const Block& block, Result r, ByteSink& out);
    // The oldest block in work, awaited and joined.
    void JoinFront(ByteSink& out);
    // The block encoded again from frame from, ahead of any block waiting,
    // and awaited.
    Result EncodeAgain(const Block& block, long from, bool reservoir);
    void Emit(const std::vector<std::uint8_t>& bytes, ByteSink& out);

    Mp3Settings settings_;
    int workers_;
    int spf_;       // samples per frame
    int preroll_;   // frames the encoder sees before a block
    bool reach_;
    int longPreroll_;
    long blockFrames_;
    std::vector<std::uint8_t> pending_;  // 16-bit PCM from frame pendingFrom_ on
    long pendingFrom_ = 0;
    long nextBlock_ = 0;
    struct Job {
        Block block;
        std::future<Result> result;
        // Set to stop this block's encoder at its next step.
        std::shared_ptr<std::atomic<bool>> stop = std::make_shared<std::atomic<bool>>(false);
    };
    InOrder<Job> jobs_;
    FrameJoiner joiner_;
    // The last block joined, its encoder still open.
    Result last_;
    int delay_ = 0;
    std::uint64_t bytesOut_ = 0;
    std::uint16_t musicCrc_ = 0;
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace acm
