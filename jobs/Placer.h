// Puts the complete targets of a batch in their places, durably and in
// groups. A target is written under a hidden name beside its place; once
// it is complete, the placer makes it durable on the disk, renames it into
// its place and makes the rename durable, so that whatever stops the
// process (a crash, kill -9, a power cut) leaves under a target's name
// only a whole file or the file that was there before.
//
// The syncs are what such a guarantee costs, and each waits for the disk:
// done one file after another they cost a conversion of a short file more
// than the conversion itself. The placer does them on its own thread, so
// that the workers go on converting, and for all the targets that wait at
// once together: one sync of their file system for their data, then the
// renames, then one sync of each of their folders.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sondrel {

class TPlacer {
public:
    // Told whether the file took its place (false: it did not, it is gone,
    // and whatever was there before stays).
    using TDone = std::function<void(bool placed)>;

    TPlacer();
    // Places what is waiting, then ends its thread.
    ~TPlacer();
    TPlacer(const TPlacer&) = delete;
    TPlacer& operator=(const TPlacer&) = delete;

    // Takes the open file fd, complete at hidden, to go to place; done is
    // called from the placer's thread. Waits while many files wait already
    // (each holds a descriptor).
    void Place(int fd, std::string hidden, std::string place, TDone done);
    // Returns when every file handed over so far is placed.
    void Drain();

private:
    struct TItem {
        int fd;
        std::string hidden, place;
        TDone done;
    };
    void Run();
    static void PlaceGroup(std::vector<TItem>& group);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TItem> waiting_;
    std::size_t busy_ = 0;  // taken by the thread, not yet placed
    bool stop_ = false;
    int draining_ = 0;  // someone waits for every file: no gathering
    std::thread thread_;
};

}  // namespace sondrel
