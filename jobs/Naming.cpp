#include "jobs/Naming.h"

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

}  // namespace sondrel
