#pragma once

#include "service/analysis_queue.h"
#include "service/analyzer.h"
#include "service/byte_budget.h"
#include "service/connection_cap.h"
#include "service/http_connection.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>

namespace orizume::service {

// The HTTP face of the service: POST /MAService/V1/parse (origin or absolute form) answers the
// word list, GET / a page naming the analyser; everything else gets a status and a small XML
// error body. One log line per request.
//
// A few I/O threads serve every connection; analyses run on threads of their own, one per
// processor, so that a long analysis never holds up reading, answering or stopping, and at most
// that many lattices are in use at once. Each open connection holds at most its request, or its
// text and the words of one stretch of it, whatever its client does.
class AnalysisServer {
public:
    // log receives one line per request; nullptr keeps quiet. Both must outlive the server.
    AnalysisServer(const Analyzer& analyzer, std::ostream* log, ServiceLimits limits = {});
    ~AnalysisServer();
    AnalysisServer(const AnalysisServer&) = delete;
    AnalysisServer& operator=(const AnalysisServer&) = delete;

    // Binds address:port and listens; port 0 picks a free port. Returns the bound port, or -1
    // with the reason in bindError().
    int bind(const std::string& address, int port);
    const std::string& bindError() const { return bindError_; }

    // Sets the allocator as the service wants it; before any thread starts.
    static void tuneAllocator();

    // SIGINT and SIGTERM stop the server; announce is told which signal came.
    void stopOnSignals(std::function<void(int)> announce);

    // Serves until stop() is called; false if it could not serve (not bound).
    bool listen();
    // Ends listen() promptly, analyses in flight included; safe from any thread, also before
    // listen() has started.
    void stop();
    bool isRunning() const { return running_; }

    // Connections open at most, from the open-file limit (which main() raises as far as it
    // may go) less the files the service needs besides, and no more than this: the memory they
    // may hold. ConnectionCap keeps to it.
    static constexpr std::size_t connectionCeiling = 1024;
    static constexpr std::size_t reservedFiles = 64;
    std::size_t maxConnections() const { return cap_.max(); }

private:
    void accept();
    void acceptLater();
    void trimWhenIdle();
    void logLine(const std::string& line);

    std::ostream* log_;
    std::mutex logMutex_;
    std::string bindError_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> running_{false};
    std::atomic<unsigned long> answered_{0};
    unsigned long answeredAtTrim_ = 0;
    ConnectionCap cap_;
    ByteBudget spareWords_;
    // Connections refer to it: declared before what holds connections, so that it outlives them.
    ConnectionContext context_;
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer acceptPause_;
    boost::asio::steady_timer trimTimer_;
    std::optional<boost::asio::signal_set> signals_;
    AnalysisQueue analyses_;
};

} // namespace orizume::service
