// The MPEG frame analysis on arbitrary bytes, with the real catalogue.
#include "codec/FrameAnalysis.h"
#include "fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static sondrel::TFormatCatalogue catalogue = [] {
        sondrel::TFormatCatalogue c;
        c.Build();
        return c;
    }();
    FuzzFile file(data, size);
    sondrel::TByteFile f;
    if (!f.OpenRead(file.Path())) return 0;
    sondrel::TACMConvertor mp3wav;
    try {
        sondrel::TFrameAnalysis a = sondrel::LocateAudio(f);
        sondrel::DeriveFormats(a, f, mp3wav, catalogue.MP3FormatTable);
    } catch (const sondrel::EInOutError&) {
    }
    return 0;
}
