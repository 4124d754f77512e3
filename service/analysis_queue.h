#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orizume::service {

// The threads that analyse, and the analyses waiting for one: shorter requests first, so that a
// person's text never waits behind a crowd of texts at the body limit, each of which is analysed a
// stretch at a time. A task is due a number of turns after it was posted that grows with its
// request's length (a turn per 64 bytes), and tasks run in the order they fall due: a longer
// request lets later, shorter ones go first, but only so many, and is never starved by a steady
// stream of them.
class AnalysisQueue {
public:
    explicit AnalysisQueue(unsigned threads);
    ~AnalysisQueue();
    AnalysisQueue(const AnalysisQueue&) = delete;
    AnalysisQueue& operator=(const AnalysisQueue&) = delete;

    // Runs task on one of the threads once it falls due (see above); tasks of one length in the
    // order they were posted. Nothing runs after stop().
    void post(std::size_t requestBytes, std::function<void()> task);

    // Drops the tasks that wait and waits for those under way; on its first call only.
    void stop();

private:
    static constexpr std::size_t bytesPerTurn = 64;

    struct Task {
        std::uint64_t due; // the turn it falls due
        std::uint64_t order;
        std::function<void()> run;
    };
    struct RunsLater {
        bool operator()(const Task& a, const Task& b) const {
            return a.due != b.due ? a.due > b.due : a.order > b.order;
        }
    };

    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Task> tasks_; // a heap: the next task at the front
    std::uint64_t posted_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace orizume::service
