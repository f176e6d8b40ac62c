#include "codec/ACMConvertor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "codec/LittleEndian.h"

namespace sondrel {

TACMConvertor::TACMConvertor(TComponent* owner) : TComponent(owner) {
    FStreamHandle = nullptr;
    SetInputBufferSize(2048);
    SetUseRealTime(false);
    // Both areas start as 22.05 kHz 8-bit mono PCM; cbSize holds the area's
    // size, which PCM never reads.
    for (TFormatArea* area : {&FormatIn, &FormatOut}) {
        area->Bytes.fill(0);
        WAVEFORMATEX& f = area->Wfx();
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = 1;
        f.nSamplesPerSec = 22050;
        f.nAvgBytesPerSec = 22050;
        f.nBlockAlign = 1;
        f.wBitsPerSample = 8;
        f.cbSize = kFormatAreaSize;
    }
}

TACMConvertor::~TACMConvertor() {
    try {
        SetActive(false);
    } catch (const EACMConvertor&) {
        // Nothing sensible is left to do with a stream that will not close.
    }
}

void TACMConvertor::SetActive(bool value) {
    if (value == FActive) return;
    if (value)
        Open();
    else
        Close();
}

void TACMConvertor::SetUseRealTime(bool value) {
    if (FActive) throw EACMConvertor("You cannot change the real time flag while active.");
    FUseRealTime = value;
}

void TACMConvertor::SetInputBufferSize(DWORD value) {
    if (FActive) throw EACMConvertor("You cannot change the buffer size while active.");
    FInputBufferSize = value;
}

void TACMConvertor::Open() {
    const DWORD flags = FUseRealTime ? 0 : ACM_STREAMOPENF_NONREALTIME;
    CheckResult("acmStreamOpen:", Calls.StreamOpen(&FStreamHandle, nullptr, &FormatIn.Wfx(), &FormatOut.Wfx(),
                                                   nullptr, 0, 0, flags));
    // A stream that opened but cannot be sized or prepared is closed again,
    // so that a failed open leaves nothing behind.
    auto abandon = [this] {
        Calls.StreamClose(FStreamHandle, 0);
        FStreamHandle = nullptr;
    };
    try {
        CheckResult("acmStreamSize:", Calls.StreamSize(FStreamHandle, FInputBufferSize, &FOutputBufferSize,
                                                       ACM_STREAMSIZEF_SOURCE));
    } catch (...) {
        abandon();
        throw;
    }
    FInputBuffer.reset(new BYTE[FInputBufferSize]);
    FOutputBuffer.reset(new BYTE[FOutputBufferSize]);
    StreamHeader.cbStruct = sizeof(ACMSTREAMHEADER);
    StreamHeader.fdwStatus = 0;
    StreamHeader.dwUser = 0;
    StreamHeader.pbSrc = FInputBuffer.get();
    StreamHeader.cbSrcLength = FInputBufferSize;
    StreamHeader.cbSrcLengthUsed = 0;
    StreamHeader.dwSrcUser = 0;
    StreamHeader.pbDst = FOutputBuffer.get();
    StreamHeader.cbDstLength = FOutputBufferSize;
    StreamHeader.cbDstLengthUsed = 0;
    StreamHeader.dwDstUser = 0;
    try {
        CheckResult("acmStreamPrepareHeader:", Calls.PrepareHeader(FStreamHandle, &StreamHeader, 0));
    } catch (...) {
        FInputBuffer.reset();
        FOutputBuffer.reset();
        abandon();
        throw;
    }
    FActive = true;
}

void TACMConvertor::Close() {
    StreamHeader.cbSrcLength = FInputBufferSize;
    StreamHeader.cbDstLength = FOutputBufferSize;
    CheckResult("acmStreamUnPrepareHeader:", Calls.UnprepareHeader(FStreamHandle, &StreamHeader, 0));
    CheckResult("acmStreamClose:", Calls.StreamClose(FStreamHandle, 0));
    FStreamHandle = nullptr;
    FInputBuffer.reset();
    FOutputBuffer.reset();
    FActive = false;
}

void TACMConvertor::CheckResult(const std::string& prefix, MMRESULT code) {
    const char* text = nullptr;
    switch (code) {
    case MMSYSERR_NOERROR: return;
    case MMSYSERR_INVALHANDLE: text = " The specified handle is invalid."; break;
    case MMSYSERR_NODRIVER: text = " A suitable driver is not available to provide valid format selections."; break;
    case MMSYSERR_NOMEM: text = " The system is unable to allocate resources."; break;
    case MMSYSERR_INVALFLAG: text = " At least one flag is invalid."; break;
    case MMSYSERR_INVALPARAM: text = " At least one parameter is invalid."; break;
    case ACMERR_NOTPOSSIBLE: text = " The requested operation cannot be performed."; break;
    case ACMERR_BUSY: text = " The conversion stream is already in use."; break;
    case ACMERR_UNPREPARED: text = " Cannot perform this action on a header that has not been prepared."; break;
    default: {
        char buf[64];
        std::snprintf(buf, sizeof buf, " raised an unknown error (code #%d)", static_cast<int>(code));
        throw EACMConvertor(prefix + buf);
    }
    }
    throw EACMConvertor(prefix + text);
}

void TACMConvertor::DefineProperties(TFiler& filer) {
    TComponent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "ACMFormatIn", [this](TStream& s) { ReadFormat(s, FormatIn); },
        [this](TStream& s) { WriteFormat(s, FormatIn); }, true);
    filer.DefineBinaryProperty(
        "ACMFormatOut", [this](TStream& s) { ReadFormat(s, FormatOut); },
        [this](TStream& s) { WriteFormat(s, FormatOut); }, true);
}

void TACMConvertor::ReadFormat(TStream& stream, TFormatArea& area) {
    std::uint8_t countBytes[4];
    stream.ReadBuffer(countBytes, 4);
    const std::uint32_t count = GetLe32(countBytes);
    // A count beyond the area is cut to it: a stored form never writes past
    // the 129 bytes.
    stream.ReadBuffer(area.Bytes.data(), std::min<std::size_t>(count, kFormatAreaSize));
}

void TACMConvertor::WriteFormat(TStream& stream, const TFormatArea& area) {
    const std::uint8_t count[4] = {kFormatAreaSize, 0, 0, 0};
    stream.Write(count, 4);
    stream.Write(area.Bytes.data(), kFormatAreaSize);
}

}  // namespace sondrel
