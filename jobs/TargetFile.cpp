#include "jobs/TargetFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace sondrel {

TTargetFile::~TTargetFile() { Finish(false); }

bool TTargetFile::Create(TByteFile& file, const std::string& name) {
    namespace fs = std::filesystem;
    Finish(false);
    std::error_code ec;
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return file.Create(name);
    // May the user write the earlier file at all? Asked of the file itself,
    // without emptying it.
    const int probe = OpenRegularFile(name, O_WRONLY);
    if (probe < 0) return false;
    ::close(probe);
    const fs::path real = fs::canonical(name, ec);
    if (ec) return file.Create(name);
    for (int n = 0; n < 100; ++n) {
        const fs::path beside = real.parent_path() / ("." + real.filename().string() + ".sondrel-" +
                                                      std::to_string(::getpid()) + "-" + std::to_string(n));
        // O_EXCL: never a file that is already there.
        const int fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            // A folder we may not write: the earlier file is written over
            // in place, as it always was.
            return file.Create(name);
        }
        ::close(fd);
        if (!file.OpenReadWrite(beside)) {
            ::unlink(beside.c_str());
            return false;
        }
        final_ = real.string();
        partial_ = beside.string();
        return true;
    }
    return file.Create(name);
}

bool TTargetFile::Finish(bool complete) {
    if (partial_.empty()) return true;
    const std::string partial = partial_, final = final_;
    partial_.clear();
    final_.clear();
    struct stat st {};
    if (complete) {
        // The result is the user's file again: its permissions, and (where
        // we run with the right to give files away) its owner and group.
        if (::stat(final.c_str(), &st) == 0) {
            ::chmod(partial.c_str(), st.st_mode & 07777);
            if (::geteuid() == 0) (void)!::chown(partial.c_str(), st.st_uid, st.st_gid);
        }
        if (::rename(partial.c_str(), final.c_str()) == 0) return true;
    }
    ::unlink(partial.c_str());
    return !complete;
}

}  // namespace sondrel
