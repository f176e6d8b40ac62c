// Changing the fields of the tag page in an ID3v2 tag, frame by frame:
// the frames of the fields the user changed are replaced (or added, or
// removed where the field was emptied), every other frame stays byte for
// byte as it was, in its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/Id3Tag.h"
#include "tags/Id3v2Frames.h"
#include "tags/TagModel.h"

namespace sondrel {

// The model's own ID3v2 tag with the fields that differ between was and
// now set to now's texts, in its own version; a track number given alone
// keeps the total the tag had ("4" on "3/12" gives "4/12"). The extended
// header, unsynchronisation and footer of the old tag are not kept
// (nothing a reader needs); padding is not added. Empty where the tag
// cannot be accounted for whole (frames or bytes we cannot read): a save
// would lose them. A model without a tag of its own and version 0 gets a
// new 2.3 tag of now's non-empty fields.
std::vector<std::uint8_t> UpdatedId3v2(const TTagModel& model, const TId3Fields& was, const TId3Fields& now);

// Frame bodies for a tag of version (2.2's are those of 2.3), rendered by
// TagLib: a text frame's (Latin-1 where the text allows, else what the
// version allows), a user text frame's (TXXX), a comment's (old's
// language and description kept where one is given; "eng" and none
// otherwise).
std::vector<std::uint8_t> TextFrameBody(int version, const std::string& text);
std::vector<std::uint8_t> UserTextFrameBody(int version, const std::string& description, const std::string& text);
std::vector<std::uint8_t> CommentFrameBody(int version, const TId3v2Frame* old, const std::string& text);
}  // namespace sondrel
