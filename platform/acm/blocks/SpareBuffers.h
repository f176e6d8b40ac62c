// Buffers handed back once their contents are out, for the next block of
// work to fill: a block's samples are made on a worker and given out on the
// converting thread, so a buffer crosses threads both ways. A buffer used
// again keeps its pages; a new one for every block would cost a page fault
// for each 4 KB it is written (in a worker's own heap, freed memory goes
// back to the kernel soon), more than the decoding of those samples.
#pragma once

#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace acm {

template <typename T>
class SpareBuffers {
public:
    // An empty buffer, with the room of one given back if there is one.
    std::vector<T> Take() {
        std::vector<T> buffer = Pop();
        buffer.clear();
        return buffer;
    }
    // A buffer of n elements for the caller to write all of: one given back
    // keeps its length, so only what it lacks is cleared first (a buffer of
    // the length of the last is not written twice).
    std::vector<T> Take(std::size_t n) {
        std::vector<T> buffer = Pop();
        buffer.resize(n);
        return buffer;
    }
    void Give(std::vector<T>&& buffer) {
        if (buffer.capacity() == 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        spare_.push_back(std::move(buffer));
    }

private:
    std::vector<T> Pop() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.empty()) return {};
        std::vector<T> buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
    }

    std::mutex mutex_;
    std::vector<std::vector<T>> spare_;
};

}  // namespace acm
