#include "jobs/TargetFolders.h"

#include <filesystem>

namespace sondrel {

bool TTargetFolders::Prepare(const std::string& target) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(target).parent_path();
    if (folder.empty()) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    // The missing folders from the top down, each noted as ours.
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (fs::create_directory(*it, ec))
            made_.push_back(it->string());
        else if (ec)
            return false;
    }
    return fs::is_directory(folder, ec);
}

void TTargetFolders::RemoveEmpty() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        std::error_code ec;
        if (std::filesystem::is_empty(*it, ec) && !ec) std::filesystem::remove(*it, ec);
    }
    made_.clear();
}

}  // namespace sondrel
