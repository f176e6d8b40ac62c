#include "tags/Summary.h"

#include <cstring>

#include "codec/LittleEndian.h"
#include "tags/Cp1252.h"
#include "tags/Genres.h"

namespace sondrel {

std::string SummaryText(const TSummary& summary, const std::string& id) {
    for (const auto& [key, text] : summary)
        if (key == id) return text;
    return {};
}

void SetSummaryText(TSummary& summary, const std::string& id, const std::string& text) {
    if (text.empty()) return;
    for (auto& [key, value] : summary)
        if (key == id) {
            value = text;
            return;
        }
    summary.emplace_back(id, text);
}

TSummary InfoSummary(const std::vector<std::uint8_t>& body) {
    TSummary s;
    if (body.size() < 4 || std::memcmp(body.data(), "INFO", 4) != 0) return s;
    for (std::size_t at = 4; at + 8 <= body.size();) {
        const std::string id(reinterpret_cast<const char*>(&body[at]), 4);
        const std::size_t size = GetLe32(&body[at + 4]);
        const std::size_t start = at + 8, end = std::min(body.size(), start + size);
        std::size_t n = 0;
        while (start + n < end && body[start + n] != 0) ++n;
        const std::string raw(reinterpret_cast<const char*>(&body[start]), n);
        const std::string text = IsUtf8(raw) ? raw : Cp1252ToUtf8(&body[start], n);
        // The track lives under either name, depending on the writer.
        SetSummaryText(s, id == "IPRT" ? "ITRK" : id, text);
        if (size > body.size()) break;
        at = start + size + (size & 1);
    }
    return s;
}

std::vector<std::uint8_t> RenderInfo(const TSummary& summary) {
    std::vector<std::uint8_t> out;
    for (const auto& field : summary) {
        const std::string& id = field.first;
        const std::string& text = field.second;
        if (text.empty() || id.size() != 4) continue;
        if (out.empty()) out = {'I', 'N', 'F', 'O'};
        const auto add = [&](const char* key) {
            std::uint8_t head[8];
            std::memcpy(head, key, 4);
            PutLe32(head + 4, static_cast<std::uint32_t>(text.size() + 1));
            out.insert(out.end(), head, head + 8);
            out.insert(out.end(), text.begin(), text.end());
            out.push_back(0);
            if ((text.size() + 1) & 1) out.push_back(0);
        };
        add(id.c_str());
        // Both names of the track field: readers differ in which they read.
        if (id == "ITRK") add("IPRT");
    }
    return out;
}

TSummary Id3v1Summary(const TTagRecord& record) {
    const TId3Fields f = FieldsFromRecord(record);
    TSummary s;
    SetSummaryText(s, "INAM", f.Title);
    SetSummaryText(s, "IART", f.Artist);
    SetSummaryText(s, "IPRD", f.Album);
    SetSummaryText(s, "ICRD", f.Year);
    SetSummaryText(s, "ICMT", f.Comment);
    SetSummaryText(s, "ITRK", f.Track);
    // A genre byte outside the list is "no genre", not a name.
    if (record[127] < kGenreCount) SetSummaryText(s, "IGNR", f.Genre);
    return s;
}

TTagRecord Id3v1Record(const TSummary& s) {
    TId3Fields f;
    f.Title = SummaryText(s, "INAM");
    f.Artist = SummaryText(s, "IART");
    f.Album = SummaryText(s, "IPRD");
    f.Year = Utf8Prefix(SummaryText(s, "ICRD"), 4);
    const std::string track = SummaryText(s, "ITRK");
    f.Track = track.substr(0, track.find('/'));
    TTagRecord r = RecordFromFields(f);
    // The comment gives its last two bytes to a track, as other taggers
    // write the record: the whole comment is in the ID3v2 tag beside it.
    long long number = 0;
    const bool hasTrack = ReadWholeNumber(f.Track, number) && number >= 1 && number <= 255;
    const std::string comment = Utf8ToCp1252(SummaryText(s, "ICMT"), hasTrack ? 28 : 30);
    std::memcpy(r.data() + 97, comment.data(), comment.size());
    // A genre keeps its number in any common spelling.
    const int genre = GenreNumber(SummaryText(s, "IGNR"));
    r[127] = genre < 0 ? 255 : static_cast<std::uint8_t>(genre);
    return r;
}

}  // namespace sondrel
