// The wave decoder driver: compressed and wide WAVE formats (ADPCM, A-law,
// u-law, GSM 6.10, float, 32-bit and extensible PCM, and whatever else
// libavcodec decodes) to PCM at the source's own rate and channel count.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/acm/wave/AvLibrary.h"
#include "platform/acm/Driver.h"

namespace acm {
namespace {

// The format tag a record stands for, looking through the extensible
// wrapper to its sub-format (an 18-byte record without one counts as PCM).
WORD EffectiveTag(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_EXTENSIBLE) return f.wFormatTag;
    if (f.cbSize < 22) return WAVE_FORMAT_PCM;
    const auto* extra = reinterpret_cast<const std::uint8_t*>(&f) + sizeof(WAVEFORMATEX);
    return static_cast<WORD>(extra[6] | (extra[7] << 8));
}

AVCodecID CodecFor(const WAVEFORMATEX& f) {
    const WORD tag = EffectiveTag(f);
    if (tag == WAVE_FORMAT_PCM) {
        switch (f.wBitsPerSample) {
        case 8: return AV_CODEC_ID_PCM_U8;
        case 16: return AV_CODEC_ID_PCM_S16LE;
        case 24: return AV_CODEC_ID_PCM_S24LE;
        case 32: return AV_CODEC_ID_PCM_S32LE;
        default: return AV_CODEC_ID_NONE;
        }
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (f.wBitsPerSample == 32) return AV_CODEC_ID_PCM_F32LE;
        if (f.wBitsPerSample == 64) return AV_CODEC_ID_PCM_F64LE;
        return AV_CODEC_ID_NONE;
    }
    // MP3 belongs to the MPEG Layer-3 driver.
    if (tag == WAVE_FORMAT_MPEGLAYER3) return AV_CODEC_ID_NONE;
    const AvLibrary* av = Av();
    if (!av) return AV_CODEC_ID_NONE;
    const AVCodecTag* const tables[] = {av->get_riff_audio_tags(), nullptr};
    return av->codec_get_id(tables, tag);
}

bool Decodable(const WAVEFORMATEX& in) {
    if (IsPlainPcm(in) && in.wFormatTag == WAVE_FORMAT_PCM) return false;  // the PCM converter's
    if (in.nChannels < 1 || in.nChannels > 8 || in.nSamplesPerSec == 0) return false;
    const AvLibrary* av = Av();
    if (!av) return false;
    const AVCodecID id = CodecFor(in);
    return id != AV_CODEC_ID_NONE && av->find_decoder(id) != nullptr;
}

WORD NaturalBits(const WAVEFORMATEX& in) { return in.wBitsPerSample > 16 ? 24 : 16; }

// One decoded sample scaled to a 32-bit full scale.
std::int64_t SampleAt(const AvLibrary& av, const AVFrame* fr, int channels, int ch, int i) {
    const auto fmt = static_cast<AVSampleFormat>(fr->format);
    const bool planar = av.sample_fmt_is_planar(fmt);
    const int index = planar ? i : i * channels + ch;
    const std::uint8_t* base = fr->extended_data[planar ? ch : 0];
    // Float files may hold NaN (a damaged file, or a program's bug): it
    // has no level, so it is silence; infinities are full scale.
    auto fromDouble = [](double v) -> std::int64_t {
        if (std::isnan(v)) return 0;
        const double s = v * 2147483648.0;
        return static_cast<std::int64_t>(std::clamp(s, -2147483648.0, 2147483647.0));
    };
    switch (av.get_packed_sample_fmt(fmt)) {
    case AV_SAMPLE_FMT_U8: return (static_cast<std::int64_t>(base[index]) - 128) << 24;
    case AV_SAMPLE_FMT_S16: return static_cast<std::int64_t>(reinterpret_cast<const std::int16_t*>(base)[index]) << 16;
    case AV_SAMPLE_FMT_S32: return reinterpret_cast<const std::int32_t*>(base)[index];
    case AV_SAMPLE_FMT_S64: return reinterpret_cast<const std::int64_t*>(base)[index] >> 32;
    case AV_SAMPLE_FMT_FLT: return fromDouble(reinterpret_cast<const float*>(base)[index]);
    case AV_SAMPLE_FMT_DBL: return fromDouble(reinterpret_cast<const double*>(base)[index]);
    default: return 0;
    }
}

void PutSample(std::int64_t v, int bits, std::uint8_t*& out) {
    // To the nearest step, ties to the even one, as the PCM converter
    // rounds: adding a half and flooring would push every tie upwards.
    const int shift = 32 - bits;
    const std::int64_t half = std::int64_t{1} << (shift - 1);
    std::int64_t q = v >> shift;
    const std::int64_t rest = v - (q << shift);
    if (rest > half || (rest == half && (q & 1))) ++q;
    const std::int64_t hi = (std::int64_t{1} << (bits - 1)) - 1;
    q = std::clamp(q, -hi - 1, hi);
    if (bits == 8) {
        *out++ = static_cast<std::uint8_t>(q + 128);
        return;
    }
    for (int b = 0; b < bits; b += 8) *out++ = static_cast<std::uint8_t>(q >> b);
}

class WaveDecodeStream final : public CodecStream {
public:
    WaveDecodeStream(const WAVEFORMATEX& in, const WAVEFORMATEX& out)
        : av_(*Av()), channels_(in.nChannels), outBits_(out.wBitsPerSample),
          outBlock_(static_cast<std::size_t>(out.wBitsPerSample / 8) * out.nChannels) {
        const AVCodecID id = CodecFor(in);
        const AVCodec* codec = av_.find_decoder(id);
        if (!codec) return;
        ctx_ = av_.alloc_context3(codec);
        if (!ctx_) return;
        ctx_->sample_rate = static_cast<int>(in.nSamplesPerSec);
        av_.channel_layout_default(&ctx_->ch_layout, in.nChannels);
        ctx_->block_align = in.nBlockAlign;
        ctx_->bit_rate = static_cast<std::int64_t>(in.nAvgBytesPerSec) * 8;
        ctx_->bits_per_coded_sample = in.wBitsPerSample;
        const std::size_t extra = RecordSize(in) - sizeof(WAVEFORMATEX);
        if (in.wFormatTag != WAVE_FORMAT_EXTENSIBLE && extra > 0) {
            ctx_->extradata = static_cast<std::uint8_t*>(av_.mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
            if (ctx_->extradata) {
                std::memcpy(ctx_->extradata, reinterpret_cast<const std::uint8_t*>(&in) + sizeof(WAVEFORMATEX), extra);
                ctx_->extradata_size = static_cast<int>(extra);
            }
        }
        if (av_.open2(ctx_, codec, nullptr) < 0) {
            av_.free_context(&ctx_);
            return;
        }
        block_ = in.nBlockAlign > 0 ? in.nBlockAlign : 1;
        // Block codecs get one block per packet; sample codecs get many.
        packetBytes_ = block_ >= 16 ? block_ : std::max<std::size_t>(block_, 4096 / block_ * block_);
        buffer_.assign(packetBytes_ + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        packet_ = av_.packet_alloc();
        frame_ = av_.frame_alloc();
        if (!packet_ || !frame_) Release();
    }
    ~WaveDecodeStream() override { Release(); }
    WaveDecodeStream(const WaveDecodeStream&) = delete;
    WaveDecodeStream& operator=(const WaveDecodeStream&) = delete;

    bool Ok() const { return ctx_ != nullptr; }

    std::size_t OutputBound(std::size_t srcBytes) const override {
        // No codec we know yields more than eight samples per byte and channel.
        const std::size_t frames = (srcBytes + 2 * packetBytes_) * 8 / channels_ + 8192;
        return frames * outBlock_;
    }
    std::size_t InputFor(std::size_t dstBytes) const override { return dstBytes / outBlock_ * channels_; }

    MMRESULT Convert(const std::uint8_t* src, std::size_t len, std::size_t& used, ByteSink& out,
                     bool end, bool blockAlignOnly) override {
        if (!ctx_) return ACMERR_NOTPOSSIBLE;
        if (blockAlignOnly) {
            const std::size_t partial = (filled_ + len) % block_;
            if (partial <= len) len -= partial;
        }
        used = len;
        while (len > 0) {
            const std::size_t take = std::min(packetBytes_ - filled_, len);
            std::memcpy(buffer_.data() + filled_, src, take);
            filled_ += take;
            src += take;
            len -= take;
            if (filled_ == packetBytes_) Decode(filled_, out);
        }
        if (end) {
            // Whole blocks still waiting are decoded, then a cut-off last
            // block on its own: ADPCM files commonly end inside their last
            // block, which still holds a few hundred samples.
            const std::size_t whole = filled_ / block_ * block_;
            const std::size_t rest = filled_ - whole;
            if (whole > 0) Decode(whole, out);
            if (rest > 0) {
                std::memmove(buffer_.data(), buffer_.data() + whole, rest);
                Decode(rest, out);
            }
            filled_ = 0;
            av_.send_packet(ctx_, nullptr);
            Drain(out);
            av_.flush_buffers(ctx_);
        }
        return MMSYSERR_NOERROR;
    }

    void Reset() override {
        filled_ = 0;
        if (ctx_) av_.flush_buffers(ctx_);
    }

private:
    void Decode(std::size_t bytes, ByteSink& out) {
        packet_->data = buffer_.data();
        packet_->size = static_cast<int>(bytes);
        std::memset(buffer_.data() + bytes, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        // A damaged packet is passed over; the next one decodes on its own.
        if (av_.send_packet(ctx_, packet_) == 0) Drain(out);
        filled_ = 0;
    }

    void Drain(ByteSink& out) {
        while (av_.receive_frame(ctx_, frame_) == 0) {
            const int n = frame_->nb_samples;
            const int frameChannels = frame_->ch_layout.nb_channels;
            if (n > 0 && frameChannels == channels_) {
                const std::size_t bytes = static_cast<std::size_t>(n) * outBlock_;
                std::uint8_t* p = out.Grab(bytes);
                std::uint8_t* w = p;
                for (int i = 0; i < n; ++i)
                    for (int c = 0; c < channels_; ++c) PutSample(SampleAt(av_, frame_, channels_, c, i), outBits_, w);
                out.Commit(bytes);
            }
            av_.frame_unref(frame_);
        }
    }

    void Release() {
        av_.frame_free(&frame_);
        av_.packet_free(&packet_);
        av_.free_context(&ctx_);
    }

    const AvLibrary& av_;
    int channels_;
    int outBits_;
    std::size_t outBlock_;
    std::size_t block_ = 1;
    std::size_t packetBytes_ = 1;
    std::vector<std::uint8_t> buffer_;
    std::size_t filled_ = 0;
    AVCodecContext* ctx_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
};

class WaveDecoderDriver final : public Driver {
public:
    const char* ShortName() const override { return "Wave-Decoder"; }
    DWORD Support() const override { return ACMDRIVERDETAILS_SUPPORTF_CODEC; }
    // It offers no target formats of its own: everything it makes is PCM,
    // and the PCM formats are the converter's.
    const std::vector<FormatEntry>& Formats() const override { return formats_; }

    bool Converts(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const override {
        return Decodable(in) && IsPlainPcm(out) && out.nChannels == in.nChannels &&
               out.nSamplesPerSec == in.nSamplesPerSec;
    }
    std::unique_ptr<CodecStream> Open(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const override {
        if (!Converts(in, out)) return nullptr;
        auto s = std::make_unique<WaveDecodeStream>(in, out);
        if (!s->Ok()) return nullptr;
        return s;
    }
    bool DecodesTo(const WAVEFORMATEX& in, WAVEFORMATEX& pcm) const override {
        if (!Decodable(in)) return false;
        pcm = PcmFormat(in.nSamplesPerSec, in.nChannels, NaturalBits(in));
        return true;
    }

private:
    std::vector<FormatEntry> formats_;
};

}  // namespace

std::unique_ptr<Driver> MakeWaveDecoderDriver() { return std::make_unique<WaveDecoderDriver>(); }

}  // namespace acm
