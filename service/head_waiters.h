#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace orizume::service {

class HttpConnection;

// The connections that have not yet sent a whole request head, and which of them to close when a
// new client comes at the connection cap: those that do least. First one that has sent nothing
// at all, the one silent for longest (a client that has just connected is the last of them to
// go, as its request is on its way); when every one has sent something, the one whose head has
// come slowest (fewest bytes for the time it has been open), so a client that sends its head in
// pieces outlasts those that send a byte now and then. A connection that has sent its whole head
// is never among them.
class HeadWaiters {
public:
    using Clock = std::chrono::steady_clock;

    // Returns the connection's number here.
    std::uint64_t add(std::weak_ptr<HttpConnection> connection, Clock::time_point now);
    // The bytes of its head that have come so far.
    void progress(std::uint64_t number, std::size_t headBytes);
    // Once its head has come, or it has gone. False if it was taken to be closed meanwhile: then
    // it must close rather than go on, or the cap would not hold.
    bool remove(std::uint64_t number);
    // Whether any connection waits for its head.
    bool any();
    // Takes out the open connection to close to make room (see above); null if none.
    std::shared_ptr<HttpConnection> takeLeastProgressing(Clock::time_point now);

private:
    struct Waiter {
        std::weak_ptr<HttpConnection> connection;
        Clock::time_point since;
        std::size_t bytes = 0;
    };

    std::mutex mutex_;
    std::map<std::uint64_t, Waiter> waiting_; // oldest first
    std::set<std::uint64_t> silent_;          // those that have sent nothing, oldest first
    std::uint64_t next_ = 0;
};

} // namespace orizume::service
