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
// stretch at a time. A request takes its place in the queue once: it falls due a number of turns
// after it came that grows with its length (a turn per request that comes after it, a request's
// due turn one later for every 64 bytes of it), and every analysis of that request, the count and
// each stretch, is queued at that same place. So a longer request lets later, shorter ones go
// first, but at most one later request per 64 bytes of its own over all its analyses together, and
// it is never starved by a steady stream of them.
class AnalysisQueue {
public:
    // Where a request's analyses are queued: those due earliest run first, and of those due at
    // one turn, the request that came first.
    struct Place {
        std::uint64_t due = 0;
        std::uint64_t order = 0;
        // The same request with no more room for later ones to go first: for work that a client
        // already waits on (a reply whose head has gone out).
        Place ahead() const { return {order, order}; }
    };

    explicit AnalysisQueue(unsigned threads);
    ~AnalysisQueue();
    AnalysisQueue(const AnalysisQueue&) = delete;
    AnalysisQueue& operator=(const AnalysisQueue&) = delete;

    // The place of a request of requestBytes bytes that comes now.
    Place enter(std::size_t requestBytes);
    // Runs task on one of the threads once it falls due (see above); tasks at one place in the
    // order they were posted. Nothing runs after stop().
    void post(Place place, std::function<void()> task);

    // Drops the tasks that wait and waits for those under way; on its first call only.
    void stop();

    static constexpr std::size_t bytesPerTurn = 64;

private:
    struct Task {
        Place place;
        std::uint64_t posted;
        std::function<void()> run;
    };
    struct RunsLater {
        bool operator()(const Task& a, const Task& b) const {
            if (a.place.due != b.place.due) {
                return a.place.due > b.place.due;
            }
            return a.place.order != b.place.order ? a.place.order > b.place.order
                                                  : a.posted > b.posted;
        }
    };

    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Task> tasks_; // a heap: the next task at the front
    std::uint64_t entered_ = 0;
    std::uint64_t posted_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace orizume::service
