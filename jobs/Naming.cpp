#include "jobs/Naming.h"

#include <sys/stat.h>

#include <filesystem>
#include <unordered_map>
#include <unordered_set>

#include "codec/ByteFile.h"

namespace sondrel {

std::string FileNamePart(const std::string& path, const char* separators) {
    const std::size_t cut = path.find_last_of(separators);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Extension(const std::string& path, const char* separators) {
    const std::size_t cut = path.find_last_of(separators);
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (cut != std::string::npos && dot < cut)) return {};
    return path.substr(dot);
}

std::string ReplaceExtension(const std::string& path, const std::string& extension, const char* separators) {
    return path.substr(0, path.size() - Extension(path, separators).size()) + extension;
}

std::string BatchTarget(const std::string& source, const std::string& extension, bool nextToSource,
                        const std::string& outputFolder, const char* separators, char folderSeparator,
                        const std::string& subfolder) {
    if (nextToSource || outputFolder.empty()) return ReplaceExtension(source, extension, separators);
    std::string folder = outputFolder;
    if (folder.back() != folderSeparator) folder += folderSeparator;
    if (!subfolder.empty()) folder += subfolder + folderSeparator;
    return folder + ReplaceExtension(FileNamePart(source, separators), extension, separators);
}

namespace {

// What a path resolves to: absolute, links followed as far as the path
// exists, "." and ".." gone. Two names of one file give the same key.
std::string SameFileKey(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    if (ec) p = fs::path(path);
    const fs::path resolved = fs::weakly_canonical(p, ec);
    return (ec ? p : resolved).lexically_normal().string();
}

// The keys of a batch's names, as hashes: a collection's tree has tens of
// thousands of names in a few thousand folders. A folder is resolved once;
// a name in it only where it is a link itself. (Two names whose hashes
// meet would only cost one of them a number it did not need.)
class SameFileKeys {
public:
    std::size_t operator()(const std::string& path) {
        const std::string name = FileNamePart(path);
        struct stat st {};
        if (name.empty() || name == "." || name == ".." || (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)))
            return std::hash<std::string>()(SameFileKey(path));
        const std::string folder = path.substr(0, path.size() - name.size());
        auto known = folders_.find(folder);
        if (known == folders_.end()) {
            std::string resolved = SameFileKey(folder.empty() ? "." : folder);
            if (resolved.empty() || resolved.back() != '/') resolved += '/';
            known = folders_.emplace(folder, std::move(resolved)).first;
        }
        return std::hash<std::string>()(known->second + name);
    }

private:
    std::unordered_map<std::string, std::string> folders_;
};

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::vector<std::string> BatchTargets(const std::vector<std::string>& sources, const std::string& extension,
                                      bool nextToSource, const std::string& outputFolder, bool replaceExisting,
                                      const std::vector<std::string>& subfolders) {
    SameFileKeys key;
    std::unordered_set<std::size_t> taken;
    taken.reserve(2 * sources.size());
    for (const std::string& source : sources) taken.insert(key(source));
    const auto free = [&](const std::string& name) {
        return (replaceExisting || !Exists(name)) && taken.insert(key(name)).second;
    };
    std::vector<std::string> targets;
    targets.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string& source = sources[i];
        const std::string first = BatchTarget(source, extension, nextToSource, outputFolder, kPathSeparators,
                                              kFolderSeparator, i < subfolders.size() ? subfolders[i] : std::string());
        // The folder, and the name's stem, which gives way (from its end)
        // where the name with its number or extension would be longer than
        // a file name may be.
        const std::string name = FileNamePart(first);
        const std::string folder = first.substr(0, first.size() - name.size());
        const std::string stem = name.substr(0, name.size() - extension.size());
        std::string target = folder + FitFileName(stem, extension);
        for (int n = 2; !free(target); ++n) target = folder + FitFileName(stem, " (" + std::to_string(n) + ")" + extension);
        targets.push_back(target);
    }
    return targets;
}

int ExistingFiles(const std::vector<std::string>& names) {
    int n = 0;
    for (const std::string& name : names) n += Exists(name) ? 1 : 0;
    return n;
}

}  // namespace sondrel
