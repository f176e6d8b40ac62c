// Playlists (.m3u, .m3u8) and cue sheets (.cue) of a converted folder,
// written anew for the converted files: each entry that names a converted
// file names its target instead; everything else stays byte for byte
// (comments, #EXTINF lines, entries of other files, the text's encoding,
// its line endings and a byte order mark).
#pragma once

#include <functional>
#include <string>

namespace sondrel {

// The target of a file an entry names (an absolute, lexically normal
// path); empty where the batch did not convert it.
using TTargetOf = std::function<std::string(const std::string& source)>;

// The playlist or cue sheet text of name (its extension says which),
// lying in sourceFolder and written into targetFolder (absolute paths),
// with its entries renamed. False where it cannot be read as what it is
// (bytes no text has, longer than a playlist is, a .m3u8 that is no
// UTF-8): it is then copied as it is.
bool RenamedPlaylist(const std::string& name, const std::string& text, const std::string& sourceFolder,
                     const std::string& targetFolder, const TTargetOf& targetOf, std::string& renamed);

// The file kinds that go along with a batch's audio into an own output
// folder: covers (images) and playlists with cue sheets.
bool IsCoverImage(const std::string& name);
bool IsPlaylist(const std::string& name);

}  // namespace sondrel
