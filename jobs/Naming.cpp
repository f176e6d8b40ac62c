#include "jobs/Naming.h"

#include <filesystem>
#include <set>

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
                        const std::string& outputFolder, const char* separators, char folderSeparator) {
    if (nextToSource || outputFolder.empty()) return ReplaceExtension(source, extension, separators);
    std::string folder = outputFolder;
    if (folder.back() != folderSeparator) folder += folderSeparator;
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

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

std::vector<std::string> BatchTargets(const std::vector<std::string>& sources, const std::string& extension,
                                      bool nextToSource, const std::string& outputFolder, bool replaceExisting) {
    std::set<std::string> taken;
    for (const std::string& source : sources) taken.insert(SameFileKey(source));
    const auto free = [&](const std::string& name) {
        return (replaceExisting || !Exists(name)) && taken.insert(SameFileKey(name)).second;
    };
    std::vector<std::string> targets;
    targets.reserve(sources.size());
    for (const std::string& source : sources) {
        const std::string first = BatchTarget(source, extension, nextToSource, outputFolder);
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
