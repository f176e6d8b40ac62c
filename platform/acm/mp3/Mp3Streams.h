// The two codec streams of the MPEG Layer-3 driver: decoding with libmpg123
// (feed mode) and encoding with libmp3lame.
#pragma once

#include <memory>

#include "platform/acm/Driver.h"
#include "platform/acm/mp3/Mp3BlockDecoder.h"
#include "platform/acm/mp3/Mp3BlockEncoder.h"
#include "platform/acm/mp3/Mp3InfoFrame.h"

struct mpg123_handle_struct;
struct lame_global_struct;

namespace acm {

class PcmConvertStream;

class Mp3DecodeStream final : public CodecStream {
public:
    Mp3DecodeStream(unsigned rate, int channels);
    ~Mp3DecodeStream() override;
    Mp3DecodeStream(const Mp3DecodeStream&) = delete;
    Mp3DecodeStream& operator=(const Mp3DecodeStream&) = delete;

    bool Ok() const { return handle_ != nullptr; }
    std::size_t OutputBound(std::size_t srcBytes) const override;
    std::size_t InputFor(std::size_t dstBytes) const override;
    MMRESULT Convert(const std::uint8_t* src, std::size_t len, std::size_t& used, ByteSink& out,
                     bool end, bool blockAlignOnly) override;
    void Reset() override;

private:
    void FormatChanged(ByteSink& out);
    void FlushRateFix(ByteSink& out);
    // One decoder over src, as the stream has always been decoded.
    MMRESULT DecodeAlone(const std::uint8_t* src, std::size_t len, ByteSink& out, bool end);

    unsigned rate_;
    int channels_;
    int workers_;
    mpg123_handle_struct* handle_ = nullptr;
    // A long stream on every core (platform/acm/Mp3BlockDecoder.h), until it
    // shows it is none to cut; alone_ once one decoder has it.
    std::unique_ptr<Mp3BlockDecoder> blocks_;
    bool alone_ = false;
    // Taking over from the blocks, this decoder gives out nothing of its
    // frames numbered below this: the blocks gave those samples.
    long skipBelow_ = 0;
    // Frames at another rate than the stream's (a file glued together from
    // two) are brought to the stream's rate instead of being resampled
    // crudely by the decoder or changing the output format mid-stream.
    std::unique_ptr<PcmConvertStream> rateFix_;
};

class Mp3EncodeStream final : public CodecStream {
public:
    // vbrQuality 0 to 9 for the library's VBR (kbps its nominal average),
    // -1 for the constant bitrate kbps.
    Mp3EncodeStream(unsigned rate, int channels, int kbps, int vbrQuality = -1);
    ~Mp3EncodeStream() override;
    Mp3EncodeStream(const Mp3EncodeStream&) = delete;
    Mp3EncodeStream& operator=(const Mp3EncodeStream&) = delete;

    bool Ok() const { return lame_ != nullptr; }
    std::size_t OutputBound(std::size_t srcBytes) const override;
    std::size_t InputFor(std::size_t dstBytes) const override;
    MMRESULT Convert(const std::uint8_t* src, std::size_t len, std::size_t& used, ByteSink& out,
                     bool end, bool blockAlignOnly) override;
    void Reset() override;
    MMRESULT Message(UINT msg, LPARAM lParam1, LPARAM lParam2) override;

private:
    bool Start();
    void Encode(const std::uint8_t* frames, std::size_t count, ByteSink& out);
    // Takes sample frames: held until the signal is known to be longer
    // than a block, then encoded in blocks on every core; a shorter one
    // is encoded at its end by one encoder, as it always was.
    void Feed(const std::uint8_t* frames, std::size_t count, ByteSink& out);
    void SendPlaceholder(ByteSink& out);
    // The frame we build where the library does not write its own: in
    // front of a stream encoded in blocks, in front of every stream of a
    // format too small for the library's, and for a stream cut short.
    std::unique_ptr<InfoFrame> BuiltInfoFrame() const;
    InfoFrameValues BaseValues() const;
    MMRESULT CutInfoFrame(MP3INFOFRAMECUT& cut);
    // The filled-in info frame of the stream that the last END finished.
    std::vector<std::uint8_t> infoFrame_;
    // Where the encoder library's own info frame does not fit, ours: its
    // placeholder goes out before the first audio frame.
    std::unique_ptr<InfoFrame> ownInfo_;
    bool placeholderSent_ = false;
    std::uint64_t bytesOut_ = 0;  // of the stream since Start
    std::uint16_t musicCrc_ = 0;  // of what followed our placeholder

    unsigned rate_;
    int channels_;
    int kbps_;
    int vbr_;
    Mp3Settings Settings() const { return Mp3Settings{rate_, channels_, kbps_, vbr_}; }
    lame_global_struct* lame_ = nullptr;
    std::uint8_t carry_[4] = {};
    std::size_t carried_ = 0;
    std::vector<std::uint8_t> held_;  // the start of the signal, until it is long
    std::unique_ptr<Mp3BlockEncoder> blocks_;
    std::uint64_t expectedFrames_ = 0;  // the signal's length, where told (ACMDM_MP3_LENGTH)
    bool stopping_ = false;             // the user stopped the conversion (ACMDM_STREAM_STOP)
    std::unique_ptr<InfoFrame> blockInfo_;
    int workers_;
};

}  // namespace acm
