#pragma once
// Plain loopback TCP sockets for the benchmarks' own servers.

#include <unistd.h>
#include <utility>

// A socket descriptor closed when it goes out of scope.
class SocketFd {
public:
    explicit SocketFd(int fd = -1) : fd_(fd) {}
    ~SocketFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SocketFd(SocketFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    SocketFd& operator=(SocketFd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Listens on 127.0.0.1 at a free port and sets `port`; an invalid socket and
// port -1 when it cannot.
SocketFd listenOnLoopback(int& port);
// A connection to 127.0.0.1:port; an invalid socket when there is none.
SocketFd connectToLoopback(int port);
