// SPDX-License-Identifier: GPL-3.0-or-later
#include "indexing_job.h"

#include <utility>

namespace dorvalix {

IndexingJob::IndexingJob(indexing::PeakList peaks, indexing::IndexingOptions options)
    : thread_([this, peaks = std::move(peaks), options = std::move(options)] {
          Work(peaks, options);
      }) {}

IndexingJob::~IndexingJob() {
    Cancel();
    if (thread_.joinable()) thread_.join();
}

void IndexingJob::Work(const indexing::PeakList& peaks, const indexing::IndexingOptions& options) {
    std::optional<indexing::IndexingResult> result;
    std::exception_ptr failure;
    try {
        result = indexing::RunIndexing(
            peaks, options,
            [this](const indexing::IndexingProgress& p) {
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    mailbox_.progress = p;
                }
                return !cancel_.load();
            },
            [this](const indexing::IndexingSolution& s) {
                const std::lock_guard<std::mutex> lock(mutex_);
                mailbox_.found.push_back(s);
            });
    } catch (...) {
        failure = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    mailbox_.finished = true;
    mailbox_.result = std::move(result);
    mailbox_.failure = failure;
    finished_ = true;
    ended_.notify_all();
}

IndexingJob::News IndexingJob::Collect() {
    const std::lock_guard<std::mutex> lock(mutex_);
    News news = std::move(mailbox_);
    mailbox_ = News{};
    // The end is told once; later calls find nothing new.
    return news;
}

void IndexingJob::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return finished_; });
}

}  // namespace dorvalix
