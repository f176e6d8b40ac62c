// The acm* functions: handle bookkeeping, argument checks and the stream
// plumbing that turns one or more driver streams into one ACM stream.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/acm/Driver.h"
#include "platform/acm/msacm.h"

namespace acm {

struct DriverId {
    std::size_t index;
};

struct DriverInstance {
    const DriverId* id;
};

struct Stage {
    std::unique_ptr<CodecStream> codec;
    std::vector<std::uint8_t> output;    // what this stage hands the next one
    std::vector<std::uint8_t> overflow;  // beyond output's room, rarely used
};

struct Prepared {
    const ACMSTREAMHEADER* header;
    LPBYTE src;
    DWORD srcLength;
    LPBYTE dst;
    DWORD dstLength;
};

struct Stream {
    std::vector<Stage> stages;
    std::vector<std::uint8_t> pending;  // output the caller had no room for
    std::vector<Prepared> prepared;
    bool fresh = true;

    std::size_t Bound(std::size_t src) const {
        for (const Stage& s : stages) src = s.codec->OutputBound(src);
        return src;
    }
    void Reset() {
        for (Stage& s : stages) {
            s.codec->Reset();
            s.overflow.clear();
        }
        pending.clear();
        fresh = true;
    }
    Prepared* Find(const ACMSTREAMHEADER* h) {
        for (Prepared& p : prepared)
            if (p.header == h) return &p;
        return nullptr;
    }
};

namespace {

std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}
std::unordered_set<const void*>& Live() {
    static std::unordered_set<const void*> live;
    return live;
}

void Register(const void* h) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    Live().insert(h);
}
void Unregister(const void* h) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    Live().erase(h);
}
bool IsLive(const void* h) {
    if (!h) return false;
    std::lock_guard<std::mutex> lock(RegistryLock());
    return Live().count(h) != 0;
}

const std::vector<DriverId>& DriverIds() {
    static const std::vector<DriverId> ids = [] {
        std::vector<DriverId> v;
        for (std::size_t i = 0; i < Drivers().size(); ++i) v.push_back(DriverId{i});
        for (const DriverId& id : v) Register(&id);
        return v;
    }();
    return ids;
}

using Record = std::vector<std::uint8_t>;

Record Copy(const WAVEFORMATEX& f) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
    return Record(p, p + RecordSize(f));
}

const WAVEFORMATEX& Fmt(const Record& r) { return *reinterpret_cast<const WAVEFORMATEX*>(r.data()); }

struct Step {
    const Driver* driver;
    Record in, out;
};

const Driver* FindDriver(const WAVEFORMATEX& in, const WAVEFORMATEX& out) {
    for (const auto& d : Drivers())
        if (d->Converts(in, out)) return d.get();
    return nullptr;
}

// Which drivers, in which order, carry in to out: one driver where one
// does it all; otherwise a decoder to PCM, the PCM converter and an encoder
// from PCM, each where it is needed.
bool Plan(const WAVEFORMATEX& in, const WAVEFORMATEX& out, const Driver* only, std::vector<Step>& steps) {
    if (only) {
        if (!only->Converts(in, out)) return false;
        steps.push_back({only, Copy(in), Copy(out)});
        return true;
    }
    if (const Driver* d = FindDriver(in, out)) {
        steps.push_back({d, Copy(in), Copy(out)});
        return true;
    }
    // The PCM between the steps: bare records, whatever extra bytes the
    // source's or target's claim (a copy would read past them).
    WAVEFORMATEX a = in, b = out;
    a.cbSize = b.cbSize = 0;
    if (!IsPlainPcm(in)) {
        const Driver* dec = nullptr;
        for (const auto& d : Drivers())
            if (d->DecodesTo(in, a)) {
                dec = d.get();
                break;
            }
        a.cbSize = 0;
        if (!dec || !dec->Converts(in, a)) return false;
        steps.push_back({dec, Copy(in), Copy(a)});
    }
    const Driver* enc = nullptr;
    if (!IsPlainPcm(out)) {
        for (const auto& d : Drivers())
            if (d->EncodesFrom(out, b)) {
                enc = d.get();
                break;
            }
        b.cbSize = 0;
        if (!enc || !enc->Converts(b, out)) return false;
    }
    if (std::memcmp(&a, &b, sizeof a - sizeof a.cbSize) != 0) {
        // Decoded channels keep the places the source's mask gave them, so
        // that they mix down where they belong.
        Record mixed = Copy(a);
        if (a.nChannels > 2 && ChannelMask(in) != 0) mixed = ExtensiblePcm(a, ChannelMask(in));
        const Driver* pcm = FindDriver(Fmt(mixed), b);
        if (!pcm) return false;
        steps.push_back({pcm, mixed, Copy(b)});
    }
    if (enc) steps.push_back({enc, Copy(b), Copy(out)});
    return !steps.empty();
}

