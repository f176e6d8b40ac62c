// The tag page's file side: what it shows of an MP3 file, and saving its
// fields into one: the ID3v1.1 tag, and the ID3v2 tag in front of the
// audio too, so that players that read ID3v2 (nearly all) show the new
// texts.
#pragma once

#include <filesystem>

#include "tags/Id3Tag.h"

namespace sondrel {

// What the tag page shows of the file (tags/PageFields.h), and whether it
// has an ID3v2 tag. NoTag when it has neither an ID3v1.1 tag nor a field
// in another tag.
TTagResult ReadPageFields(const std::filesystem::path& file, TId3Fields& fields, bool* hasId3v2 = nullptr);

// Saves the fields into the file: the fields that differ from what the
// page shows of it (the ones the user changed) are set whole in its ID3v2
// tag and as their rendering in its ID3v1.1 tag (appended where it has
// none); the others keep their bytes. A file without an ID3v2 tag gets
// one only where a changed text does not fit its ID3v1.1 field whole.
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

}  // namespace sondrel
