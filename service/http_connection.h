#pragma once

#include "service/analyzer.h"
#include "service/reply_body.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orizume::service {

// What the service accepts from one client.
struct ServiceLimits {
    // The program sends at most 32,000 bytes of text, which its form encoding can at most
    // triple: about 96 KB with the other fields. Every body the service accepts costs some
    // thirteen bytes a byte as a word list, and that much again as MeCab's lattice for a piece.
    std::size_t maxBodyBytes = 256 * 1024;
    // The request line (414 beyond), the header fields together (431 beyond), and the number of
    // fields.
    std::size_t maxHeadBytes = 8 * 1024;
    std::size_t maxHeaderFields = 100;
    // A whole request must arrive, and a whole reply be sent, within this time.
    std::chrono::milliseconds deadline{10'000};
};

// What every connection shares; owned by the AnalysisServer.
struct ConnectionContext {
    const Analyzer& analyzer;
    ServiceLimits limits;
    boost::asio::thread_pool& analysisPool;
    const std::atomic<bool>& stopping;           // set when the service stops: analyses end early
    std::string page;                            // the information page
    std::function<void(const std::string&)> log; // one line per request
    std::atomic<int>& connections;               // open connections
    std::atomic<unsigned long>& answered;        // requests answered so far
};

// One client connection: reads one request, answers it and closes, as the program expects.
// Reading is bounded in bytes by the limits and in time by one deadline for the whole request;
// analyses run on the analysis pool, so a long one never holds up the I/O threads.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
public:
    HttpConnection(boost::asio::ip::tcp::socket socket, const ConnectionContext& context);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    void start();

private:
    using Request = boost::beast::http::request<boost::beast::http::string_body>;

    void onHeader(boost::beast::error_code ec, std::size_t);
    void onBody(boost::beast::error_code ec, std::size_t);
    void refuseUnreadable(boost::beast::error_code ec);
    void dispatch(Request request);
    void analyse(std::string body);
    void answer(int status, ReplyBody::value_type body, std::string_view contentType,
                std::string_view allow = {});
    void answerError(int status, std::string_view message, std::string_view allow = {});
    void onAnswered(boost::beast::error_code ec, std::size_t);
    void drain();

    boost::beast::tcp_stream stream_;
    const ConnectionContext& context_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    boost::beast::http::response<boost::beast::http::empty_body> interim_;
    boost::beast::http::response<ReplyBody> response_;
    std::array<char, 4096> drained_{};
    std::size_t drainedBytes_ = 0;
    bool head_ = false; // a HEAD request: its answer has no body
    // For the log line.
    std::string remote_;
    std::string method_ = "-";
    std::string target_ = "-";
    std::string contentLength_ = "-";
    std::chrono::steady_clock::time_point answerStart_;
};

} // namespace orizume::service
