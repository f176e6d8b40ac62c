// Target names: the file-name part, the extension and its replacement, and
// the two rules by which a batch places its targets.
#pragma once

#include <string>
#include <vector>

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
// chosen and the folder text is not empty (into its subfolder there, for
// a file found below a folder given to the batch: the relative path it
// was found at, "Album/CD 1"), otherwise next to the source.
std::string BatchTarget(const std::string& source, const std::string& extension, bool nextToSource,
                        const std::string& outputFolder, const char* separators = kPathSeparators,
                        char folderSeparator = kFolderSeparator, const std::string& subfolder = {});

// The targets of a whole batch, decided before its first file starts, in
// list order. A name is taken when an earlier file of the list was given
// it, when it names one of the list's own sources, or, unless
// replaceExisting, when a file of that name was there before the batch:
// that file gets the first free "Name (2).ext", "Name (3).ext", ...
// instead. So no two files of a batch write one target, no target replaces
// a source still to be read or (unless the user agreed) a file the user
// already had, and every front end (one worker or many) makes the same
// names. Names are compared as the paths they resolve to. subfolders, where
// given, holds each source's place below its given folder (BatchTarget).
std::vector<std::string> BatchTargets(const std::vector<std::string>& sources, const std::string& extension,
                                      bool nextToSource, const std::string& outputFolder,
                                      bool replaceExisting = false, const std::vector<std::string>& subfolders = {});

// How many of the names exist already (what a batch allowed to replace
// files would replace).
int ExistingFiles(const std::vector<std::string>& names);

}  // namespace sondrel
