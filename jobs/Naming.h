// Target names: the file-name part, the extension and its replacement, and
// the two rules by which a batch places its targets.
#pragma once

#include <string>

namespace sondrel {

// The separators of a path written by the system we run on.
#ifdef _WIN32
inline constexpr const char* kPathSeparators = "\\:";
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr const char* kPathSeparators = "/";
inline constexpr char kFolderSeparator = '/';
#endif

// The text after the last separator; all of it when there is none.
std::string FileNamePart(const std::string& path, const char* separators = kPathSeparators);
// From the last "." after the last separator to the end, "." included.
std::string Extension(const std::string& path, const char* separators = kPathSeparators);
std::string ReplaceExtension(const std::string& path, const std::string& extension,
                             const char* separators = kPathSeparators);

// The target of one batch entry: into the output folder when that rule is
// chosen and the folder text is not empty, otherwise next to the source.
std::string BatchTarget(const std::string& source, const std::string& extension, bool nextToSource,
                        const std::string& outputFolder, const char* separators = kPathSeparators,
                        char folderSeparator = kFolderSeparator);

}  // namespace sondrel
