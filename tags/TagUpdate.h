// The tag page's file side: what it shows of an MP3 file, and saving its
// fields into one: the ID3v1.1 tag, and the ID3v2 tag in front of the
// audio too, so that players that read ID3v2 (nearly all) show the new
// texts.
#pragma once

#include <filesystem>

#include "tags/Id3Tag.h"

namespace sondrel {

// The file's ID3v1.1 tag; where it has none, as much of its ID3v2 tag as
// each field of the page holds. NoTag when it has neither.
TTagResult ReadPageFields(const std::filesystem::path& file, TId3Fields& fields);

// Saves the fields into the file. The ID3v1.1 record replaces the file's
// or is appended. Where the file begins with an ID3v2 tag, the fields that
// differ from what the page showed of the file (ReadPageFields: the ones
// the user changed) are set in it as well, whole; the others keep their
// ID3v2 texts, and a file without an ID3v2 tag gets none.
//
// The file stays the user's file: written in place, so its inode, links,
// owner, group, mode and attributes stay; a write-protected file is
// refused (CannotOpen) even where we could write it. A new ID3v2 tag that
// fits the old one's room goes over it; a bigger one means moving the
// audio, which is done from a complete copy written first (beside the
// file, or in the user's cache folder where its folder is closed to us),
// after the disk's room for the grown file is reserved. A full disk leaves
// the file as it was (NotSaved).
TTagResult SaveTagFields(const std::filesystem::path& file, const TId3Fields& fields);

// What the page shows of an ID3v2 tag's fields: each cut to the length of
// its edit field.
TId3Fields PageView(const TId3Fields& fields);

}  // namespace sondrel
