#pragma once

#include "service/analysis_queue.h"
#include "service/analysis_reply.h"
#include "service/analyzer.h"
#include "service/byte_budget.h"
#include "service/connection_cap.h"
#include "service/reply_pacing.h"
#include "service/request_head.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/serializer.hpp>
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
    // triple: about 96 KB with the other fields. While its reply waits for the client, a request
    // holds its text and the words of one stretch of it (about three bytes a byte).
    std::size_t maxBodyBytes = 256 * 1024;
    HeadLimits head = {};
    // A whole request must arrive within this time; a reply may keep its client's socket waiting
    // this long in all (the service's own analyses between its parts not counted).
    std::chrono::milliseconds deadline{10'000};
    // Connections open at most; 0 for as many as the open-file limit allows, up to
    // AnalysisServer::connectionCeiling. ConnectionCap keeps to it.
    std::size_t maxConnections = 0;
    // The words of later stretches of long texts that all replies together may keep from the
    // count of their length to the writing; beyond it, stretches are analysed again.
    std::size_t spareWordBytes = 16 * 1024 * 1024;
};

// What every connection shares; owned by the AnalysisServer.
struct ConnectionContext {
    const Analyzer& analyzer;
    ServiceLimits limits;
    AnalysisQueue& analyses;
    const std::atomic<bool>& stopping;           // set when the service stops: analyses end early
    std::string page;                            // the information page
    std::function<void(const std::string&)> log; // one line per request
    std::atomic<unsigned long>& answered;        // requests answered so far
    ConnectionCap& cap;
    ByteBudget& spareWords;
};

// One client connection: reads one request, answers it and closes, as the program expects.
// Reading is bounded in bytes by the limits and in time by one deadline for the whole request,
// writing by the reply's pacing. Analyses run on the analysis queue at the request's place, a
// stretch of text at a time, and the next stretch is analysed only once the socket has taken the
// reply so far: a long analysis never holds up the I/O threads, and a client that does not read
// holds little.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
public:
    HttpConnection(boost::asio::ip::tcp::socket socket, const ConnectionContext& context);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    void start();

private:
    using Request = boost::beast::http::request<boost::beast::http::string_body>;
    using Response = boost::beast::http::response<boost::beast::http::buffer_body>;

    void makeRoom(std::uint64_t number);
    bool goesOnAtCap(std::uint64_t number);
    void readHead();
    void onHeadRead(boost::beast::error_code ec, std::size_t bytes);
    void parseHead();
    void onHeader();
    void onBody(boost::beast::error_code ec, std::size_t);
    void refuseUnreadable(boost::beast::error_code ec);
    void dispatch(Request request);
    void analyse(std::string body);
    void countNext();
    void analyseNext();
    void answerError(int status, std::string_view message, std::string_view allow = {});
    void answerInternalError(std::string what);
    void answerText(int status, std::string body, std::string_view contentType,
                    std::string_view allow = {});
    void answerAnalysis();
    void startAnswer(int status, std::uint64_t length, std::string_view contentType,
                     std::string_view allow = {});
    void writeNext();
    void write();
    void onAnswered(boost::beast::error_code ec);
    void drain();

    boost::beast::tcp_stream stream_;
    const ConnectionContext& context_;
    std::uint64_t capNumber_ = 0; // its number at the cap, once started
    std::size_t received_ = 0;    // the bytes of its head's reads handled so far, as they came
    bool readingHead_ = false;
    bool askedByCap_ = false; // the head read stopped so that the cap may ask, in onHeadRead
    boost::beast::flat_buffer buffer_;
    HeadFrame headFrame_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    boost::beast::http::response<boost::beast::http::empty_body> interim_;
    AnalysisQueue::Place place_; // the request's, for all its analyses
    // The answer: its head, and its body as a ready text or an analysis written a part at a time.
    Response response_;
    std::optional<boost::beast::http::response_serializer<boost::beast::http::buffer_body>>
        serializer_;
    std::optional<ReplyPacing> pacing_;
    std::string text_;
    // Used on the analysis threads, without a lock: while a stretch is counted or analysed nothing
    // is pending on the socket (the body has been read, the reply so far taken), so no handler
    // that touches it runs meanwhile (a late call of the cap's finds the head whole and does
    // nothing); the I/O side goes on only once the analysis posts back.
    std::unique_ptr<AnalysisReply> analysis_;
    std::string part_;
    std::array<char, 4096> drained_{};
    std::size_t drainedBytes_ = 0;
    bool head_ = false; // a HEAD request: its answer has no body
    // For the log line.
    std::string remote_;
    std::string method_ = "-";
    std::string target_ = "-";
    std::size_t bodyBytes_ = 0; // as read, chunks decoded
    std::chrono::steady_clock::time_point answerStart_;
};

} // namespace orizume::service
