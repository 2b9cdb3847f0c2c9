// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_parallel.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace dorvalix {

namespace {

// More threads than this only add overhead to tables of this size.
constexpr int kMaxThreads = 64;

int CoresAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int cores = CPU_COUNT(&set);
        if (cores > 0) return cores;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

}  // namespace

int HklThreadCount(int requested) {
    const int threads = requested > 0 ? requested : CoresAvailable();
    return std::clamp(threads, 1, kMaxThreads);
}

void RunOnThreads(int threads, const std::function<void(int)>& work) {
    threads = std::max(threads, 1);
    if (threads == 1) {
        work(0);
        return;
    }
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto guarded = [&](int t) {
        try {
            work(t);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failure_lock);
            if (!failure) failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> others;
        others.reserve(static_cast<std::size_t>(threads - 1));
        int started = 1;
        try {
            for (; started < threads; ++started)
                others.emplace_back(guarded, started);
        } catch (const std::system_error&) {
            // No thread to be had: the calling thread does the rest of the work too.
        }
        guarded(0);
        for (int t = started; t < threads; ++t)
            guarded(t);
    }  // joined here
    if (failure) std::rethrow_exception(failure);
}

void ForEachPiece(std::size_t count, int threads,
                  const std::function<void(std::size_t, int)>& work) {
    threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)),
                                                     std::max<std::size_t>(count, 1)));
    if (threads == 1) {
        for (std::size_t piece = 0; piece < count; ++piece)
            work(piece, 0);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    RunOnThreads(threads, [&](int t) {
        try {
            for (std::size_t piece = next++; piece < count && !failed; piece = next++)
                work(piece, t);
        } catch (...) {
            failed = true;
            throw;
        }
    });
}

void ProduceInOrder(std::size_t count, int threads,
                    const std::function<void(std::size_t, std::string&)>& produce,
                    const std::function<void(std::string_view)>& consume) {
    if (threads <= 1 || count <= 1) {
        std::string text;
        for (std::size_t piece = 0; piece < count; ++piece) {
            text.clear();
            produce(piece, text);
            consume(text);
        }
        return;
    }
    // Piece i is made into slot i % ahead once piece i − ahead has been consumed. The
    // calling thread consumes, and makes the next piece itself whenever the one it waits
    // for is not ready: a maker that the system keeps waiting holds up no more than its own
    // piece.
    const std::size_t ahead = 2 * static_cast<std::size_t>(threads);
    std::vector<std::string> slots(ahead);
    std::vector<char> ready(ahead, 0);
    std::mutex lock;
    std::condition_variable changed;
    std::size_t next = 0, consumed = 0;
    bool failed = false;
    std::exception_ptr failure;
    auto fail = [&](std::exception_ptr e) {
        const std::lock_guard<std::mutex> guard(lock);
        if (!failure) failure = e;
        failed = true;
        changed.notify_all();
    };
    // Makes piece `piece` (taken under the lock) and tells the others.
    auto make = [&](std::size_t piece) {
        std::string& text = slots[piece % ahead];
        try {
            text.clear();
            produce(piece, text);
        } catch (...) {
            fail(std::current_exception());
            return;
        }
        const std::lock_guard<std::mutex> guard(lock);
        ready[piece % ahead] = 1;
        changed.notify_all();
    };
    auto maker = [&] {
        for (;;) {
            std::size_t piece;
            {
                std::unique_lock<std::mutex> guard(lock);
                changed.wait(guard,
                             [&] { return failed || next >= count || next < consumed + ahead; });
                if (failed || next >= count) return;
                piece = next++;
            }
            make(piece);
        }
    };
    {
        std::vector<std::jthread> makers;
        makers.reserve(static_cast<std::size_t>(threads - 1));
        try {
            for (int t = 1; t < threads; ++t)
                makers.emplace_back(maker);
        } catch (const std::system_error&) {
            // Fewer makers: the calling thread makes what they do not.
        }
        while (consumed < count) {
            std::unique_lock<std::mutex> guard(lock);
            if (failed) break;
            const std::size_t at = consumed % ahead;
            if (ready[at] != 0) {
                guard.unlock();
                try {
                    consume(slots[at]);
                } catch (...) {
                    fail(std::current_exception());
                    break;
                }
                guard.lock();
                ready[at] = 0;
                ++consumed;
                changed.notify_all();
            } else if (next < count && next < consumed + ahead) {
                const std::size_t piece = next++;
                guard.unlock();
                make(piece);
            } else {
                changed.wait(guard);
            }
        }
    }  // the makers are joined here
    if (failure) std::rethrow_exception(failure);
}

}  // namespace dorvalix
