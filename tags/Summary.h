// The summary of a tag that a conversion writes where only a few plain
// fields have room: the LIST/INFO chunk of a WAV target and the ID3v1.1 tag
// of an MP3 target. Fields are named by their INFO identifiers, in the
// order they were found, texts in UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tags/Id3Tag.h"

namespace sondrel {

using TSummary = std::vector<std::pair<std::string, std::string>>;

// The text of one field; empty where there is none.
std::string SummaryText(const TSummary& summary, const std::string& id);
// Sets (or adds) one field; an empty text is no field.
void SetSummaryText(TSummary& summary, const std::string& id, const std::string& text);

// The body of a LIST chunk ("INFO" and its sub-chunks). Texts are read as
// UTF-8 where they are valid UTF-8 and as Windows-1252 (what Windows and
// many taggers write) otherwise, never dropped. Empty for anything else.
TSummary InfoSummary(const std::vector<std::uint8_t>& listBody);
// A LIST body of the fields, UTF-8 texts; empty for none.
std::vector<std::uint8_t> RenderInfo(const TSummary& summary);

// An ID3v1.1 tag as fields, and the record of the fields that have a place
// there: the year the date's first four characters, the track its number
// before a "/", the comment the first one.
TSummary Id3v1Summary(const TTagRecord& record);
TTagRecord Id3v1Record(const TSummary& summary);

}  // namespace sondrel
