// The blocks of one stream in work on the shared pool, taken back in the
// order they were handed out: what the block decoder, the block encoder
// and the block resampler have in common. Each cuts its signal into
// blocks, hands each to the pool as a Job (anything with a std::future
// named result), keeps no more in work than its workers allow (Size),
// joins the oldest when it is done (FrontReady) or when it must wait for
// it (PopFront, then Await), and, going away or stopped, waits for every
// block it handed out before it drops them (a task must not outlive what
// it uses). Spare buffers for the blocks' output are SpareBuffers.h.
#pragma once

#include <chrono>
#include <deque>
#include <memory>

#include "platform/acm/blocks/WorkerPool.h"

namespace acm {

// The workers one stream's blocks get, for every block coder; 0 (the
// default) for one a processor core. The bytes never depend on it.
void SetStreamWorkers(int workers);
int StreamWorkers();

template <typename Job>
class InOrder {
public:
    InOrder() = default;
    ~InOrder() { Drop(); }
    InOrder(const InOrder&) = delete;
    InOrder& operator=(const InOrder&) = delete;

    // The shared pool, taken when the first block is handed to it (a
    // stream that never makes a block starts no threads).
    WorkerPool& Pool() {
        if (!pool_) pool_ = WorkerPool::Acquire();
        return *pool_;
    }

    void Push(Job job) { jobs_.push_back(std::move(job)); }
    std::size_t Size() const { return jobs_.size(); }
    bool Empty() const { return jobs_.empty(); }
    Job& Front() { return jobs_.front(); }
    Job& operator[](std::size_t i) { return jobs_[i]; }
    typename std::deque<Job>::iterator begin() { return jobs_.begin(); }
    typename std::deque<Job>::iterator end() { return jobs_.end(); }

    // The oldest block is done: taking it would not wait.
    bool FrontReady() const {
        return !jobs_.empty() && jobs_.front().result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    // The oldest block, out of the queue; its result is Await's.
    Job PopFront() {
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        return job;
    }
    // A block's result; meanwhile this thread works through the pool's
    // queue.
    template <typename T>
    T Await(std::future<T>& result) {
        return pool_ ? pool_->Await(result) : result.get();
    }
    // Waits for every block handed out (the caller has told their tasks to
    // stop where it wants them quick) and drops them.
    void Drop() {
        for (Job& job : jobs_)
            if (job.result.valid()) job.result.wait();
        jobs_.clear();
    }

private:
    std::shared_ptr<WorkerPool> pool_;
    std::deque<Job> jobs_;
};

}  // namespace acm
