// The ID3v2 reader of carried tags (every layout, frame by frame) and the
// tag page's ID3v2 update, on arbitrary bytes: as a tag by itself, and as
// the start of an MP3 file.
#include <cstdio>
#include <filesystem>

#include "fuzz/FuzzFile.h"
#include "tags/CarriedTags.h"
#include "tags/FileTags.h"
#include "tags/Id3v2Edit.h"
#include "tags/Id3v2Frames.h"
#include "tags/TagUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const sondrel::TId3Fields fields = sondrel::Id3v2Fields(bytes);
    // Whatever was read renders again, and reads back.
    (void)sondrel::Id3v2Fields(sondrel::RenderId3v2(fields, 4));
    // What a conversion carries of it: the tag whole, and its summary.
    (void)sondrel::CarriedId3v2(bytes, 0.026);
    (void)sondrel::WithApeItems(bytes, {{"REPLAYGAIN_TRACK_GAIN", "-1 dB"}, {"Title", "x"}});
    // Every layout reads into frames that render again, and a field
    // changes frame by frame in whatever it reads.
    sondrel::TId3v2Layout layout;
    if (sondrel::ParseId3v2(bytes, layout)) (void)sondrel::Id3v2Fields(sondrel::RenderId3v2Frames(layout));
    sondrel::TId3Fields other = fields;
    other.Track = "4";
    other.Comment += "y";
    (void)sondrel::UpdatedId3v2(bytes, fields, other);
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
