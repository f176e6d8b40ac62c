// A fixed number of threads taking tasks from one queue, in order; an
// urgent task goes to the front. The block encoder runs its blocks on one,
// so that no more run at once than it was given workers, whatever is
// queued behind them.
#pragma once

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
        return result;
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
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace acm
