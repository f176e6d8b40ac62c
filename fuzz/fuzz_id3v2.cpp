// The ID3v2 reader of carried tags and the tag page's ID3v2 update, on
// arbitrary bytes: as a tag by itself, and as the start of an MP3 file.
#include <cstdio>
#include <filesystem>

#include "fuzz/FuzzFile.h"
#include "tags/CarriedTags.h"
#include "tags/FileTags.h"
#include "tags/TagUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const sondrel::TId3Fields fields = sondrel::Id3v2Fields(bytes);
    // Whatever was read renders again, and reads back.
    (void)sondrel::Id3v2Fields(sondrel::RenderId3v2(fields, 4));
    // What a conversion carries of it: the tag whole, and its summary.
    (void)sondrel::CarriedId3v2(bytes);
    (void)sondrel::RenderId3v2(sondrel::Id3v2Summary(bytes), 3);
    FuzzFile file(data, size);
    sondrel::TByteFile source;
    if (source.OpenRead(file.Path())) (void)sondrel::Mp3SourceTags(source);
    source.Close();
    // The save writes a new file beside the old one: a real folder, not
    // the in-memory file.
    static const std::filesystem::path saved =
        std::filesystem::temp_directory_path() / ("fuzz_id3v2-" + std::to_string(getpid()) + ".mp3");
    if (FILE* f = std::fopen(saved.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        sondrel::TTagRecord record{};
        sondrel::TId3Fields changed = fields;
        if (sondrel::ReadTagRecord(saved, record) == sondrel::TTagResult::Ok) changed = sondrel::FieldsFromRecord(record);
        changed.Title += "x";
        (void)sondrel::SaveTagFields(saved, changed);
        std::filesystem::remove(saved);
    }
    return 0;
}
