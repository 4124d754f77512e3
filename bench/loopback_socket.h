#pragma once
// Plain loopback TCP sockets for the benchmarks' own servers.

#include <atomic>
#include <functional>
#include <thread>
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

// Listens on 127.0.0.1 at a free port and, on a thread of its own, hands each
// connection made to it to `serve`, one at a time; stops when it goes.
class LoopbackAcceptor {
public:
    using Serve = std::function<void(const SocketFd& client)>;

    explicit LoopbackAcceptor(Serve serve);
    ~LoopbackAcceptor();
    LoopbackAcceptor(const LoopbackAcceptor&) = delete;
    LoopbackAcceptor& operator=(const LoopbackAcceptor&) = delete;

    // The port it listens on, or -1 when it could not listen.
    int port() const { return port_; }
    // True once it is going: a long `serve` should return.
    bool stopping() const { return stopping_; }

private:
    void acceptAll();

    int port_ = -1;
    SocketFd listener_;
    std::atomic<bool> stopping_{false};
    Serve serve_;
    std::thread thread_;
};
