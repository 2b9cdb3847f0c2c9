// SPDX-License-Identifier: GPL-3.0-or-later
// Work spread over threads: each index is handed to the next free thread, and the results
// are stored by index, so that the outcome does not depend on which thread did what.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace dorvalix::indexing {

// The threads a search uses when not told: every core.
inline int DefaultThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

// Calls work(i) once for each i in 0..count−1 on up to `threads` threads (the calling one
// among them). An exception thrown by work ends the loop and is thrown again here.
template <class Work>
void ParallelFor(std::size_t count, int threads, Work&& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto run = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= count) return;
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) failure = std::current_exception();
                next.store(count);
            }
        }
    };
    const std::size_t extra =
        std::min<std::size_t>(count, static_cast<std::size_t>(std::max(threads, 1))) -
        (count > 0 ? 1 : 0);
    {
        std::vector<std::jthread> pool;
        pool.reserve(extra);
        for (std::size_t t = 0; t < extra; ++t)
            pool.emplace_back(run);
        run();
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace dorvalix::indexing
