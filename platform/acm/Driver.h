// The driver layer behind the acm* functions: each driver lists its formats,
// says which format pairs it converts and opens codec streams for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/acm/msacm.h"

namespace acm {

// Where a codec stream puts its output. Bytes go into the caller's
// destination buffer while it has room and into an overflow queue after
// that, so nothing a codec produces is ever dropped; the queue is handed
// out first on the next call.
class ByteSink {
public:
    ByteSink(std::uint8_t* dst, std::size_t room, std::vector<std::uint8_t>& overflow)
        : dst_(dst), room_(room), overflow_(overflow), spilled_(!overflow.empty()) {}

    void Write(const void* data, std::size_t n);
    // Room for n bytes to write into directly; Commit says how many were used.
    std::uint8_t* Grab(std::size_t n);
    void Commit(std::size_t used);
    // Moves queued bytes into what is left of the destination buffer.
    void Settle();

    std::size_t Written() const { return written_; }

private:
    std::uint8_t* dst_;
    std::size_t room_;
    std::size_t written_ = 0;
    std::vector<std::uint8_t>& overflow_;
    bool spilled_;
    bool grabbedOverflow_ = false;
    std::size_t grabbedAt_ = 0;
};

// One open conversion of one driver.
class CodecStream {
public:
    virtual ~CodecStream() = default;
    // The most bytes one call offering srcBytes can produce, including what
    // the codec holds back from earlier calls and what END flushes.
    virtual std::size_t OutputBound(std::size_t srcBytes) const = 0;
    // Roughly how many source bytes give dstBytes of output.
    virtual std::size_t InputFor(std::size_t dstBytes) const = 0;
    // Converts src; sets used to the bytes consumed (all of them, or only
    // whole blocks when blockAlignOnly is set). Partial frames stay inside.
    virtual MMRESULT Convert(const std::uint8_t* src, std::size_t len, std::size_t& used,
                             ByteSink& out, bool end, bool blockAlignOnly) = 0;
    // Forgets everything held; the next call starts a new signal.
    virtual void Reset() = 0;
    // A driver-specific message (acmStreamMessage); MMSYSERR_NOTSUPPORTED
    // for one the codec does not know.
    virtual MMRESULT Message(UINT /*msg*/, LPARAM /*lParam1*/, LPARAM /*lParam2*/) {
        return MMSYSERR_NOTSUPPORTED;
    }
};

// acmStreamMessage(has, ACMDM_MP3_INFOFRAME, buffer, size), sent to a stream
// whose last stage is the MP3 encoder, after the call that carried END:
// lParam1 points to a buffer, lParam2 to a DWORD holding its room. The
// encoder begins every stream with an info frame holding no values yet (a
// placeholder, one frame long); this message hands out that frame filled
// in with the final encoder delay, padding, frame count and check sums,
// for the caller to write over the placeholder, and sets *lParam2 to its
// length. ACMERR_NOTPOSSIBLE before END; MMSYSERR_INVALPARAM for a missing
// or too small buffer (*lParam2 then says what is needed). The stream
// itself stays ignorant of files: where the frame goes is the caller's.
//
// acmStreamMessage(has, ACMDM_MP3_INFOFRAME_CUT, &cut, 0), sent to the same
// stream at any time, for a stream whose output reached the file only in
// part (a failed write): cut says how many whole audio frames and bytes
// the file holds and their check sum, as the caller read them back. The
// frame for that stream (no padding at its end) goes into cut.pbFrame and
// cut.cbFrame says its length; MMSYSERR_INVALPARAM where it has no room.
//
// acmStreamMessage(has, ACMDM_MP3_LENGTH, frames, 0), sent to the same
// stream before its first convert call: the signal to come is about
// frames sample frames long (at the encoder's rate). A long signal is cut
// into blocks by that length (so that they come out even); the stream's
// bytes depend on it, so send the same figure for the same source. A
// wrong figure costs speed, never audio. MMSYSERR_NOERROR; ignored once
// the stream has samples.
//
// acmStreamMessage(has, ACMDM_STREAM_STOP, 0, 0), sent to any stream before
// the call that carries END, when the user stops the conversion: the
// stream ends as soon as it can, with what it has made whole. The MP3
// encoder drops the blocks in work (a minute of signal each) instead of
// encoding them to their end, and ends its stream with the frames joined
// so far. MMSYSERR_NOTSUPPORTED from streams that have nothing to drop.
// (The message numbers are declared with the acm* calls in msacm.h.)

struct FormatEntry {
    std::vector<std::uint8_t> record;  // WAVEFORMATEX and its extra bytes
    std::string description;
};

class Driver {
public:
    virtual ~Driver() = default;
    virtual const char* ShortName() const = 0;
    virtual DWORD Support() const = 0;
    virtual const std::vector<FormatEntry>& Formats() const = 0;
    virtual bool Converts(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const = 0;
    virtual std::unique_ptr<CodecStream> Open(const WAVEFORMATEX& in, const WAVEFORMATEX& out) const = 0;
    // For chaining: the PCM format a compressed source decodes to.
    virtual bool DecodesTo(const WAVEFORMATEX& /*in*/, WAVEFORMATEX& /*pcm*/) const { return false; }
    // For chaining: the PCM format an encoder wants for this target.
    virtual bool EncodesFrom(const WAVEFORMATEX& /*out*/, WAVEFORMATEX& /*pcm*/) const { return false; }
};

// The registered drivers in their fixed order: MPEG Layer-3 codec, PCM
// converter, wave decoder.
const std::vector<std::unique_ptr<Driver>>& Drivers();

std::unique_ptr<Driver> MakeMpegLayer3Driver();
std::unique_ptr<Driver> MakePcmConverterDriver();
std::unique_ptr<Driver> MakeWaveDecoderDriver();

// Wave format helpers shared by the drivers.
// Integer PCM of 8, 16 or 24 bits: tag 1, or the extensible record of PCM
// (which says where its channels belong).
bool IsPlainPcm(const WAVEFORMATEX& f);
// The channel mask of an extensible record; 0 for none.
std::uint32_t ChannelMask(const WAVEFORMATEX& f);
// pcm's record as the extensible record of PCM with this channel mask.
std::vector<std::uint8_t> ExtensiblePcm(const WAVEFORMATEX& pcm, std::uint32_t mask);
WAVEFORMATEX PcmFormat(DWORD rate, WORD channels, WORD bits);

// Bytes that calls carrying END made but could not hand out, their
// destination being full: a codec that gives out more than its
// OutputBound() promised loses them, as no call comes after END. Zero in
// a sound build; the tests watch it.
std::uint64_t OutputLeftAtEnd();

// The full record (header and extra bytes) of a format pointer, as far as
// cbSize says, capped at the format area's size for non-PCM tags.
std::size_t RecordSize(const WAVEFORMATEX& f);
// "44.100" for 44100: the German way of grouping thousands.
std::string GroupThousands(unsigned value);

}  // namespace acm
