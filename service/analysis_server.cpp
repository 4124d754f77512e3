#include "service/analysis_server.h"

#include "service/reply_writer.h"

#include <boost/asio/strand.hpp>

#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <ostream>
#include <thread>
#include <vector>

namespace orizume::service {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// Reading and writing only: two threads keep up with the analysis threads.
constexpr int ioThreads = 2;
constexpr std::chrono::seconds trimInterval{1};
// Once the allocator keeps more than this freed, all of it goes back to the system when the
// service is idle (malloc_trim keeps no part of it). Less stays: giving it back would only make
// the next request fault its memory in again.
constexpr std::size_t freeBytesWorthTrimming = 8 * 1024 * 1024;

// One per processor the service may run on (a container or taskset may allow fewer than the
// machine has).
unsigned analysisThreads() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        return static_cast<unsigned>(std::max(1, CPU_COUNT(&allowed)));
    }
    return std::max(1U, std::thread::hardware_concurrency());
}

std::size_t connectionCap(std::size_t configured) {
    if (configured != 0) {
        return configured;
    }
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
        return AnalysisServer::connectionCeiling;
    }
    const auto open = static_cast<std::size_t>(files.rlim_cur);
    return std::clamp<std::size_t>(
        open > AnalysisServer::reservedFiles ? open - AnalysisServer::reservedFiles : 1, 1,
        AnalysisServer::connectionCeiling);
}

std::string informationPage(const Analyzer& analyzer) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"UTF-8\">"
                       "<title>オリズメ analysis service</title></head><body>"
                       "<h1>オリズメ analysis service</h1><p>Morphological analysis by ";
    appendEscaped(page, analyzer.analyzerName());
    page += " with the dictionary ";
    appendEscaped(page, analyzer.dictionaryName());
    page += ".</p><p>POST /MAService/V1/parse with the form fields appid, sentence and "
            "results=ma answers the word list as XML.</p></body></html>\n";
    return page;
}

} // namespace

AnalysisServer::AnalysisServer(const Analyzer& analyzer, std::ostream* log, ServiceLimits limits)
    : log_(log), cap_(connectionCap(limits.maxConnections)),
      spareWords_(limits.spareWordBytes), context_{analyzer,
                                                   limits,
                                                   analyses_,
                                                   stopping_,
                                                   informationPage(analyzer),
                                                   [this](const std::string& line) {
                                                       logLine(line);
                                                   },
                                                   answered_,
                                                   cap_,
                                                   spareWords_},
      io_(ioThreads), acceptor_(io_), acceptPause_(io_), trimTimer_(io_),
      analyses_(analysisThreads()) {}

AnalysisServer::~AnalysisServer() {
    stop();
}

void AnalysisServer::tuneAllocator() {
    // Texts and replies of a few hundred KiB and more are mapped on their own and unmapped when
    // freed. Left to itself, the allocator raises this threshold after the first such block is
    // freed and then keeps megabytes in every analysis thread's arena, out of malloc_trim's reach.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

void AnalysisServer::logLine(const std::string& line) {
    if (log_ == nullptr) {
        return;
    }
    const std::lock_guard lock(logMutex_);
    *log_ << line << '\n' << std::flush;
}

int AnalysisServer::bind(const std::string& address, int port) {
    bindError_.clear();
    const std::string where = address + ":" + std::to_string(port);
    boost::system::error_code ec;
    tcp::resolver resolver(io_);
    const auto endpoints = resolver.resolve(
        address, std::to_string(port), tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || endpoints.empty()) {
        bindError_ = "cannot resolve the address " + address + ": " + ec.message();
        return -1;
    }
    const tcp::endpoint endpoint = endpoints.begin()->endpoint();
    acceptor_.close(ec);
    acceptor_.open(endpoint.protocol(), ec);
    // SO_REUSEADDR only (not SO_REUSEPORT): a second service must find the port taken.
    if (!ec) {
        acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor_.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        bindError_ = "cannot bind " + where + ": " + ec.message();
        if (ec == asio::error::access_denied) {
            bindError_ += " (ports below 1024 need privileges)";
        }
        acceptor_.close(ec);
        return -1;
    }
    return acceptor_.local_endpoint(ec).port();
}

void AnalysisServer::stopOnSignals(std::function<void(int)> announce) {
    signals_.emplace(io_, SIGINT, SIGTERM);
    signals_->async_wait(
        [this, announce = std::move(announce)](boost::system::error_code ec, int signal) {
            if (!ec) {
                announce(signal);
                stop();
            }
        });
}

// At the cap, clients wait in the listen queue until the cap lets one more in.
void AnalysisServer::accept() {
    const bool room = cap_.mayAccept([this] {
        if (!stopping_) {
            asio::post(io_, [this] { accept(); });
        }
    });
    if (!room) {
        return;
    }
    // Each connection's handlers run one at a time on a strand of their own.
    acceptor_.async_accept(
        asio::make_strand(io_), [this](boost::system::error_code ec, tcp::socket socket) {
            if (!acceptor_.is_open()) {
                return;
            }
            if (ec) {
                acceptLater(); // out of descriptors, say: not again at once
                return;
            }
            try {
                std::make_shared<HttpConnection>(std::move(socket), context_)->start();
            } catch (const std::exception& e) {
                // Out of memory, say: this client is dropped, and the next one accepted.
                logLine(std::string("analysis-service: ") + e.what());
            }
            accept();
        });
}

void AnalysisServer::acceptLater() {
    acceptPause_.expires_after(std::chrono::milliseconds(20));
    acceptPause_.async_wait([this](boost::system::error_code ec) {
        if (!ec) {
            accept();
        }
    });
}

// Analyses keep their lattices, and leave freed memory with the allocator, for the next ones.
// When no client is connected and requests were answered since the last time, what load grew
// goes back to the system: every lattice but the one a person's next request takes, and freed
// memory once it is more than a few megabytes.
void AnalysisServer::trimWhenIdle() {
    trimTimer_.expires_after(trimInterval);
    trimTimer_.async_wait([this](boost::system::error_code ec) {
        if (ec) {
            return;
        }
        const unsigned long answered = answered_;
        if (cap_.open() == 0 && answered != answeredAtTrim_) {
            context_.analyzer.releaseSpareLattices();
            if (mallinfo2().fordblks > freeBytesWorthTrimming) {
                malloc_trim(0);
            }
            answeredAtTrim_ = answered;
        }
        trimWhenIdle();
    });
}

bool AnalysisServer::listen() {
    if (!acceptor_.is_open()) {
        return false;
    }
    running_ = true;
    accept();
    trimWhenIdle();
    const auto run = [this] {
        // A handler that throws is a fault of one connection: report it and go on serving.
        for (;;) {
            try {
                io_.run();
                return;
            } catch (const std::exception& e) {
                logLine(std::string("analysis-service: internal error: ") + e.what());
            }
        }
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < ioThreads; ++i) {
        threads.emplace_back(run);
    }
    run();
    for (std::thread& thread : threads) {
        thread.join();
    }
    stopping_ = true;
    analyses_.stop();
    running_ = false;
    return true;
}

void AnalysisServer::stop() {
    stopping_ = true;
    io_.stop();
}

} // namespace orizume::service
