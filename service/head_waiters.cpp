#include "service/head_waiters.h"

namespace orizume::service {

std::uint64_t HeadWaiters::add(std::weak_ptr<HttpConnection> connection, Clock::time_point now) {
    const std::lock_guard lock(mutex_);
    waiting_.emplace(next_, Waiter{std::move(connection), now, 0});
    silent_.insert(next_);
    return next_++;
}

void HeadWaiters::progress(std::uint64_t number, std::size_t headBytes) {
    const std::lock_guard lock(mutex_);
    const auto waiter = waiting_.find(number);
    if (waiter == waiting_.end() || headBytes == 0) {
        return;
    }
    waiter->second.bytes = headBytes;
    silent_.erase(number);
}

bool HeadWaiters::remove(std::uint64_t number) {
    const std::lock_guard lock(mutex_);
    silent_.erase(number);
    return waiting_.erase(number) != 0;
}

bool HeadWaiters::any() {
    const std::lock_guard lock(mutex_);
    return !waiting_.empty();
}

std::shared_ptr<HttpConnection> HeadWaiters::takeLeastProgressing(Clock::time_point now) {
    const std::lock_guard lock(mutex_);
    while (!waiting_.empty()) {
        auto chosen = waiting_.end();
        if (!silent_.empty()) {
            chosen = waiting_.find(*silent_.begin());
        } else {
            // Fewest bytes per time open: a / ageA < b / ageB, without dividing. The oldest goes
            // first of those that are alike.
            using Micro = std::chrono::microseconds;
            const auto age = [now](const Waiter& w) {
                const auto open = std::chrono::duration_cast<Micro>(now - w.since).count();
                return static_cast<unsigned long long>(open > 0 ? open : 0) + 1;
            };
            for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
                if (chosen == waiting_.end() || it->second.bytes * age(chosen->second) <
                                                    chosen->second.bytes * age(it->second)) {
                    chosen = it;
                }
            }
        }
        std::shared_ptr<HttpConnection> connection = chosen->second.connection.lock();
        silent_.erase(chosen->first);
        waiting_.erase(chosen);
        if (connection) {
            return connection;
        }
    }
    return nullptr;
}

} // namespace orizume::service
