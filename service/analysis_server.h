#pragma once

#include "service/analyzer.h"

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Server;
}

namespace orizume::service {

// The HTTP face of the service: POST /MAService/V1/parse (origin or absolute form) answers the
// word list, GET / a page naming the analyser; everything else gets a status and a small XML
// error body. One log line per request.
class AnalysisServer {
public:
    // Bodies above this are refused (the program itself sends at most 32,000 bytes of text,
    // which its form encoding can at most triple).
    static constexpr std::size_t defaultMaxBodyBytes = 1024 * 1024;

    // log receives one line per request; nullptr keeps quiet. Both must outlive the server.
    AnalysisServer(const Analyzer& analyzer, std::ostream* log,
                   std::size_t maxBodyBytes = defaultMaxBodyBytes);
    ~AnalysisServer();
    AnalysisServer(const AnalysisServer&) = delete;
    AnalysisServer& operator=(const AnalysisServer&) = delete;

    // Binds address:port; port 0 picks a free port. Returns the bound port, or -1 with the
    // reason in bindError().
    int bind(const std::string& address, int port);
    const std::string& bindError() const { return bindError_; }

    // Serves until stop() is called, on a pool of worker threads; false if it could not serve.
    bool listen();
    // Ends listen(); safe from any thread, also before listen() has started.
    void stop();
    bool isRunning() const;

private:
    class HttpServer;

    void setUpRoutes();
    void logRequest(const std::string& line);

    const Analyzer& analyzer_;
    std::ostream* log_;
    std::mutex logMutex_;
    std::size_t maxBodyBytes_;
    std::string bindError_;
    std::unique_ptr<HttpServer> http_;
};

} // namespace orizume::service
