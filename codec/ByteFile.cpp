#include "codec/ByteFile.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace sondrel {

TByteFile::~TByteFile() { Close(); }

int OpenRegularFile(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool TByteFile::OpenRead(const std::filesystem::path& path) {
    Close();
    fd_ = OpenRegularFile(path, O_RDONLY);
    pos_ = 0;
    return fd_ >= 0;
}

bool TByteFile::Create(const std::filesystem::path& path) {
    Close();
    // Emptying is left until the name is known to be a regular file. Read
    // access too, where there is any: a target cut short by a full disk
    // is read back to end it cleanly.
    fd_ = OpenRegularFile(path, O_RDWR | O_CREAT);
    if (fd_ < 0) fd_ = OpenRegularFile(path, O_WRONLY | O_CREAT);
    pos_ = 0;
    // A file that is empty already (one just made) is not truncated: on
    // ext4 that marks it for a flush on close, which holds the close up
    // until the whole file is on its way to the disk.
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || st.st_size != 0) && ::ftruncate(fd_, 0) != 0) Close();
    return fd_ >= 0;
}

bool TByteFile::OpenReadWrite(const std::filesystem::path& path) {
    Close();
    fd_ = OpenRegularFile(path, O_RDWR);
    pos_ = 0;
    return fd_ >= 0;
}

void TByteFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::size_t TByteFile::Read(void* dst, std::size_t n) {
    if (fd_ < 0 || pos_ < 0) return 0;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd_, static_cast<char*>(dst) + done, n - done, pos_);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
        pos_ += r;
    }
    return done;
}

void TByteFile::ReadExact(void* dst, std::size_t n) {
    if (Read(dst, n) != n) throw EInOutError();
}

std::size_t TByteFile::Write(const void* src, std::size_t n) {
    if (fd_ < 0 || pos_ < 0) return 0;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd_, static_cast<const char*>(src) + done, n - done, pos_);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
        pos_ += r;
    }
    return done;
}

std::int64_t TByteFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return st.st_size;
}

bool TByteFile::Truncate(std::int64_t size) { return fd_ >= 0 && ::ftruncate(fd_, size) == 0; }

bool TByteFile::Sync() { return fd_ >= 0 && ::fsync(fd_) == 0; }

bool TByteFile::Reserve(std::int64_t size) {
    if (fd_ < 0) return false;
    if (size <= Size()) return true;
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, size) == 0) return true;
    return errno != ENOSPC && errno != EDQUOT && errno != EFBIG;
}

bool TByteFile::WriteProtected() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && (st.st_mode & 0222) == 0;
}

bool TByteFile::Identity(std::uint64_t& device, std::uint64_t& inode) const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string FitFileName(const std::string& stem, const std::string& tail) {
    if (stem.size() + tail.size() <= kLongestFileName || tail.size() >= kLongestFileName) return stem + tail;
    std::size_t cut = kLongestFileName - tail.size();
    // Not inside a character: back to the byte that starts one.
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    return stem.substr(0, cut) + tail;
}

std::string HiddenFileName(const std::filesystem::path& file, const std::string& tail) {
    // Appended, not "." + name: gcc 12 warns of an overlapping copy there.
    std::string stem(1, '.');
    stem += file.filename().string();
    return FitFileName(stem, tail);
}

int TByteFile::Release() {
    const int fd = fd_;
    fd_ = -1;
    pos_ = 0;
    return fd;
}

}  // namespace sondrel
