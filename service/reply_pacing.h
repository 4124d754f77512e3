#pragma once

#include <chrono>

namespace orizume::service {

// The deadline of a reply under way. It measures the client's slowness only: it runs while the
// socket has a part of the reply to take, and stands still while the service analyses the next
// stretch, however long other requests keep the analysis threads busy. So a reply whose head has
// gone out is never cut short for the service's own slowness, and a client that does not read
// is still closed once it has kept its parts waiting that long in all.
// The service reads steady_clock; a test steps a clock of its own.
template <class Clock> class BasicReplyPacing {
public:
    using duration = typename Clock::duration;

    explicit BasicReplyPacing(duration allowed) : left_(allowed) {}

    // Before each write of a part: the stream's deadline is the time left.
    template <class Stream> void writing(Stream& stream) {
        since_ = Clock::now();
        // A deadline already past still lets the write start, and end at once with a timeout.
        stream.expires_after(left_ > duration::zero() ? left_ : duration::zero());
    }
    // When the write has ended.
    void written() { left_ -= Clock::now() - since_; }
    // What is left of the time allowed.
    duration left() const { return left_; }

private:
    duration left_;
    typename Clock::time_point since_{};
};

using ReplyPacing = BasicReplyPacing<std::chrono::steady_clock>;

} // namespace orizume::service
