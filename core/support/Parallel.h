#pragma once

// Runs independent pieces of work across the cores.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace kelvane {

inline unsigned workerCount() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

// Calls work(i) for every i in [0, count), spread over the cores (or over `threads` threads,
// for work that waits on the disk more than it computes); returns when all are done. Each
// index is taken exactly once, so work(i) may write slot i of a result without locks.
template <class Work>
void parallelFor(std::size_t count, Work&& work, unsigned threadCount = 0) {
    const auto threads =
        std::min<std::size_t>(threadCount == 0 ? workerCount() : threadCount, count);
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
        }
        return;
    }
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            work(i);
        }
    };
    std::vector<std::jthread> pool;
    pool.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t) {
        pool.emplace_back(worker);
    }
    worker();
}

}  // namespace kelvane
