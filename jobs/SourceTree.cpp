#include "jobs/SourceTree.h"

#include "jobs/Playlists.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <utility>

namespace sondrel {
namespace {

namespace fs = std::filesystem;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
bool Digit(char c) { return c >= '0' && c <= '9'; }

class Walker {
public:
    Walker(const std::vector<std::string>& extensions, TBatchListing& out) : extensions_(extensions), out_(out) {}

    bool OfKind(const std::string& name) const {
        return std::any_of(extensions_.begin(), extensions_.end(), [&](const std::string& e) {
            return name.size() > e.size() &&
                   std::equal(e.begin(), e.end(), name.end() - static_cast<long>(e.size()),
                              [](char a, char b) { return Lower(a) == Lower(b); });
        });
    }

    // False where the folder was read before: it brings nothing again.
    bool FirstVisit(const std::string& folder) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0) return true;
        return visited_.emplace(st.st_dev, st.st_ino).second;
    }

    // The folder's files of the kinds, then its subfolders, each in
    // natural order. Recursion goes as deep as the tree; a link back up
    // ends at the folder read before.
    void Walk(const std::string& folder, const std::string& relative) {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        std::vector<std::string> files, folders;
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (name.empty() || name[0] == '.') continue;
            std::error_code kind;
            if (it->is_directory(kind))
                folders.push_back(std::move(name));
            else if (!it->is_regular_file(kind))
                continue;  // a dangling link, a device, a pipe
            else if (OfKind(name))
                files.push_back(std::move(name));
            else if (!IsCoverImage(name) && !IsPlaylist(name))  // these go along, not left out
                ++out_.OtherKinds;
        }
        if (ec) out_.Unreadable.push_back(folder);
        std::sort(files.begin(), files.end(), NaturalLess);
        std::sort(folders.begin(), folders.end(), NaturalLess);
        const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
        for (const std::string& f : files) {
            out_.Files.push_back(prefix + f);
            out_.Subfolders.push_back(relative);
        }
        for (const std::string& sub : folders) {
            const std::string path = prefix + sub;
            if (FirstVisit(path)) Walk(path, relative.empty() ? sub : relative + "/" + sub);
        }
    }

private:
    const std::vector<std::string>& extensions_;
    TBatchListing& out_;
    std::set<std::pair<dev_t, ino_t>> visited_;
};

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (Digit(a[i]) && Digit(b[j])) {
            // Numbers by their value: fewer digits (leading zeros aside)
            // is smaller, then digit by digit.
            std::size_t ai = i, bj = j;
            while (ai < a.size() && a[ai] == '0') ++ai;
            while (bj < b.size() && b[bj] == '0') ++bj;
            std::size_t ae = ai, be = bj;
            while (ae < a.size() && Digit(a[ae])) ++ae;
            while (be < b.size() && Digit(b[be])) ++be;
            if (ae - ai != be - bj) return ae - ai < be - bj;
            for (; ai < ae; ++ai, ++bj)
                if (a[ai] != b[bj]) return a[ai] < b[bj];
            i = ae;
            j = be;
            continue;
        }
        const char ca = Lower(a[i]), cb = Lower(b[j]);
        if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // alike but for case or leading zeros: a fixed order still
}

TBatchListing ListBatchSources(const std::vector<std::string>& names, const std::vector<std::string>& extensions,
                               bool checkNamedFiles) {
    TBatchListing out;
    Walker walker(extensions, out);
    for (const std::string& name : names) {
        std::error_code ec;
        const fs::file_status status = fs::status(name, ec);
        if (fs::is_directory(status)) {
            if (!walker.FirstVisit(name)) continue;
            const std::size_t before = out.Files.size(), unreadable = out.Unreadable.size();
            walker.Walk(name, "");
            // (A folder that could not be read is named once, as such.)
            if (out.Files.size() == before && out.Unreadable.size() == unreadable) out.Refused.push_back(name);
        } else if (!checkNamedFiles || (fs::is_regular_file(status) && walker.OfKind(name))) {
            out.Files.push_back(name);
            out.Subfolders.emplace_back();
        } else {
            out.Refused.push_back(name);
        }
    }
    return out;
}

std::string LeftOutMessage(const TBatchListing& l, bool& serious) {
    const auto joined = [](const std::vector<std::string>& names) {
        std::string text;
        for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : "") + names[i];
        return text;
    };
    std::vector<std::string> lines;
    if (!l.Refused.empty()) lines.push_back("Folgende Dateien wurden nicht übernommen: " + joined(l.Refused));
    if (!l.Unreadable.empty()) lines.push_back("Diese Ordner konnten nicht gelesen werden: " + joined(l.Unreadable));
    serious = !lines.empty();
    if (l.OtherKinds == 1) lines.push_back("Eine Datei anderer Art wurde übergangen.");
    if (l.OtherKinds > 1) lines.push_back(std::to_string(l.OtherKinds) + " Dateien anderer Art wurden übergangen.");
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
    return text;
}

}  // namespace sondrel
