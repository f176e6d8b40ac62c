// Saving the tag page's fields into an MP3 file: its ID3v1.1 tag, and the
// fields the user changed in its ID3v2 tag too, so that players that read
// ID3v2 (nearly all) show the new texts.
#pragma once

#include <filesystem>

#include "tags/Id3Tag.h"

namespace sondrel {

// Writes the fields' ID3v1.1 record as WriteTagRecord does. Where the file
// has an ID3v1.1 tag and begins with an ID3v2 tag, the fields that differ
// from its ID3v1.1 tag (the ones the user changed) are set in the ID3v2
// tag as well, whole; the others keep their ID3v2 texts, and a file
// without an ID3v2 tag gets none. Such a file is written anew beside
// itself and renamed over the old one, so that a full disk or a stop part
// way leaves the old file as it was.
TTagResult SaveTagFields(const std::filesystem::path& file, const TId3Fields& fields);

}  // namespace sondrel
