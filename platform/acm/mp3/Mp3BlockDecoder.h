// One long Layer III stream decoded on several cores, to the same samples
// as one decoder.
//
// The stream is cut at frame boundaries into blocks of about five seconds;
// each block has a decoder of its own on a worker. What one decoder
// carries from frame to frame is bounded, and each block's decoder is
// given it before the block's first frame:
// - the bit reservoir: a frame's main data begins up to 511 bytes (255
//   below MPEG-1) before it, in the frames before. A block's decoder is
//   started with a frame of silence whose main data area ends with those
//   bytes, then a few frames early; the frames it decodes before the
//   block are thrown away.
// - the IMDCT overlap and the synthesis filter's history: one granule and
//   fifteen slots back, rebuilt by those frames.
// - where in its ring the synthesis filter writes, which decides how its
//   sums round: the decoder advances it by each frame's slots, so a block
//   starts where one decoder would stand (its first frame chosen so; a
//   block ends where the next one's usual early frames are such a frame).
// - gapless trimming: the first block's decoder sees the stream's info
//   frame; the last block's sees that frame with the frame count of what
//   it is fed, so that the decoder itself trims the end where one decoder
//   would.
// Each block's decoder goes on some frames past the block, and the next
// block's first frames must be those samples byte for byte; where they are
// not (a stream whose frames defy these rules), or a block's frames change
// the rate, the stream from there on is decoded by one decoder continuing
// the last block that held, as the codec stream's own decoder, so the
// samples are one decoder's either way.
//
// Only a stream whose Layer III frames chain on from its start, in one
// format, is cut; another (damaged, joined, other layers, a VBRI header)
// is decoded by one decoder from its start, as it always was. Where the
// frames stop chaining on later (a damaged frame, a second file glued on),
// the blocks stop there: a short rest (a tag, some junk) is the last
// block's, a longer one goes to one decoder continuing the last block, so
// that no call gives out more than HeldOutputBound(). Blocks depend on the
// stream alone, never on the number of workers.
#pragma once

#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <vector>

#include "platform/acm/Driver.h"
#include "platform/acm/blocks/SpareBuffers.h"
#include "platform/acm/blocks/InOrder.h"

struct mpg123_handle_struct;

namespace acm {

// The frames of a block; 0 (the default) for about five seconds. Shorter
// ones cut even the conformance streams, for tests.
void SetMp3DecodeBlockFrames(int frames);

// Every seam after the given block taken as one that did not hold: for
// tests of one decoder going on alone. -1 (the default) for none.
void SetMp3DecodeSeamsFailFrom(long block);

// What the block decoders of this process have done, for the tests and
// the benchmark: blocks joined, and seams that did not hold (from where one
// decoder went on).
struct Mp3DecodeStats {
    long blocks = 0, fallbacks = 0;
};
Mp3DecodeStats Mp3DecodeStatistics();

// The decoder as the codec stream sets it up: every rate allowed (never
// resampled), the stream's channel count forced, gapless.
mpg123_handle_struct* NewMpg123Decoder(int channels);

class Mp3BlockDecoder {
public:
    // rate: what the stream must be at (the format its target was made
    // for); another is decoded by one decoder, which brings it there.
    Mp3BlockDecoder(unsigned rate, int channels, int workers);
    ~Mp3BlockDecoder();
    Mp3BlockDecoder(const Mp3BlockDecoder&) = delete;
    Mp3BlockDecoder& operator=(const Mp3BlockDecoder&) = delete;

    // What one decoder is fed instead of the blocks: from the stream's
    // start, or set up as the last block that held (its samples of the
    // decoder's frames numbered below skipBelow are out already).
    struct Rest {
        std::vector<std::uint8_t> bytes;
        long skipBelow = 0;
    };

