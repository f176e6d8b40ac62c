// The WAVE chunk walk on arbitrary bytes.
#include "codec/WaveFile.h"
#include "fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFile file(data, size);
    sondrel::TByteFile f;
    if (!f.OpenRead(file.Path())) return 0;
    sondrel::TWaveChunks chunks;
    try {
        sondrel::WalkChunks(f, chunks);
    } catch (const sondrel::EInOutError&) {
    }
    return 0;
}
