// The pool's promise to a thread awaiting its task: it works through the
// queue instead of sleeping, so that the pool needs no thread for the core
// the converting thread runs on.
#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "platform/acm/blocks/WorkerPool.h"

TEST(WorkerPool, AnAwaitingThreadRunsTheQueueItself) {
    // The pool's one thread is held until the last task queued has run, so
    // only the awaiting thread can run the queue: a pool that let it sleep
    // would hang here. What it runs, it runs in the queue's order.
    acm::WorkerPool pool(1);
    std::promise<void> release, holding;
    std::shared_future<void> released = release.get_future().share();
    auto held = pool.Submit([&holding, released] {
        holding.set_value();
        released.wait();
        return 0;
    });
    holding.get_future().wait();
    std::vector<int> ran;
    auto first = pool.Submit([&ran] {
        ran.push_back(1);
        return 1;
    });
    auto last = pool.Submit([&ran, &release] {
        ran.push_back(2);
        release.set_value();
        return 2;
    });
    EXPECT_EQ(pool.Await(last), 2);
    EXPECT_EQ(pool.Await(first), 1);
    EXPECT_EQ(pool.Await(held), 0);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}
