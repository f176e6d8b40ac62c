#include "jobs/TargetFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "codec/FrameAnalysis.h"
#include "codec/WaveFile.h"
#include "platform/acm/mp3/Mp3InfoFrame.h"

namespace sondrel {
namespace {

// Waits until the folder's entries (a rename in it) are on the disk.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

TTargetFile::~TTargetFile() { Finish(TEnd::Discard); }

bool TTargetFile::Create(const std::string& name, TPlacer* placer, TPlacer::TDone placed) {
    namespace fs = std::filesystem;
    Finish(TEnd::Discard);
    name_ = name;
    wave_ = false;
    tags_.clear();
    created_ = false;
    placer_ = placer;
    placed_ = std::move(placed);
    struct stat st {};
    const bool exists = ::stat(name.c_str(), &st) == 0;
    if (!exists && !placer) {
        // Ours alone: the only file a discarded result may remove by name.
        created_ = errno == ENOENT;
        return open_ = file_.Create(name);
    }
    if (exists && !S_ISREG(st.st_mode)) return open_ = file_.Create(name);
    if (exists) {
        // May the user write the earlier file at all? Asked of the file
        // itself, without emptying it.
        const int probe = OpenRegularFile(name, O_WRONLY);
        if (probe < 0) return false;
        ::close(probe);
    }
    std::error_code ec;
    const fs::path real = exists ? fs::canonical(name, ec) : fs::weakly_canonical(name, ec);
    if (ec) return open_ = file_.Create(name);
    for (int n = 0; n < 100; ++n) {
        // Hidden, and never longer than a name may be: a long name would
        // otherwise send us to write over the earlier file in place.
        const std::string tail = ".sondrel-" + std::to_string(::getpid()) + "-" + std::to_string(n);
        const fs::path beside = real.parent_path() / HiddenFileName(real, tail);
        // O_EXCL: never a file that is already there.
        const int fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            // A folder we may not write: the earlier file is written over
            // in place, as it always was; a new one cannot be made there.
            return exists && (open_ = file_.Create(name));
        }
        ::close(fd);
        if (!file_.OpenReadWrite(beside)) {
            ::unlink(beside.c_str());
            return false;
        }
        final_ = real.string();
        partial_ = beside.string();
        return open_ = true;
    }
    return open_ = file_.Create(name);
}

std::int64_t TTargetFile::BeginWave(const std::uint8_t format16[16], std::int64_t estimate,
                                    std::vector<std::uint8_t> tags) {
    // The estimate may be off (a variable bitrate read from one frame): a
    // quarter of the plain header's reach already reserves the room.
    const bool reserve = estimate >= kLargestPlainWave / 4;
    WriteProvisionalHeader(file_, format16, reserve);
    dataStart_ = reserve ? kReservedWaveDataStart : kWaveDataStart;
    std::memcpy(format_.data(), format16, 16);
    wave_ = true;
    tags_ = std::move(tags);
    return reserve ? -1 : kLargestPlainWave - 1;
}

void TTargetFile::FinishWave() {
    // The tag chunks after the data (a pad byte first after odd data), then
    // the header. Chunks that do not go out whole are cut off again: the
    // audio matters, its tags do not.
    const std::int64_t dataEnd = file_.Size();
    if (!tags_.empty()) {
        if ((dataEnd - dataStart_) & 1) tags_.insert(tags_.begin(), 0);
        file_.Seek(dataEnd);
        // Tags never take a plain file past what its header describes.
        const bool fits =
            dataStart_ != kWaveDataStart || dataEnd + static_cast<std::int64_t>(tags_.size()) < kLargestPlainWave;
        if (!fits || file_.Write(tags_.data(), tags_.size()) != tags_.size()) (void)file_.Truncate(dataEnd);
    }
    WriteFinalHeader(file_, format_.data(), dataEnd, dataStart_);
}

void TTargetFile::WriteMp3InfoFrame(HACMSTREAM has, std::int64_t at) {
    // The encoder began the stream with a placeholder info frame; now that
    // the stream is complete (or cancelled), the filled-in frame goes over
    // it, so that decoders skip the encoder's delay and padding.
    std::array<BYTE, 4096> frame{};
    DWORD size = frame.size();
    if (acmStreamMessage(has, ACMDM_MP3_INFOFRAME, reinterpret_cast<LPARAM>(frame.data()),
                         reinterpret_cast<LPARAM>(&size)) != MMSYSERR_NOERROR ||
        size == 0 || file_.Size() - at < static_cast<std::int64_t>(size))
        return;
    const std::int64_t end = file_.Position();
    file_.Seek(at);
    file_.Write(frame.data(), size);
    file_.Seek(end);
}

void TTargetFile::SealCutMp3(HACMSTREAM has, std::int64_t at) {
    // The disk filled up part way: the stream ends after its last whole
    // frame, and its info frame counts the frames that are there, so that
    // other tools read its length right.
    std::uint8_t header[4];
    file_.Seek(at);
    if (file_.Read(header, 4) != 4 || !IsValidHeader(header)) return;
    const int placeholder = Layer3FrameBytes(header);
    const std::int64_t size = file_.Size();
    std::int64_t end = at + placeholder;
    std::uint32_t frames = 0;
    std::uint16_t crc = 0;
    int last = -1;
    std::vector<WORD> kbps;  // of each frame, for a VBR stream's seek table
    std::vector<std::uint8_t> frame;
    for (;;) {
        file_.Seek(end);
        if (file_.Read(header, 4) != 4 || !IsValidHeader(header)) break;
        const int length = Layer3FrameBytes(header);
        if (length <= 4 || end + length > size) break;
        frame.resize(static_cast<std::size_t>(length));
        std::memcpy(frame.data(), header, 4);
        if (file_.Read(frame.data() + 4, frame.size() - 4) != frame.size() - 4) break;
        crc = acm::InfoCrc16(crc, frame.data(), frame.size());
        last = header[3];
        kbps.push_back(static_cast<WORD>(BitrateKbps((header[1] >> 3) & 1, 1, header[2] >> 4)));
        ++frames;
        end += length;
    }
    (void)file_.Truncate(end);
    std::array<BYTE, 4096> info{};
    MP3INFOFRAMECUT cut{frames,          static_cast<DWORD>(end - at), crc, last, info.data(),
                        static_cast<DWORD>(info.size()), kbps.data()};
    // A stream without an info frame (the smallest formats) has none to
    // fill in: its first frame is audio, and the encoder's frame is empty.
    if (placeholder <= 0 ||
        acmStreamMessage(has, ACMDM_MP3_INFOFRAME_CUT, reinterpret_cast<LPARAM>(&cut), 0) != MMSYSERR_NOERROR ||
        cut.cbFrame != static_cast<DWORD>(placeholder))
        return;
    file_.Seek(at);
    file_.Write(info.data(), cut.cbFrame);
    file_.Seek(end);
}

bool TTargetFile::PutInPlace() {
    // The result is the user's file again: its permissions, and (where we
    // run with the right to give files away) its owner and group.
    struct stat st {};
    if (::stat(final_.c_str(), &st) == 0) {
        ::chmod(partial_.c_str(), st.st_mode & 07777);
        if (::geteuid() == 0) (void)!::chown(partial_.c_str(), st.st_uid, st.st_gid);
    }
    if (placer_) {
        placer_->Place(file_.Release(), partial_, final_, std::move(placed_));
        return true;
    }
    // On the disk before it takes the earlier file's place, and the place
    // taken on the disk before we say it is done.
    if (!file_.Sync()) return false;
    file_.Close();
    if (::rename(partial_.c_str(), final_.c_str()) != 0) return false;
    SyncFolder(std::filesystem::path(final_).parent_path());
    return true;
}

bool TTargetFile::Finish(TEnd end) {
    if (!open_) return true;
    open_ = false;
    if (end != TEnd::Discard && wave_ && file_.IsOpen()) FinishWave();
    wave_ = false;
    bool placed = true;
    if (!partial_.empty()) {
        const bool handedOver = end == TEnd::Complete && placer_;
        if (end == TEnd::Complete) placed = PutInPlace();
        file_.Close();
        // Whatever did not take the earlier file's place goes.
        if (!handedOver && (end != TEnd::Complete || !placed)) ::unlink(partial_.c_str());
    } else {
        file_.Close();
        if (end == TEnd::Discard && created_) ::unlink(name_.c_str());
    }
    partial_.clear();
    final_.clear();
    placer_ = nullptr;
    placed_ = {};
    return placed;
}

}  // namespace sondrel
