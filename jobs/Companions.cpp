#include "jobs/Companions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unordered_map>

#include "codec/ByteFile.h"
#include "jobs/Naming.h"
#include "jobs/Playlists.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;

// No cover or playlist is larger; a larger file stays where it is.
constexpr std::uintmax_t kLargestCompanion = 64u << 20;

bool ReadWhole(const fs::path& path, std::string& bytes) {
    std::error_code ec;
    if (fs::file_size(path, ec) > kLargestCompanion || ec) return false;
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

struct timespec ModifiedAt(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return st.st_mtim;
}

bool Older(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

class Writer {
public:
    Writer(const TCompanionRules& rules, TPlacer& placer) : rules_(rules), placer_(placer) {}

    // bytes as name in folder, modified when source was, by the rules:
    // false where nothing needed writing.
    bool Put(const fs::path& folder, const std::string& name, const std::string& bytes, const fs::path& source) {
        const struct timespec modified = ModifiedAt(source);
        const std::string ext = Extension(name), stem = name.substr(0, name.size() - ext.size());
        for (int n = 1; n < 1000; ++n) {
            const fs::path place = folder / (n == 1 ? name : FitFileName(stem, " (" + std::to_string(n) + ")" + ext));
            std::error_code ec;
            if (fs::exists(place, ec)) {
                std::string there;
                if (ReadWhole(place, there) && there == bytes) return false;
                const bool replace = rules_.Replace || (rules_.SkipExisting && Older(ModifiedAt(place), modified));
                if (!replace && rules_.SkipExisting) return false;
                if (!replace) continue;
            }
            return Write(place, bytes, modified);
        }
        return false;
    }

private:
    bool Write(const fs::path& place, const std::string& bytes, const struct timespec& modified) {
        const fs::path hidden =
            place.parent_path() / HiddenFileName(place, ".sondrel-" + std::to_string(::getpid()) + "-" + std::to_string(100000 + n_++));
        const int fd = ::open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        const struct timespec times[2] = {{0, UTIME_OMIT}, modified};
        if (!written || (modified.tv_sec != 0 && ::futimens(fd, times) != 0)) {
            ::close(fd);
            ::unlink(hidden.c_str());
            return false;
        }
        placer_.Place(fd, hidden.string(), place.string(), [](bool) {});
        return true;
    }

    const TCompanionRules& rules_;
    TPlacer& placer_;
    int n_ = 0;
};

}  // namespace

TCompanions CarryCompanions(const std::vector<std::string>& sources, const std::vector<std::string>& targets,
                            const std::vector<bool>& converted, const TCompanionRules& rules, TPlacer& placer) {
    TCompanions result;
    std::unordered_map<std::string, std::string> targetOf;
    std::map<std::string, std::string> folders;  // source folder, its targets' folder
    for (std::size_t i = 0; i < sources.size() && i < targets.size(); ++i) {
        const fs::path source = fs::absolute(sources[i]).lexically_normal(), target = fs::absolute(targets[i]).lexically_normal();
        if (converted[i]) targetOf[source.string()] = target.string();
        if (!SameFile(source.parent_path(), target.parent_path()))
            folders.emplace(source.parent_path().string(), target.parent_path().string());
    }
    const TTargetOf lookup = [&](const std::string& source) {
        const auto it = targetOf.find(source);
        return it == targetOf.end() ? std::string() : it->second;
    };
    Writer writer(rules, placer);
    for (const auto& [from, to] : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code kind;
            if (!it->is_regular_file(kind) || !(IsCoverImage(name) || IsPlaylist(name))) continue;
            std::string bytes, renamed;
            if (!ReadWhole(it->path(), bytes)) continue;
            const bool unreadable = IsPlaylist(name) && !RenamedPlaylist(name, bytes, from, to, lookup, renamed);
            if (IsPlaylist(name) && !unreadable) bytes.swap(renamed);
            if (!writer.Put(to, name, bytes, it->path())) continue;
            ++result.Written;
            // (Said where it is copied, not again where its copy is there.)
            if (unreadable) result.Unreadable.push_back(it->path().string());
        }
    }
    placer.Drain();
    return result;
}

}  // namespace sondrel
