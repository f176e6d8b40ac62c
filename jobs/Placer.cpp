#include "jobs/Placer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>

namespace sondrel {
namespace {

// At most so many files wait, each with its descriptor open.
constexpr std::size_t kMostWaiting = 128;
// A group waits this long for more files after its first: a few
// milliseconds of a batch of short files bring dozens, each sync then
// serves them all. (The syncs would cost a short file more than its
// conversion, done one by one.)
constexpr auto kGathering = std::chrono::milliseconds(20);

// Waits until the data of every file of fds is on the disk: one sync of
// each file system they are on where there are several of them, a sync of
// the file where there is one.
bool SyncFiles(const std::vector<int>& fds) {
    if (fds.size() == 1) return ::fsync(fds[0]) == 0;
    std::set<dev_t> done;
    bool ok = true;
    for (const int fd : fds) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return false;
        if (done.insert(st.st_dev).second) ok = ::syncfs(fd) == 0 && ok;
    }
    return ok;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

TPlacer::TPlacer() : thread_([this] { Run(); }) {}

TPlacer::~TPlacer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void TPlacer::Place(int fd, std::string hidden, std::string place, TDone done) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < kMostWaiting; });
    waiting_.push_back({fd, std::move(hidden), std::move(place), std::move(done)});
    changed_.notify_all();
}

void TPlacer::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++draining_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return waiting_.empty() && busy_ == 0; });
    --draining_;
}

void TPlacer::Run() {
    for (;;) {
        std::vector<TItem> group;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !waiting_.empty(); });
            if (waiting_.empty()) return;
            changed_.wait_for(lock, kGathering, [&] { return stop_ || draining_ || waiting_.size() >= kMostWaiting / 2; });
            group.swap(waiting_);
            busy_ = group.size();
        }
        changed_.notify_all();
        PlaceGroup(group);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = 0;
        }
        changed_.notify_all();
    }
}

void TPlacer::PlaceGroup(std::vector<TItem>& group) {
    std::vector<int> fds;
    for (const TItem& item : group) fds.push_back(item.fd);
    // The data on the disk before any name leads to it.
    const bool synced = SyncFiles(fds);
    std::set<std::string> folders;
    std::vector<bool> placed(group.size(), false);
    for (std::size_t i = 0; i < group.size(); ++i) {
        TItem& item = group[i];
        ::close(item.fd);
        placed[i] = synced && ::rename(item.hidden.c_str(), item.place.c_str()) == 0;
        if (placed[i])
            folders.insert(std::filesystem::path(item.place).parent_path().string());
        else
            ::unlink(item.hidden.c_str());
    }
    // The renames on the disk before they are said to be done.
    for (const std::string& folder : folders) SyncFolder(folder);
    for (std::size_t i = 0; i < group.size(); ++i) group[i].done(placed[i]);
}

}  // namespace sondrel
