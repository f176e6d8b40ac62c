// The MP3 and PCM formats the installed codecs offer, learnt once at start
// by enumerating every driver and every format of every driver. The window
// and the command-line tool both fill their format lists from it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "codec/ACMConvertor.h"

namespace sondrel {

using TFormatSlot = std::array<std::uint8_t, kFormatAreaSize>;

class TFormatCatalogue {
public:
    // What a front end does while the catalogue is built.
    class Host {
    public:
        virtual ~Host() = default;
        virtual void AddMP3Description(const std::string& /*text*/) {}
        virtual void AddWAVDescription(const std::string& /*text*/) {}
        virtual void ProcessMessages() {}
    };

    void Build(Host* host = nullptr);
    void Release();  // what the window does when it is destroyed

    void ACMEnumDrvrMethod(HACMDRIVERID driverId);
    void ACMEnumFmtMethod(HACMDRIVERID driverId, const ACMFORMATDETAILSA& details);

    // Copies the slot at index into area; false (and area untouched) when
    // the index names no entry of the table.
    static bool CopySlot(const std::vector<TFormatSlot>& table, int index, TFormatArea& area);

    // Each table with its descriptions, entry for entry.
    std::vector<TFormatSlot> MP3FormatTable;
    std::vector<std::string> MP3Descriptions;
    std::vector<TFormatSlot> WAVFormatTable;
    std::vector<std::string> WAVDescriptions;
    int MP3FormatCount() const { return static_cast<int>(MP3FormatTable.size()); }
    int WAVFormatCount() const { return static_cast<int>(WAVFormatTable.size()); }

private:
    static void File(std::vector<TFormatSlot>& table, std::vector<std::string>& texts,
                     const ACMFORMATDETAILSA& details);
    Host* host_ = nullptr;
};

}  // namespace sondrel
