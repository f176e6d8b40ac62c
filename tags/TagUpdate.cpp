#include "tags/TagUpdate.h"

#include <cstring>
#include <vector>

#include "codec/ByteFile.h"
#include "tags/CarriedTags.h"

namespace sondrel {
namespace {

// Copies n bytes of from, at its position, to to.
bool Copy(TByteFile& from, TByteFile& to, std::int64_t n) {
    std::vector<std::uint8_t> buffer(1 << 20);
    while (n > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(n, buffer.size()));
        if (from.Read(buffer.data(), want) != want || to.Write(buffer.data(), want) != want) return false;
        n -= static_cast<std::int64_t>(want);
    }
    return true;
}

}  // namespace

TTagResult SaveTagFields(const std::filesystem::path& file, const TId3Fields& fields) {
    const TTagRecord record = RecordFromFields(fields);
    TTagRecord present{};
    if (ReadTagRecord(file, present) != TTagResult::Ok) return WriteTagRecord(file, record);
    const TId3Fields was = FieldsFromRecord(present);
    const bool changed = was.Title != fields.Title || was.Artist != fields.Artist || was.Album != fields.Album ||
                         was.Year != fields.Year || was.Comment != fields.Comment || was.Track != fields.Track ||
                         was.Genre != fields.Genre;
    TByteFile source;
    if (!changed || !source.OpenRead(file)) return WriteTagRecord(file, record);
    std::uint8_t head[10];
    const std::uint64_t tagSize = source.Read(head, 10) == 10 ? Id3v2Size(head, 10) : 0;
    const std::int64_t length = source.Size();
    if (tagSize == 0 || tagSize > kLargestCarriedTag || static_cast<std::int64_t>(tagSize) > length - 128)
        return WriteTagRecord(file, record);
    std::vector<std::uint8_t> tag(tagSize);
    source.Seek(0);
    if (source.Read(tag.data(), tag.size()) != tag.size()) return WriteTagRecord(file, record);
    const std::vector<std::uint8_t> fresh = UpdatedId3v2(tag, was, fields);
    if (fresh.empty()) return WriteTagRecord(file, record);

    // The new file: new ID3v2 tag, the audio as it was, the new ID3v1 tag.
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::weakly_canonical(file, ec);
    const std::filesystem::path& target = ec ? file : real;
    const std::filesystem::path temp = target.parent_path() / ("." + target.filename().string() + ".sondrel-tmp");
    TByteFile out;
    if (!out.Create(temp)) return TTagResult::NotSaved;
    source.Seek(static_cast<std::int64_t>(tagSize));
    const bool written = out.Write(fresh.data(), fresh.size()) == fresh.size() &&
                         Copy(source, out, length - 128 - static_cast<std::int64_t>(tagSize)) &&
                         out.Write(record.data(), record.size()) == record.size() && out.Sync();
    out.Close();
    if (written) {
        std::filesystem::permissions(temp, std::filesystem::status(target, ec).permissions(), ec);
        std::filesystem::rename(temp, target, ec);
        if (!ec) return TTagResult::Ok;
    }
    std::filesystem::remove(temp, ec);
    return TTagResult::NotSaved;
}

}  // namespace sondrel