// Runs src through the stages from index i on, the last one into sink.
void RunStages(Stream& s, std::size_t i, const std::uint8_t* src, std::size_t len, std::size_t& used,
               ByteSink& sink, bool end, bool blockAlign, MMRESULT& result) {
    Stage& stage = s.stages[i];
    const bool last = i + 1 == s.stages.size();
    if (last) {
        const MMRESULT r = stage.codec->Convert(src, len, used, sink, end, blockAlign);
        if (r != MMSYSERR_NOERROR) result = r;
        return;
    }
    ByteSink mid(stage.output.data(), stage.output.size(), stage.overflow);
    const MMRESULT r = stage.codec->Convert(src, len, used, mid, end, blockAlign);
    if (r != MMSYSERR_NOERROR) result = r;
    // The next stage takes everything: first what fitted, then the rest.
    std::size_t ignored = 0;
    const bool spilled = !stage.overflow.empty();
    RunStages(s, i + 1, stage.output.data(), mid.Written(), ignored, sink, end && !spilled, false, result);
    if (spilled) {
        RunStages(s, i + 1, stage.overflow.data(), stage.overflow.size(), ignored, sink, end, false, result);
        stage.overflow.clear();
    }
}

bool ValidHeader(const ACMSTREAMHEADER* h) { return h && h->cbStruct >= sizeof(ACMSTREAMHEADER); }

std::atomic<std::uint64_t> g_leftAtEnd{0};

}  // namespace

std::uint64_t OutputLeftAtEnd() { return g_leftAtEnd; }

}  // namespace acm

using namespace acm;