    // The stream's next bytes. False once the stream has shown that it is
    // not one to cut (or is too short when end comes), or that one decoder
    // must go on where the blocks stopped: what it is to be fed, this
    // call's bytes among them, is then in TakeRest().
    bool Add(const std::uint8_t* src, std::size_t len, ByteSink& out);
    // The rest of the stream, decoded and joined; false as Add.
    bool Finish(ByteSink& out);
    Rest TakeRest();
    // A block has gone out: from here on the stream is this decoder's.
    bool Started() const { return started_; }
    // Sample bytes one call may give out at most, beyond its own input's.
    static std::size_t HeldOutputBound(unsigned rate, int channels, int workers);

private:
    struct Frame {
        std::int64_t at;     // offset in the stream
        int length;
        int side;            // header, check sum and side information
    };
    // The frames parsed so far, by their index in the stream: those the
    // blocks to come reach back for, the older ones forgotten, so that
    // memory does not grow with the stream's length (the first, whose
    // layout the info frame has, is kept).
    class FrameRecord {
    public:
        void push_back(const Frame& f) {
            if (count_ == 0) first_ = f;
            kept_.push_back(f);
            ++count_;
        }
        std::size_t size() const { return count_; }
        bool empty() const { return count_ == 0; }
        const Frame& operator[](std::size_t i) const { return i == 0 ? first_ : kept_[i - from_]; }
        // Forgets the frames before index below.
        void Forget(std::size_t below) {
            for (; from_ < below && !kept_.empty(); ++from_) kept_.pop_front();
        }

    private:
        std::deque<Frame> kept_;
        std::size_t from_ = 0, count_ = 0;
        Frame first_{};
    };
    struct Block {
        long first, end;     // frames kept: [first, end); end -1: to the stream's end
        long fed;            // the first frame its decoder is fed (after the silence frame)
        std::int64_t from, to;  // stream bytes fed
        std::shared_ptr<const std::vector<std::uint8_t>> prefix;  // silence frame, or info frame and silence frame
        std::shared_ptr<const std::vector<std::uint8_t>> stream;
        std::int64_t streamAt;  // stream offset of stream->front()
        long numOffset;      // frame index of the decoder's frame number 0
        long frames;         // about how many it gives out
    };
    struct Result {
        std::vector<std::uint8_t> kept;     // samples of [first, end)
        std::vector<std::uint8_t> check;    // samples of the frames past end
        bool ok = true;
    };
    static Result Decode(const Block& b, unsigned rate, int channels, long checkFrames, const std::atomic<bool>& stop,
                         SpareBuffers<std::uint8_t>& spare);

    bool Parse();
    bool Chains(const std::uint8_t* h) const;
    int Length(const std::uint8_t* h) const;
    // A block of length frames (0: blockFrames_), or the last one: all
    // that is left.
    void Dispatch(bool last, long length = 0);
    std::vector<std::uint8_t> SilenceWithReservoir(long frame) const;
    std::vector<std::uint8_t> InfoFrameFor(long fed) const;
    void JoinOne(ByteSink& out);
    // Joins blocks until one more may go out (no more in work than workers
    // and the blocks ahead); false once the blocks have stopped.
    bool MakeRoom(ByteSink& out);
    void Emit(std::vector<std::uint8_t>& samples, ByteSink& out);
    // The blocks stop; one decoder is to go on from the end of held (or
    // from the stream's start where no block was joined).
    void Stop(const Block& held);

    unsigned rate_;
    int channels_;
    int workers_;
    bool started_ = false;
    std::vector<std::uint8_t> bytes_;   // the stream from bytesAt_ on
    std::int64_t bytesAt_ = 0;
    FrameRecord frames_;
    std::int64_t parsed_ = 0;          // stream offset parsing has reached
    bool cuttable_ = true;
    bool info_ = false;                // frame 0 is an info frame
    long announced_ = -1;              // the audio frames it announces, if it does
    std::vector<std::uint8_t> infoFrame_;
    std::uint8_t head_[4] = {};        // the first audio frame's header
    int freeBase_ = 0;
    int spf_ = 1152;
    long blockFrames_ = 0;
    long nextBlock_ = 0;
    struct Job {
        Block block;
        std::future<Result> result;
    };
    InOrder<Job> jobs_;
    Block lastJoined_{};
    bool anyJoined_ = false;
    std::vector<std::uint8_t> pendingCheck_;  // the last joined block's samples past its end
    bool stopped_ = false;                     // one decoder is to go on
    Rest rest_;                                // what it is fed
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<SpareBuffers<std::uint8_t>> spare_ = std::make_shared<SpareBuffers<std::uint8_t>>();  // samples given out
};

}  // namespace acm
