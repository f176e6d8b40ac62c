#include "jobs/Leftovers.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <set>

namespace sondrel {
namespace {

// The process a leftover's name gives; 0 for a name that is none.
long LeftoverProcess(const std::string& name) {
    const std::string mark = ".sondrel-";
    const std::size_t at = name.rfind(mark);
    if (name.empty() || name[0] != '.' || at == std::string::npos || at == 0) return 0;
    const std::string tail = name.substr(at + mark.size());
    const std::size_t dash = tail.find('-');
    const auto digits = [](const std::string& s) {
        return !s.empty() && s.size() < 10 && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    if (dash == std::string::npos || !digits(tail.substr(0, dash)) || !digits(tail.substr(dash + 1))) return 0;
    return std::stol(tail.substr(0, dash));
}

bool Running(long pid) { return pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

}  // namespace

int RemoveLeftovers(const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    int removed = 0;
    std::set<std::string> seen;
    for (const std::string& folder : folders) {
        if (!seen.insert(folder).second) continue;
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
            const long pid = LeftoverProcess(it->path().filename().string());
            std::error_code kind;
            if (pid <= 0 || Running(pid) || !it->is_regular_file(kind)) continue;
            if (fs::remove(it->path(), kind)) ++removed;
        }
    }
    return removed;
}

}  // namespace sondrel
