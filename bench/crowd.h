#pragma once
// Connections that hold a service's connection slots while doing little: silent ones, and
// trickling ones that send a byte a second; with `reopen`, each is opened again as soon as the
// service has closed it, as fast as a local program can.

#include "tests/service/service_test_support.h"

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace orizume::bench {

// Thousands of connections take as many files: raises this process's limit as far as it goes.
inline void allowManyConnections() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

class Crowd {
public:
    Crowd(int port, int silent, int trickling, bool reopen)
        : connections_(static_cast<std::size_t>(silent + trickling)),
          silent_(static_cast<std::size_t>(silent)) {
        using namespace std::chrono_literals;
        for (auto& connection : connections_) {
            connection = std::make_unique<service::testing::Connection>(port);
        }
        thread_ = std::thread([this, port, reopen] {
            auto lastByte = std::chrono::steady_clock::now();
            while (!done_) {
                const bool tick = std::chrono::steady_clock::now() - lastByte >= 1s;
                for (std::size_t i = 0; i < connections_.size() && !done_; ++i) {
                    auto& connection = connections_[i];
                    if (reopen && connection->closedByServer()) {
                        connection = std::make_unique<service::testing::Connection>(port);
                        ++reopened_;
                    } else if (tick && i >= silent_) {
                        connection->send("P");
                    }
                }
                if (tick) {
                    lastByte = std::chrono::steady_clock::now();
                }
                // Watching for closed ones keeps a processor busy; bytes alone need not.
                std::this_thread::sleep_for(reopen ? 1ms : 10ms);
            }
        });
    }
    ~Crowd() {
        done_ = true;
        thread_.join();
    }
    Crowd(const Crowd&) = delete;
    Crowd& operator=(const Crowd&) = delete;

    long reopened() const { return reopened_; }

private:
    std::vector<std::unique_ptr<service::testing::Connection>> connections_;
    std::size_t silent_;
    std::atomic<bool> done_{false};
    std::atomic<long> reopened_{0};
    std::thread thread_;
};

} // namespace orizume::bench
