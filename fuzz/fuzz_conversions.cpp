// The four conversions end to end on a damaged source file: the first byte
// picks the conversion and the target format, the rest is the file. Each
// must end (with a message, an exception the front end reports, or a
// target) and leave the source as it was.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "jobs/ConverterCore.h"

namespace {

struct SilentHost : sondrel::TJobHost {
    void ShowNotice(const std::string&) override {}
    void ShowError(const std::string&) override {}
    void ShowProgress(int, int) override {}
    void ProcessMessages() override {}
};

const sondrel::TFormatCatalogue& Catalogue() {
    static const sondrel::TFormatCatalogue built = [] {
        sondrel::TFormatCatalogue c;
        c.Build();
        return c;
    }();
    return built;
}

std::filesystem::path FolderOfThisProcess() {
    return std::filesystem::temp_directory_path() / ("sondrel-fuzz-" + std::to_string(getpid()));
}

std::filesystem::path Folder() {
    static const std::filesystem::path dir = [] {
        auto p = FolderOfThisProcess();
        std::filesystem::create_directories(p);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(FolderOfThisProcess(), ec);
        });
        return p;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    const std::string source = (Folder() / "source").string(), target = (Folder() / "target").string();
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    SilentHost host;
    sondrel::TConverterCore core(host);
    core.Catalogue = Catalogue();
    // A few everyday targets and the list's ends.
    const int mp3Picks[] = {0, 1, core.Catalogue.MP3FormatCount() - 1};
    const int wavPicks[] = {0, 3, core.Catalogue.WAVFormatCount() - 1};
    core.Mp3FormatIndex = mp3Picks[(choice >> 2) % 3];
    core.WavFormatIndex = wavPicks[(choice >> 4) % 3];
    try {
        switch (choice & 3) {
        case 0: core.ConvertMP3WAV(source, target); break;
        case 1: core.ConvertMP3CDWAV(source, target); break;
        case 2: core.ConvertWAVMP3(source, target); break;
        default: core.ConvertWAV2WAV(source, target); break;
        }
    } catch (const std::exception&) {
        // EACMConvertor and EInOutError reach the front end's report.
    }
    if (core.State.Busy) __builtin_trap();
    // The source is never written to.
    std::ifstream back(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(back)), {});
    if (bytes.size() != size - 1 || (size > 1 && std::memcmp(bytes.data(), data + 1, size - 1) != 0)) __builtin_trap();
    return 0;
}
