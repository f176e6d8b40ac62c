#include "platform/acm/blocks/InOrder.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace acm {
namespace {

std::atomic<int> g_workers{0};

}  // namespace

void SetStreamWorkers(int workers) { g_workers = std::max(0, workers); }

int StreamWorkers() {
    const int set = g_workers;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(set > 0 ? set : cores, 1, 16);
}

}  // namespace acm
