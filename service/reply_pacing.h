#pragma once

#include <boost/beast/core/tcp_stream.hpp>

#include <chrono>

namespace orizume::service {

// The deadline of a reply under way. It measures the client's slowness only: it runs while the
// socket has a part of the reply to take, and stands still while the service analyses the next
// stretch, however long other requests keep the analysis threads busy. So a reply whose head has
// gone out is never cut short for the service's own slowness, and a client that does not read
// is still closed once it has kept its parts waiting that long in all.
class ReplyPacing {
public:
    explicit ReplyPacing(std::chrono::steady_clock::duration allowed) : left_(allowed) {}

    // Before each write of a part: the stream's deadline is the time left.
    void writing(boost::beast::tcp_stream& stream);
    // When the write has ended.
    void written();
    // What is left of the time allowed.
    std::chrono::steady_clock::duration left() const { return left_; }

private:
    std::chrono::steady_clock::duration left_;
    std::chrono::steady_clock::time_point since_{};
};

} // namespace orizume::service
