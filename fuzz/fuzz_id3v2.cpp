// The ID3v2 reader (every layout, frame by frame, into the one tag model)
// and the tag page's ID3v2 update, on arbitrary bytes: as a tag by
// itself, and as the start of an MP3 file.
#include <cstdio>
#include <filesystem>

#include "fuzz/FuzzFile.h"
#include "tags/CarriedTags.h"
#include "tags/FileTags.h"
#include "tags/Id3v2Edit.h"
#include "tags/PageFields.h"
#include "tags/TagModel.h"
#include "tags/TagUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    sondrel::TTagModel model;
    sondrel::ReadId3v2(model, bytes);
    // Whatever was read renders again, and reads back.
    (void)sondrel::Id3v2Fields(sondrel::RenderId3v2(model.Fields, 4));
    // What a conversion carries of it, with an APEv2 tag's items added.
    (void)sondrel::Carried(model, 0.026);
    sondrel::AddApeItems(model, {{"REPLAYGAIN_TRACK_GAIN", "-1 dB"}, {"Title", "x"}});
    (void)sondrel::Carried(model, 0.026);
    // A field changes frame by frame in whatever was read.
    sondrel::TTagModel own;
    sondrel::ReadId3v2(own, bytes);
    sondrel::TId3Fields other = own.Fields;
    other.Track = "4";
    other.Comment += "y";
    (void)sondrel::UpdatedId3v2(own, own.Fields, other);
    (void)sondrel::Id3v1ForSave(own, own.Fields, other, other.Comment);
    FuzzFile file(data, size);
    sondrel::TByteFile source;
    if (source.OpenRead(file.Path())) (void)sondrel::PageFields(sondrel::ReadSourceTags(source));
    source.Close();
    // The save writes a new file beside the old one: a real folder, not
    // the in-memory file.
    static const std::filesystem::path saved =
        std::filesystem::temp_directory_path() / ("fuzz_id3v2-" + std::to_string(getpid()) + ".mp3");
    if (FILE* f = std::fopen(saved.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        sondrel::TId3Fields changed;
        if (sondrel::ReadPageFields(saved, changed) != sondrel::TTagResult::Ok) changed = own.Fields;
        changed.Title += "x";
        (void)sondrel::SaveTagFields(saved, changed);
        std::filesystem::remove(saved);
    }
    return 0;
}
