#include "service/analysis_queue.h"

#include <algorithm>

namespace orizume::service {

AnalysisQueue::AnalysisQueue(unsigned threads) {
    for (unsigned i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { work(); });
    }
}

AnalysisQueue::~AnalysisQueue() {
    stop();
}

AnalysisQueue::Place AnalysisQueue::enter(std::size_t requestBytes) {
    const std::lock_guard lock(mutex_);
    const std::uint64_t order = entered_++;
    return {order + requestBytes / bytesPerTurn, order};
}

void AnalysisQueue::post(Place place, std::function<void()> task) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        tasks_.push_back(Task{place, posted_++, std::move(task)});
        std::push_heap(tasks_.begin(), tasks_.end(), RunsLater());
    }
    wake_.notify_one();
}

void AnalysisQueue::stop() {
    decltype(tasks_) dropped; // destroyed outside the lock: tasks hold connections
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        std::swap(dropped, tasks_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void AnalysisQueue::work() {
    for (;;) {
        std::function<void()> run;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) {
                return;
            }
            std::pop_heap(tasks_.begin(), tasks_.end(), RunsLater());
            run = std::move(tasks_.back().run);
            tasks_.pop_back();
        }
        run();
    }
}

} // namespace orizume::service