MMRESULT acmDriverEnum(ACMDRIVERENUMCB fnCallback, DWORD_PTR dwInstance, DWORD fdwEnum) {
    if (!fnCallback) return MMSYSERR_INVALPARAM;
    if (fdwEnum & ~(ACM_DRIVERENUMF_NOLOCAL | ACM_DRIVERENUMF_DISABLED)) return MMSYSERR_INVALFLAG;
    for (const DriverId& id : DriverIds()) {
        const DriverId* p = &id;
        if (!fnCallback(const_cast<DriverId*>(p), dwInstance, Drivers()[id.index]->Support())) break;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverOpen(HACMDRIVER* phad, HACMDRIVERID hadid, DWORD fdwOpen) {
    if (!phad) return MMSYSERR_INVALPARAM;
    DriverIds();
    if (!IsLive(hadid)) return MMSYSERR_INVALHANDLE;
    if (fdwOpen != 0) return MMSYSERR_INVALFLAG;
    auto* instance = new DriverInstance{hadid};
    Register(instance);
    *phad = instance;
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverClose(HACMDRIVER had, DWORD fdwClose) {
    if (!IsLive(had)) return MMSYSERR_INVALHANDLE;
    if (fdwClose != 0) return MMSYSERR_INVALFLAG;
    Unregister(had);
    delete had;
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatEnumA(HACMDRIVER had, LPACMFORMATDETAILSA pafd, ACMFORMATENUMCBA fnCallback,
                        DWORD_PTR dwInstance, DWORD fdwEnum) {
    if (!pafd || !fnCallback || pafd->cbStruct < sizeof(ACMFORMATDETAILSA) || !pafd->pwfx ||
        pafd->cbwfx < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    constexpr DWORD kFilters = ACM_FORMATENUMF_WFORMATTAG | ACM_FORMATENUMF_NCHANNELS |
                               ACM_FORMATENUMF_NSAMPLESPERSEC | ACM_FORMATENUMF_WBITSPERSAMPLE;
    constexpr DWORD kOthers = ACM_FORMATENUMF_CONVERT | ACM_FORMATENUMF_SUGGEST | ACM_FORMATENUMF_HARDWARE |
                              ACM_FORMATENUMF_INPUT | ACM_FORMATENUMF_OUTPUT;
    if (fdwEnum & ~(kFilters | kOthers)) return MMSYSERR_INVALFLAG;
    if (fdwEnum & kOthers) return MMSYSERR_NOTSUPPORTED;
    if (had && !IsLive(had)) return MMSYSERR_INVALHANDLE;

    const WAVEFORMATEX want = *pafd->pwfx;
    const DWORD wantTag = pafd->dwFormatTag;
    const DWORD room = pafd->cbwfx;
    for (const DriverId& id : DriverIds()) {
        if (had && had->id != &id) continue;
        const Driver& driver = *Drivers()[id.index];
        DWORD index = 0;
        for (const FormatEntry& e : driver.Formats()) {
            const WAVEFORMATEX& f = *reinterpret_cast<const WAVEFORMATEX*>(e.record.data());
            if ((fdwEnum & ACM_FORMATENUMF_WFORMATTAG) && f.wFormatTag != wantTag) continue;
            if ((fdwEnum & ACM_FORMATENUMF_NCHANNELS) && f.nChannels != want.nChannels) continue;
            if ((fdwEnum & ACM_FORMATENUMF_NSAMPLESPERSEC) && f.nSamplesPerSec != want.nSamplesPerSec) continue;
            if ((fdwEnum & ACM_FORMATENUMF_WBITSPERSAMPLE) && f.wBitsPerSample != want.wBitsPerSample) continue;
            if (e.record.size() > room) continue;  // never past the caller's buffer
            pafd->dwFormatIndex = index++;
            pafd->dwFormatTag = f.wFormatTag;
            pafd->fdwSupport = driver.Support();
            std::memcpy(pafd->pwfx, e.record.data(), e.record.size());
            pafd->cbwfx = static_cast<DWORD>(e.record.size());
            std::memset(pafd->szFormat, 0, sizeof pafd->szFormat);
            std::strncpy(pafd->szFormat, e.description.c_str(), sizeof pafd->szFormat - 1);
            const BOOL goOn = fnCallback(const_cast<DriverId*>(&id), pafd, dwInstance, driver.Support());
            pafd->cbwfx = room;
            if (!goOn) return MMSYSERR_NOERROR;
        }
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* phas, HACMDRIVER had, const WAVEFORMATEX* pwfxSrc,
                       const WAVEFORMATEX* pwfxDst, LPWAVEFILTER pwfltr, DWORD_PTR dwCallback,
                       DWORD_PTR /*dwInstance*/, DWORD fdwOpen) {
    if (phas) *phas = nullptr;
    if (!pwfxSrc || !pwfxDst) return MMSYSERR_INVALPARAM;
    if (fdwOpen & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME))
        return MMSYSERR_INVALFLAG;
    if ((fdwOpen & ACM_STREAMOPENF_ASYNC) || dwCallback || pwfltr) return MMSYSERR_NOTSUPPORTED;
    const bool query = (fdwOpen & ACM_STREAMOPENF_QUERY) != 0;
    if (!query && !phas) return MMSYSERR_INVALPARAM;
    if (had && !IsLive(had)) return MMSYSERR_INVALHANDLE;
    DriverIds();

    std::vector<Step> steps;
    const Driver* only = had ? Drivers()[had->id->index].get() : nullptr;
    if (!Plan(*pwfxSrc, *pwfxDst, only, steps)) return ACMERR_NOTPOSSIBLE;
    if (query) return MMSYSERR_NOERROR;

    auto stream = std::make_unique<Stream>();
    for (const Step& step : steps) {
        auto codec = step.driver->Open(Fmt(step.in), Fmt(step.out));
        if (!codec) return ACMERR_NOTPOSSIBLE;
        stream->stages.push_back(Stage{std::move(codec), {}, {}});
    }
    Stream* raw = stream.release();
    Register(raw);
    *phas = raw;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, DWORD* pdwOutputBytes, DWORD fdwSize) {
    if (!IsLive(has)) return MMSYSERR_INVALHANDLE;
    if (!pdwOutputBytes) return MMSYSERR_INVALPARAM;
    std::size_t n = cbInput;
    if (fdwSize == ACM_STREAMSIZEF_SOURCE) {
        n = has->Bound(n);
    } else if (fdwSize == ACM_STREAMSIZEF_DESTINATION) {
        for (auto it = has->stages.rbegin(); it != has->stages.rend(); ++it) n = it->codec->InputFor(n);
    } else {
        return MMSYSERR_INVALFLAG;
    }
    if (n > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
    *pdwOutputBytes = static_cast<DWORD>(n);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwPrepare) {
    if (!IsLive(has)) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(pash) || !pash->pbSrc || !pash->pbDst) return MMSYSERR_INVALPARAM;
    if (fdwPrepare != 0) return MMSYSERR_INVALFLAG;
    Prepared* p = has->Find(pash);
    if (!p) {
        has->prepared.push_back({});
        p = &has->prepared.back();
    }
    *p = Prepared{pash, pash->pbSrc, pash->cbSrcLength, pash->pbDst, pash->cbDstLength};
    // The buffers between stages are sized once here, for the largest
    // chunk this header can carry, so converting never allocates.
    std::size_t n = pash->cbSrcLength;
    for (std::size_t i = 0; i + 1 < has->stages.size(); ++i) {
        n = has->stages[i].codec->OutputBound(n);
        if (has->stages[i].output.size() < n) has->stages[i].output.resize(n);
    }
    pash->fdwStatus = (pash->fdwStatus & ~ACMSTREAMHEADER_STATUSF_DONE) | ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwConvert) {
    if (!IsLive(has)) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(pash)) return MMSYSERR_INVALPARAM;
    if (fdwConvert & ~(ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END))
        return MMSYSERR_INVALFLAG;
    const Prepared* p = has->Find(pash);
    if (!p || !(pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    if (pash->pbSrc != p->src || pash->pbDst != p->dst || pash->cbSrcLength > p->srcLength ||
        pash->cbDstLength > p->dstLength)
        return MMSYSERR_INVALPARAM;

    if ((fdwConvert & ACM_STREAMCONVERTF_START) && !has->fresh) has->Reset();
    has->fresh = false;
    pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;

    ByteSink sink(pash->pbDst, pash->cbDstLength, has->pending);
    sink.Settle();
    std::size_t used = 0;
    MMRESULT result = MMSYSERR_NOERROR;
    RunStages(*has, 0, pash->pbSrc, pash->cbSrcLength, used, sink,
              (fdwConvert & ACM_STREAMCONVERTF_END) != 0, (fdwConvert & ACM_STREAMCONVERTF_BLOCKALIGN) != 0,
              result);
    sink.Settle();
    if ((fdwConvert & ACM_STREAMCONVERTF_END) && !has->pending.empty()) g_leftAtEnd += has->pending.size();
    pash->cbSrcLengthUsed = static_cast<DWORD>(used);
    pash->cbDstLengthUsed = static_cast<DWORD>(sink.Written());
    pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return result;
}

MMRESULT acmStreamReset(HACMSTREAM has, DWORD fdwReset) {
    if (!IsLive(has)) return MMSYSERR_INVALHANDLE;
    if (fdwReset != 0) return MMSYSERR_INVALFLAG;
    has->Reset();
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamMessage(HACMSTREAM has, UINT uMsg, LPARAM lParam1, LPARAM lParam2) {
    if (!IsLive(has)) return MMSYSERR_INVALHANDLE;
    // The last stage that knows the message answers it: in a chain the
    // encoder comes last.
    for (auto stage = has->stages.rbegin(); stage != has->stages.rend(); ++stage) {
        const MMRESULT r = stage->codec->Message(uMsg, lParam1, lParam2);
        if (r != MMSYSERR_NOTSUPPORTED) return r;
    }
    return MMSYSERR_NOTSUPPORTED;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwUnprepare) {
    if (!IsLive(has)) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(pash)) return MMSYSERR_INVALPARAM;
    if (fdwUnprepare != 0) return MMSYSERR_INVALFLAG;
    Prepared* p = has->Find(pash);
    if (!p || !(pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    if (pash->pbSrc != p->src || pash->pbDst != p->dst || pash->cbSrcLength != p->srcLength ||
        pash->cbDstLength != p->dstLength)
        return MMSYSERR_INVALPARAM;
    has->prepared.erase(has->prepared.begin() + (p - has->prepared.data()));
    pash->fdwStatus &= ~(ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose) {
    if (!IsLive(has)) return MMSYSERR_INVALHANDLE;
    if (fdwClose != 0) return MMSYSERR_INVALFLAG;
    // Headers still prepared are simply forgotten: their memory is the
    // caller's and may already be gone.
    Unregister(has);
    delete has;
    return MMSYSERR_NOERROR;
}
