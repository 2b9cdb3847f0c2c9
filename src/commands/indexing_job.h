// SPDX-License-Identifier: GPL-3.0-or-later
// An indexing run on a thread of its own, so that the window that started it stays
// responsive: the search reports its progress and the cells it finds into a mailbox, which
// the window empties (Collect) on its own thread whenever it likes. The search works on its
// own copies of the peaks and options and touches nothing else. Cancel asks the search to
// stop at its next progress report; the destructor cancels and waits for the thread, so a
// window that closes (or a program that ends) while a search runs leaves nothing behind.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "indexing.h"

namespace dorvalix {

class IndexingJob {
  public:
    // Starts the search at once.
    IndexingJob(indexing::PeakList peaks, indexing::IndexingOptions options);
    ~IndexingJob();
    IndexingJob(const IndexingJob&) = delete;
    IndexingJob& operator=(const IndexingJob&) = delete;

    // The search stops at its next progress report, with what it has found by then.
    void Cancel() { cancel_.store(true); }
    bool Cancelled() const { return cancel_.load(); }

    // What arrived since the last Collect: the latest progress, the cells found (in the
    // order found), and once the search has ended its result, or the exception it ended in.
    struct News {
        std::optional<indexing::IndexingProgress> progress;
        std::vector<indexing::IndexingSolution> found;
        bool finished = false;
        std::optional<indexing::IndexingResult> result;
        std::exception_ptr failure;
    };
    News Collect();

    // Blocks until the search has ended.
    void Wait();

  private:
    void Work(const indexing::PeakList& peaks, const indexing::IndexingOptions& options);

    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    News mailbox_;
    bool finished_ = false;
    std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace dorvalix
