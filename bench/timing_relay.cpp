#include "bench/timing_relay.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace {

// Sends all of it; false when the peer is gone.
bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// A relayed exchange may take this long at most.
constexpr auto kLimit = std::chrono::seconds(30);

} // namespace

TimingRelay::TimingRelay(int servicePort)
    : servicePort_(servicePort), acceptor_([this](const SocketFd& client) { relay(client); }) {}

std::optional<TimingRelay::Exchange> TimingRelay::lastExchange() const {
    const std::lock_guard lock(mutex_);
    return last_;
}

void TimingRelay::forget() {
    const std::lock_guard lock(mutex_);
    last_.reset();
}

void TimingRelay::relay(const SocketFd& client) {
    const SocketFd service = connectToLoopback(servicePort_);
    if (service.fd() < 0)
        return;
    Exchange times{};
    bool replyBegun = false;
    char buffer[64 * 1024];
    const auto deadline = Clock::now() + kLimit;
    while (!acceptor_.stopping() && Clock::now() < deadline) {
        pollfd fds[2] = {{client.fd(), POLLIN, 0}, {service.fd(), POLLIN, 0}};
        if (::poll(fds, 2, 100) < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0) { // the request, towards the service
            const ssize_t got = ::recv(client.fd(), buffer, sizeof buffer, 0);
            if (got <= 0)
                return; // the program went before the reply was complete
            if (!replyBegun)
                times.requestLast = Clock::now();
            if (!sendAll(service.fd(), buffer, static_cast<std::size_t>(got)))
                return;
        }
        if (fds[1].revents != 0) { // the reply, towards the program
            const ssize_t got = ::recv(service.fd(), buffer, sizeof buffer, 0);
            if (got < 0)
                return;
            if (got == 0) { // the service closed: the reply is whole
                const std::lock_guard lock(mutex_);
                last_ = times;
                return; // closing the client's socket ends the reply there too
            }
            times.replyLast = Clock::now();
            if (!replyBegun)
                times.replyFirst = times.replyLast;
            replyBegun = true;
            if (!sendAll(client.fd(), buffer, static_cast<std::size_t>(got)))
                return;
        }
    }
}
