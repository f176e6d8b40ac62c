// The tag page's seven fields and a file's two tags: what the page shows
// of them, and what a save of the fields writes into the ID3v1.1 tag.
//
// A field shows the whole text of the tag that holds it whole: the ID3v2
// text, in any script and any length, unless the ID3v1.1 tag says
// something that is no rendering of it (another program changed only
// that tag). A save writes only what the user changed: a changed field
// whole into the ID3v2 tag, and its rendering into the ID3v1.1 tag (cut
// to 30 characters, or 28 where the track needs the room); a field the
// user did not change keeps its bytes in both.
#pragma once

#include <string>

#include "tags/Id3Tag.h"
#include "tags/TagModel.h"

namespace sondrel {

// What the page shows of a file's tags.
TId3Fields PageFields(const TTagModel& model);

// The text fits its ID3v1.1 field of chars characters whole.
bool FitsId3v1(const std::string& text, std::size_t chars);

// A save of the fields needs an ID3v2 tag: a text the user changed does
// not fit its ID3v1.1 field.
bool NeedsId3v2(const TId3Fields& was, const TId3Fields& now);

// The ID3v1.1 record a save writes: the file's own (or, where it has none,
// the rendering of every field) with the fields that differ between was
// and now rendered anew. The comment's last two bytes go to a track
// number where the comment is kept whole in the ID3v2 tag (id3v2Comment)
// or leaves them free; where the ID3v1.1 tag is the only home of a
// comment of 29 or 30 characters, the track is left out of it.
TTagRecord Id3v1ForSave(const TTagModel& model, const TId3Fields& was, const TId3Fields& now,
                        const std::string& id3v2Comment);

// The page's warning about the track: the comment, saved, takes the
// track's room in the ID3v1.1 tag, because that tag is its only home
// (the file has no ID3v2 tag, and the comment fits ID3v1.1 whole).
bool TrackLeftOutOfId3v1(const std::string& comment, bool fileHasId3v2);

}  // namespace sondrel
