#include "codec/FormatCatalogue.h"

#include <algorithm>
#include <cstring>

namespace sondrel {
namespace {

BOOL DriverCallback(HACMDRIVERID hadid, DWORD_PTR instance, DWORD /*support*/) {
    reinterpret_cast<TFormatCatalogue*>(instance)->ACMEnumDrvrMethod(hadid);
    return TRUE;
}

BOOL FormatCallback(HACMDRIVERID hadid, LPACMFORMATDETAILSA details, DWORD_PTR instance, DWORD /*support*/) {
    reinterpret_cast<TFormatCatalogue*>(instance)->ACMEnumFmtMethod(hadid, *details);
    return TRUE;
}

}  // namespace

void TFormatCatalogue::Build(Host* host) {
    host_ = host;
    acmDriverEnum(&DriverCallback, reinterpret_cast<DWORD_PTR>(this), ACM_DRIVERENUMF_DISABLED);
    host_ = nullptr;
}

void TFormatCatalogue::Release() {
    MP3FormatTable.clear();
    MP3Descriptions.clear();
    WAVFormatTable.clear();
    WAVDescriptions.clear();
}

void TFormatCatalogue::ACMEnumDrvrMethod(HACMDRIVERID driverId) {
    TFormatSlot buffer{};
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    wfx->wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    wfx->cbSize = kFormatAreaSize;
    ACMFORMATDETAILSA details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = WAVE_FORMAT_MPEGLAYER3;
    details.pwfx = wfx;
    details.cbwfx = kFormatAreaSize;
    // A driver that cannot be opened is passed over: enumerating through an
    // empty handle would list every driver's formats again.
    HACMDRIVER driver = nullptr;
    if (acmDriverOpen(&driver, driverId, 0) == MMSYSERR_NOERROR) {
        acmFormatEnumA(driver, &details, &FormatCallback, reinterpret_cast<DWORD_PTR>(this), 0);
        acmDriverClose(driver, 0);
    }
    if (host_) host_->ProcessMessages();
}

void TFormatCatalogue::File(std::vector<TFormatSlot>& table, std::vector<std::string>& texts,
                            const ACMFORMATDETAILSA& details) {
    TFormatSlot& slot = table.emplace_back();
    slot.fill(0);
    std::memcpy(slot.data(), details.pwfx, std::min<std::size_t>(details.cbwfx, kFormatAreaSize));
    texts.emplace_back(details.szFormat, strnlen(details.szFormat, ACMFORMATDETAILS_FORMAT_CHARS));
}

void TFormatCatalogue::ACMEnumFmtMethod(HACMDRIVERID /*driverId*/, const ACMFORMATDETAILSA& details) {
    if (details.dwFormatTag == WAVE_FORMAT_MPEGLAYER3) {
        File(MP3FormatTable, MP3Descriptions, details);
        if (host_) host_->AddMP3Description(MP3Descriptions.back());
    }
    if (details.dwFormatTag == WAVE_FORMAT_PCM) {
        File(WAVFormatTable, WAVDescriptions, details);
        if (host_) host_->AddWAVDescription(WAVDescriptions.back());
    }
}

bool TFormatCatalogue::CopySlot(const std::vector<TFormatSlot>& table, int index, TFormatArea& area) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) return false;
    area.Bytes = table[static_cast<std::size_t>(index)];
    return true;
}

}  // namespace sondrel
