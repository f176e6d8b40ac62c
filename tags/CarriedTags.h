// Tags carried across a conversion: the seven fields of the tag page, read
// from an ID3v2 tag, a RIFF LIST/INFO chunk or an ID3v1.1 tag, and written
// again as ID3v2 or LIST/INFO. TagLib parses and renders the ID3v2 and INFO
// bytes; the ID3v1.1 tag stays ours (tags/Id3Tag.h).
//
// Readers take bytes already in memory, never throw, and give empty fields
// for anything they cannot make sense of: a damaged tag is left out, never
// a reason to fail a conversion.
#pragma once

#include <cstdint>
#include <vector>

#include "tags/Id3Tag.h"

namespace sondrel {

// A tag bigger than this (pictures, mostly) is not read at all; the texts
// we carry are a few hundred bytes.
constexpr std::uint32_t kLargestCarriedTag = 16u << 20;

bool NoFields(const TId3Fields& fields);

// A whole ID3v2 tag (version 2.2, 2.3 or 2.4), header included.
TId3Fields Id3v2Fields(const std::vector<std::uint8_t>& tag);
// The tag with the fields that differ between was and now set to now's
// texts, in its own version (2.2 is written as 2.3); the others keep what
// they hold. Empty where the tag cannot be read.
std::vector<std::uint8_t> UpdatedId3v2(const std::vector<std::uint8_t>& tag, const TId3Fields& was,
                                       const TId3Fields& now);
// The body of a LIST chunk: "INFO" and its sub-chunks.
TId3Fields InfoFields(const std::vector<std::uint8_t>& listBody);
// What ID3v1.1 can hold of the fields, as the tag page would store it.
TId3Fields Id3v1Fields(const TId3Fields& fields);

// An ID3v2 tag of the non-empty fields (version 3 or 4); empty when no
// field is set.
std::vector<std::uint8_t> RenderId3v2(const TId3Fields& fields, int version = 3);
// A LIST body ("INFO" and sub-chunks, UTF-8 texts); empty when no field is
// set.
std::vector<std::uint8_t> RenderInfo(const TId3Fields& fields);

// The size of the ID3v2 tag at the start of bytes (header, body and
// footer), 0 when there is none.
std::uint64_t Id3v2Size(const std::uint8_t* bytes, std::size_t available);

}  // namespace sondrel
