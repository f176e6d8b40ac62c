#include "tags/Id3Tag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "codec/ByteFile.h"
#include "tags/Cp1252.h"
#include "tags/Genres.h"

namespace sondrel {
namespace {

std::string Text(const TTagRecord& r, std::size_t offset, std::size_t length) {
    std::size_t n = 0;
    while (n < length && r[offset + n] != 0) ++n;
    return Cp1252ToUtf8(r.data() + offset, n);
}

void Put(TTagRecord& r, std::size_t offset, std::size_t length, const std::string& text) {
    const std::string bytes = Utf8ToCp1252(text, length);
    std::memcpy(r.data() + offset, bytes.data(), bytes.size());
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

bool CommentHidesTrack(const std::string& comment) { return Utf8Length(comment) >= 29; }

bool ReadWholeNumber(const std::string& text, long long& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    v = negative ? -v : v;
    if (v > INT_MAX || v < INT_MIN) return false;
    value = v;
    return true;
}

TId3Fields FieldsFromRecord(const TTagRecord& r) {
    TId3Fields f;
    f.Title = Text(r, 3, 30);
    f.Artist = Text(r, 33, 30);
    f.Album = Text(r, 63, 30);
    f.Year = Text(r, 93, 4);
    const std::uint8_t genre = r[127];
    f.Genre = genre < kGenreCount ? kGenres[genre] : std::to_string(genre);
    f.Comment = Text(r, 97, 30);
    if (r[125] == 0 && r[126] != 0) f.Track = std::to_string(r[126]);
    return f;
}

std::uint8_t GenreByte(const std::string& text) {
    long long n = 0;
    if (ReadWholeNumber(text, n)) return static_cast<std::uint8_t>(n & 0xFF);
    for (int i = 0; i < kGenreCount; ++i)
        if (text == kGenres[static_cast<std::size_t>(i)]) return static_cast<std::uint8_t>(i);
    return 255;
}

TTagRecord RecordFromFields(const TId3Fields& f) {
    TTagRecord r{};
    std::memcpy(r.data(), "TAG", 3);
    Put(r, 3, 30, f.Title);
    Put(r, 33, 30, f.Artist);
    Put(r, 63, 30, f.Album);
    Put(r, 93, 4, f.Year);
    Put(r, 97, 30, f.Comment);
    long long track = 0;
    if (!CommentHidesTrack(f.Comment) && ReadWholeNumber(f.Track, track) && track >= 0 && track <= 255)
        r[126] = static_cast<std::uint8_t>(track);
    r[127] = GenreByte(f.Genre);
    return r;
}

TTagResult ReadTagRecord(const std::filesystem::path& file, TTagRecord& record) {
    Fd fd(OpenRegularFile(file, O_RDONLY));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return TTagResult::CannotOpen;
    TTagRecord r{};
    if (st.st_size < 128 || ::pread(fd.get(), r.data(), 128, st.st_size - 128) != 128) return TTagResult::NoTag;
    if (std::memcmp(r.data(), "TAG", 3) != 0) return TTagResult::NoTag;
    record = r;
    return TTagResult::Ok;
}

TTagResult WriteTagRecord(const std::filesystem::path& file, const TTagRecord& record) {
    Fd fd(OpenRegularFile(file, O_RDWR));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return TTagResult::CannotOpen;
    const off_t size = st.st_size;
    TTagRecord present{};
    const bool replace = size >= 128 && ::pread(fd.get(), present.data(), 128, size - 128) == 128 &&
                         std::memcmp(present.data(), "TAG", 3) == 0;
    const off_t at = replace ? size - 128 : size;
    ssize_t written = 0;
    do {
        written = ::pwrite(fd.get(), record.data(), record.size(), at);
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(record.size()) && ::fsync(fd.get()) == 0) return TTagResult::Ok;
    // A tag half on disk is worse than none: an appended one goes, and a
    // replaced one is written back as it was.
    if (replace)
        (void)::pwrite(fd.get(), present.data(), present.size(), at);
    else
        (void)::ftruncate(fd.get(), size);
    return TTagResult::NotSaved;
}

}  // namespace sondrel
