#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace orizume::service {

class HttpConnection;

// The connections that have not yet sent a whole request head, the longest waiting first. At the
// connection cap the first of them is closed to make room: connections that send nothing, or a
// byte now and then, can never keep a new client out.
class HeadWaiters {
public:
    // Returns the connection's number here.
    std::uint64_t add(std::weak_ptr<HttpConnection> connection) {
        const std::lock_guard lock(mutex_);
        waiting_.emplace(next_, std::move(connection));
        return next_++;
    }
    // Once its head has come, or it has gone; nothing if it was taken already.
    void remove(std::uint64_t number) {
        const std::lock_guard lock(mutex_);
        waiting_.erase(number);
    }
    // Whether any connection waits for its head.
    bool any() {
        const std::lock_guard lock(mutex_);
        return !waiting_.empty();
    }
    // Takes out the connection that has waited longest and is still open; null if none.
    std::shared_ptr<HttpConnection> takeLongestWaiting() {
        const std::lock_guard lock(mutex_);
        while (!waiting_.empty()) {
            std::shared_ptr<HttpConnection> connection = waiting_.begin()->second.lock();
            waiting_.erase(waiting_.begin());
            if (connection) {
                return connection;
            }
        }
        return nullptr;
    }

private:
    std::mutex mutex_;
    std::map<std::uint64_t, std::weak_ptr<HttpConnection>> waiting_;
    std::uint64_t next_ = 0;
};

} // namespace orizume::service
