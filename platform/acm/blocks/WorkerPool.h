// A fixed number of threads taking tasks from one queue, in order; an
// urgent task goes to the front. One of them is shared by all streams in
// work at a time (Acquire()): the blocks of every long file go there, so
// that in a batch the blocks of a long file take the cores its short files
// leave idle. It has a thread a processor core less one: a stream waiting
// for one of its blocks (Await) runs queued tasks itself meanwhile, so the
// converting thread is the last core's worker instead of a thread that
// sleeps beside a worker for every core. It lives while a stream holds it
// (no threads stay behind between jobs). A stream keeps about as many of
// its blocks in work as it was given workers; a task must not outlive what
// it uses (a stream waits for its own tasks before it goes).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace acm {

class WorkerPool {
public:
    explicit WorkerPool(int threads) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
    }
    // Tasks not started yet are dropped (their futures report a broken
    // promise); the ones running are waited for.
    ~WorkerPool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            queue_.clear();
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The pool the streams in work share, made when none holds one. A
    // child process (fork) has none of its parent's threads: it gets a pool
    // of its own.
    static std::shared_ptr<WorkerPool> Acquire() {
        static std::mutex guard;
        static std::weak_ptr<WorkerPool> current;
        static pid_t owner = 0;
        std::lock_guard<std::mutex> lock(guard);
        std::shared_ptr<WorkerPool> pool = owner == ::getpid() ? current.lock() : nullptr;
        if (!pool) {
            pool = std::make_shared<WorkerPool>(static_cast<int>(std::max(2u, std::thread::hardware_concurrency())) - 1);
            current = pool;
            owner = ::getpid();
        }
        return pool;
    }

    template <typename F>
    std::future<std::invoke_result_t<F>> Submit(F task, bool urgent = false) {
        auto packaged = std::make_shared<std::packaged_task<std::invoke_result_t<F>()>>(std::move(task));
        std::future<std::invoke_result_t<F>> result = packaged->get_future();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (urgent)
                queue_.emplace_front([packaged] { (*packaged)(); });
            else
                queue_.emplace_back([packaged] { (*packaged)(); });
        }
        wake_.notify_one();
        done_.notify_all();
        return result;
    }

    // A task's result. Until it is there this thread runs tasks from the
    // queue (its own stream's or another's); it sleeps only when there is
    // none to run.
    template <typename T>
    T Await(std::future<T>& result) {
        const auto ready = [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                done_.wait(lock, [&] { return ready() || !queue_.empty(); });
                if (ready()) break;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
            Finished();
        }
        return result.get();
    }

private:
    void Run() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) return;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
            Finished();
        }
    }

    // Wakes the threads awaiting a result (under the lock, so that one
    // about to sleep cannot miss it).
    void Finished() {
        { std::lock_guard<std::mutex> lock(mutex_); }
        done_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;  // a task finished or came: for Await
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace acm
