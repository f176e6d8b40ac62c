// TACMConvertor owns one conversion stream of the compression manager, its
// stream header, its two buffers and its input and output formats. The
// conversion routines configure it, make it active, feed its input buffer
// chunk by chunk through acmStreamConvert and take the output buffer's bytes.
#pragma once

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "codec/Component.h"
#include "platform/acm/FormatArea.h"
#include "platform/acm/msacm.h"

namespace sondrel {

using acm::kFormatAreaSize;

// kFormatAreaSize bytes holding one wave format record and its extra bytes; the same
// size as a slot of the format tables, so records are copied whole.
struct TFormatArea {
    // Aligned so that every field of the records inside sits on its natural
    // boundary.
    alignas(8) std::array<std::uint8_t, kFormatAreaSize> Bytes{};

    WAVEFORMATEX& Wfx() { return *reinterpret_cast<WAVEFORMATEX*>(Bytes.data()); }
    const WAVEFORMATEX& Wfx() const { return *reinterpret_cast<const WAVEFORMATEX*>(Bytes.data()); }
    MPEGLAYER3WAVEFORMAT& Mp3() { return *reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(Bytes.data()); }
    const MPEGLAYER3WAVEFORMAT& Mp3() const { return *reinterpret_cast<const MPEGLAYER3WAVEFORMAT*>(Bytes.data()); }
};

class EACMConvertor : public std::runtime_error {
public:
    explicit EACMConvertor(const std::string& message) : std::runtime_error(message) {}
};

// The stream calls the convertor makes, replaceable so that the component's
// own behaviour can be checked against any result a codec might give.
struct TAcmStreamCalls {
    decltype(&acmStreamOpen) StreamOpen = &acmStreamOpen;
    decltype(&acmStreamSize) StreamSize = &acmStreamSize;
    decltype(&acmStreamPrepareHeader) PrepareHeader = &acmStreamPrepareHeader;
    decltype(&acmStreamUnprepareHeader) UnprepareHeader = &acmStreamUnprepareHeader;
    decltype(&acmStreamClose) StreamClose = &acmStreamClose;
    decltype(&acmStreamConvert) StreamConvert = &acmStreamConvert;
};

class TACMConvertor : public TComponent {
public:
    explicit TACMConvertor(TComponent* owner = nullptr);
    ~TACMConvertor() override;

    bool Active() const { return FActive; }
    void SetActive(bool value);
    bool UseRealTime() const { return FUseRealTime; }
    void SetUseRealTime(bool value);
    DWORD InputBufferSize() const { return FInputBufferSize; }
    void SetInputBufferSize(DWORD value);
    DWORD OutputBufferSize() const { return FOutputBufferSize; }

    BYTE* InputBuffer() { return FInputBuffer.get(); }
    BYTE* OutputBuffer() { return FOutputBuffer.get(); }
    HACMSTREAM StreamHandle() const { return FStreamHandle; }
    ACMSTREAMHEADER StreamHeader{};

    TFormatArea FormatIn;
    TFormatArea FormatOut;

    // Turns a result code into an EACMConvertor; returns for 0.
    static void CheckResult(const std::string& prefix, MMRESULT code);

    void DefineProperties(TFiler& filer) override;
    // The stored form of a format area: a 32-bit count and that many bytes.
    static void ReadFormat(TStream& stream, TFormatArea& area);
    static void WriteFormat(TStream& stream, const TFormatArea& area);

    TAcmStreamCalls Calls;

private:
    void Open();
    void Close();

    bool FActive = false;
    bool FUseRealTime = false;
    std::unique_ptr<BYTE[]> FInputBuffer;
    std::unique_ptr<BYTE[]> FOutputBuffer;
    DWORD FInputBufferSize = 0;
    DWORD FOutputBufferSize = 0;
    HACMSTREAM FStreamHandle = nullptr;
};

}  // namespace sondrel
