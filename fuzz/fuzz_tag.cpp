// The ID3v1 reader and the texts it makes, on arbitrary bytes.
#include <cstring>

#include "fuzz/FuzzFile.h"
#include "tags/Id3Tag.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFile file(data, size);
    sondrel::TTagRecord record{};
    if (sondrel::ReadTagRecord(file.Path(), record) == sondrel::TTagResult::Ok) {
        // What the editor shows must write back into a record of its own.
        const sondrel::TId3Fields fields = sondrel::FieldsFromRecord(record);
        (void)sondrel::RecordFromFields(fields);
    }
    sondrel::TId3Fields f;
    f.Title.assign(reinterpret_cast<const char*>(data), size);  // any bytes as "UTF-8"
    f.Genre = f.Title;
    f.Track = f.Title;
    (void)sondrel::RecordFromFields(f);
    return 0;
}
