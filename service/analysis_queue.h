#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orizume::service {

// The threads that analyse, and the analyses waiting for one: the shortest request first, those
// of one length in turn. A person's text then never waits behind a crowd of texts at the body
// limit, each of which is analysed a stretch at a time.
class AnalysisQueue {
public:
    explicit AnalysisQueue(unsigned threads);
    ~AnalysisQueue();
    AnalysisQueue(const AnalysisQueue&) = delete;
    AnalysisQueue& operator=(const AnalysisQueue&) = delete;

    // Runs task on one of the threads, after the tasks of requests shorter than requestBytes and
    // those of the same length posted before it. Nothing runs after stop().
    void post(std::size_t requestBytes, std::function<void()> task);

    // Drops the tasks that wait and waits for those under way; on its first call only.
    void stop();

private:
    struct Task {
        std::size_t requestBytes;
        std::uint64_t order;
        std::function<void()> run;
    };
    struct RunsLater {
        bool operator()(const Task& a, const Task& b) const {
            return a.requestBytes != b.requestBytes ? a.requestBytes > b.requestBytes
                                                    : a.order > b.order;
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
