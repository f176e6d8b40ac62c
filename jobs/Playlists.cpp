#include "jobs/Playlists.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "jobs/Naming.h"
#include "tags/Cp1252.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;

// No playlist of a music folder is this long; a file that is was never one.
constexpr std::size_t kLongestPlaylist = 4u << 20;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// An entry's text in the file system's names (UTF-8), and back.
struct TEncoding {
    bool utf8 = true;
    std::string ToNames(const std::string& text) const {
        return utf8 ? text : Cp1252ToUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    // False where the text has a character the playlist's encoding lacks.
    bool FromNames(const std::string& name, std::string& text) const {
        if (utf8) {
            text = name;
            return true;
        }
        text = Utf8ToCp1252(name, name.size());
        return Cp1252CanHold(name);
    }
};

// The target an entry names, as the entry would write it (in the same
// form: relative or absolute, its separators, its encoding); empty where
// the entry names no converted file.
std::string RenamedEntry(const std::string& entry, const TEncoding& encoding, const std::string& sourceFolder,
                         const std::string& targetFolder, const TTargetOf& targetOf) {
    if (entry.empty() || entry.find("://") != std::string::npos) return {};
    const bool backslashes = entry.find('\\') != std::string::npos && entry.find('/') == std::string::npos;
    // As the file system's bytes first, then as the encoding's text, each
    // also with a Windows playlist's separators.
    std::vector<std::pair<std::string, bool>> tries = {{entry, false}};
    if (!encoding.utf8) tries.push_back({encoding.ToNames(entry), true});
    for (std::size_t i = 0, n = tries.size(); backslashes && i < n; ++i) {
        std::string slashed = tries[i].first;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        tries.push_back({slashed, tries[i].second});
    }
    for (const auto& [name, decoded] : tries) {
        const fs::path path = fs::path(name).is_absolute() ? fs::path(name) : fs::path(sourceFolder) / name;
        const std::string target = targetOf(path.lexically_normal().string());
        if (target.empty()) continue;
        std::string written = fs::path(name).is_absolute() ? target
                                                            : fs::path(target).lexically_relative(targetFolder).string();
        if (backslashes) std::replace(written.begin(), written.end(), '/', '\\');
        std::string text = written;
        if (decoded && !encoding.FromNames(written, text)) return {};
        return text;
    }
    return {};
}

// A cue sheet's FILE line: where its name begins and ends (quotes
// excluded) and where its type begins; false for any other line.
bool FileLine(const std::string& line, std::size_t& from, std::size_t& to, std::size_t& type) {
    std::size_t at = 0;
    while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
    if (line.compare(at, 5, "FILE ") != 0) return false;
    at += 5;
    while (at < line.size() && line[at] == ' ') ++at;
    if (at < line.size() && line[at] == '"') {
        from = at + 1;
        to = line.find('"', from);
        if (to == std::string::npos) return false;
        type = to + 1;
    } else {
        from = at;
        to = line.find(' ', from);
        if (to == std::string::npos) return false;
        type = to;
    }
    while (type < line.size() && line[type] == ' ') ++type;
    return type < line.size();
}

}  // namespace

bool IsCoverImage(const std::string& name) {
    const std::string e = Lower(Extension(name));
    return name[0] != '.' && (e == ".jpg" || e == ".jpeg" || e == ".png" || e == ".gif" || e == ".bmp" || e == ".webp");
}

bool IsPlaylist(const std::string& name) {
    const std::string e = Lower(Extension(name));
    return name[0] != '.' && (e == ".m3u" || e == ".m3u8" || e == ".cue");
}

bool RenamedPlaylist(const std::string& name, const std::string& text, const std::string& sourceFolder,
                     const std::string& targetFolder, const TTargetOf& targetOf, std::string& renamed) {
    const std::string kind = Lower(Extension(name));
    TEncoding encoding;
    encoding.utf8 = IsUtf8(text);
    if (text.size() > kLongestPlaylist || text.find('\0') != std::string::npos || (kind == ".m3u8" && !encoding.utf8))
        return false;
    renamed.clear();
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(at, end - at);
        at = end;
        // The line without its ending (and a leading byte order mark).
        std::size_t bodyEnd = line.size();
        while (bodyEnd > 0 && (line[bodyEnd - 1] == '\n' || line[bodyEnd - 1] == '\r')) --bodyEnd;
        const std::size_t bodyStart = line.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        const std::string body = line.substr(bodyStart, bodyEnd - bodyStart);
        if (kind == ".cue") {
            std::size_t from = 0, to = 0, type = 0;
            if (FileLine(body, from, to, type)) {
                const std::string entry = RenamedEntry(body.substr(from, to - from), encoding, sourceFolder, targetFolder, targetOf);
                if (!entry.empty()) {
                    const bool mp3 = Lower(Extension(entry)) == ".mp3";
                    const bool quoted = body[from - 1] == '"' || entry.find(' ') != std::string::npos;
                    line = line.substr(0, bodyStart) + body.substr(0, body[from - 1] == '"' ? from - 1 : from) +
                           (quoted ? "\"" + entry + "\"" : entry) + " " + (mp3 ? "MP3" : "WAVE") + line.substr(bodyEnd);
                }
            }
        } else if (!body.empty() && body[0] != '#') {
            const std::string entry = RenamedEntry(body, encoding, sourceFolder, targetFolder, targetOf);
            if (!entry.empty()) line = line.substr(0, bodyStart) + entry + line.substr(bodyEnd);
        }
        renamed += line;
    }
    return true;
}

}  // namespace sondrel
