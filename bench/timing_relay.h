#pragma once
// Stands between the program and the analysis service on loopback, passes
// every byte on unchanged, and notes when the request and the reply crossed
// it: the wire times of one Parse.

#include "bench/loopback_socket.h"

#include <chrono>
#include <mutex>
#include <optional>

class TimingRelay {
public:
    using Clock = std::chrono::steady_clock;

    struct Exchange {
        Clock::time_point requestLast; // the last request byte before the reply began
        Clock::time_point replyFirst;  // the first reply byte
        Clock::time_point replyLast;   // the last reply byte, before the service closed
    };

    // Relays each connection made to port() to 127.0.0.1:servicePort, one at a time.
    explicit TimingRelay(int servicePort);
    TimingRelay(const TimingRelay&) = delete;
    TimingRelay& operator=(const TimingRelay&) = delete;

    // The port it listens on, or -1 when it could not listen.
    int port() const { return acceptor_.port(); }
    // The last exchange relayed to its end (the service closed), if any since forget().
    std::optional<Exchange> lastExchange() const;
    void forget();

private:
    void relay(const SocketFd& client);

    int servicePort_;
    mutable std::mutex mutex_;
    std::optional<Exchange> last_;
    LoopbackAcceptor acceptor_; // last: its thread uses the members above
};
