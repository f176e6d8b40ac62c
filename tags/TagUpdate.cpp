#include "tags/TagUpdate.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>

#include <cstring>
#include <vector>

#include "codec/ByteFile.h"
#include "tags/CarriedTags.h"

namespace sondrel {
namespace {

unsigned Number(const std::string& text) {
    long long n = 0;
    return ReadWholeNumber(text, n) && n > 0 ? static_cast<unsigned>(n) : 0;
}

// The ID3v2 tag with the changed fields set, in its own version (2.2 is
// written as 2.3); empty when it cannot be read.
std::vector<std::uint8_t> Updated(const std::vector<std::uint8_t>& tag, const TId3Fields& was, const TId3Fields& now) {
    TagLib::ByteVector bytes(reinterpret_cast<const char*>(tag.data()), static_cast<unsigned>(tag.size()));
    TagLib::ByteVectorStream stream(bytes);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid() || !file.hasID3v2Tag()) return {};
    TagLib::ID3v2::Tag& t = *file.ID3v2Tag();
    const auto text = [](const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); };
    if (now.Title != was.Title) t.setTitle(text(now.Title));
    if (now.Artist != was.Artist) t.setArtist(text(now.Artist));
    if (now.Album != was.Album) t.setAlbum(text(now.Album));
    if (now.Comment != was.Comment) t.setComment(text(now.Comment));
    if (now.Genre != was.Genre) t.setGenre(text(now.Genre));
    if (now.Year != was.Year) t.setYear(Number(now.Year));
    if (now.Track != was.Track) t.setTrack(Number(now.Track));
    const TagLib::ByteVector out = t.render(t.header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3);
    return std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(out.data()),
                                     reinterpret_cast<const std::uint8_t*>(out.data()) + out.size());
}

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
    const std::vector<std::uint8_t> fresh = Updated(tag, was, fields);
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
