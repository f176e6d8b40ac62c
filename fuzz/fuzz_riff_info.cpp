// The tag chunks of a WAVE file (LIST/INFO and "id3 "), on arbitrary bytes:
// as a LIST body by itself, and as a whole file walked for its chunks.
#include "fuzz/FuzzFile.h"
#include "tags/CarriedTags.h"
#include "tags/FileTags.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    (void)sondrel::RenderInfo(sondrel::InfoSummary(bytes));
    FuzzFile file(data, size);
    sondrel::TByteFile source;
    if (!source.OpenRead(file.Path())) return 0;
    const sondrel::TWaveTagChunks chunks = sondrel::FindWaveTagChunks(source);
    (void)sondrel::WaveTagTail(chunks);
    (void)sondrel::WaveTagTail(sondrel::Carried(sondrel::ReadWaveTags(source)));
    return 0;
}
