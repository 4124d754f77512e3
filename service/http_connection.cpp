#include "service/http_connection.h"

#include "service/parse_request.h"
#include "service/reply_writer.h"

#include <boost/asio/post.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <cctype>
#include <ctime>
#include <iterator>

namespace orizume::service {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr std::string_view xmlType = "application/xml; charset=UTF-8";
constexpr std::string_view parsePath = "/MAService/V1/parse";
// After the answer, what the client still sends is read and dropped for a while, so that closing
// does not reset the connection before the client has read the answer.
constexpr std::chrono::seconds drainTime{2};
constexpr std::size_t drainLimit = 64 * 1024 * 1024;
constexpr int sendBufferBytes = 256 * 1024;

std::string_view view(beast::string_view text) {
    return {text.data(), text.size()};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// "application/x-www-form-urlencoded", in any case, with or without parameters.
bool isFormType(std::string_view contentType) {
    constexpr std::string_view form = "application/x-www-form-urlencoded";
    if (contentType.size() < form.size() ||
        !equalsIgnoringCase(contentType.substr(0, form.size()), form)) {
        return false;
    }
    return contentType.size() == form.size() || contentType[form.size()] == ';' ||
           contentType[form.size()] == ' ';
}

// The path of a request target in origin form ("/MAService/V1/parse?x") or in the absolute form a
// proxy receives ("http://localhost/MAService/V1/parse"), percent escapes decoded; empty when it
// has none.
std::string pathOf(std::string_view target) {
    target = target.substr(0, target.find('?'));
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (target.size() > scheme.size() &&
            equalsIgnoringCase(target.substr(0, scheme.size()), scheme)) {
            const std::size_t slash = target.find('/', scheme.size());
            // "http://host" alone names the root, as "/" does.
            target = slash == scheme.size()            ? std::string_view()
                     : slash == std::string_view::npos ? std::string_view("/")
                                                       : target.substr(slash);
            break;
        }
    }
    std::string path;
    for (std::size_t i = 0; i < target.size(); ++i) {
        const auto hex = [&](std::size_t at) {
            return at < target.size() && std::isxdigit(static_cast<unsigned char>(target[at]));
        };
        if (target[i] == '%' && hex(i + 1) && hex(i + 2)) {
            path += static_cast<char>(std::stoi(std::string(target.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            path += target[i];
        }
    }
    return path;
}

// The methods a request may name; any other is a malformed request.
bool isKnownMethod(http::verb method) {
    switch (method) {
    case http::verb::get:
    case http::verb::head:
    case http::verb::post:
    case http::verb::put:
    case http::verb::delete_:
    case http::verb::connect:
    case http::verb::options:
    case http::verb::trace:
    case http::verb::patch:
        return true;
    default:
        return false;
    }
}

// Request text comes from the peer: keep control bytes and endless text out of the log.
std::string printable(std::string_view text) {
    constexpr std::size_t limit = 200;
    std::string out;
    for (const char c : text.substr(0, limit)) {
        const auto byte = static_cast<unsigned char>(c);
        out += (byte < 0x20 || byte == 0x7F || c == '"') ? '?' : c;
    }
    if (text.size() > limit) {
        out += "...";
    }
    return out.empty() ? "-" : out;
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// Errors of the parser that mean the client sent something other than HTTP; the rest (the
// connection closed, the deadline passed) leave nobody to answer.
bool isMalformed(beast::error_code ec) {
    return ec.category() == http::make_error_code(http::error::bad_method).category() &&
           ec != http::error::end_of_stream && ec != http::error::partial_message &&
           ec != http::error::short_read;
}

} // namespace

HttpConnection::HttpConnection(asio::ip::tcp::socket socket, const ConnectionContext& context)
    : stream_(std::move(socket)), context_(context),
      // Room for the largest head and one read beyond it: nothing is buffered past the cap.
      buffer_(context.limits.maxHeadBytes + 4096) {
    ++context_.connections;
    beast::error_code ec;
    // The system holds what the socket has taken until the client reads it: left to itself it
    // takes megabytes from a client that never reads.
    stream_.socket().set_option(asio::socket_base::send_buffer_size(sendBufferBytes), ec);
    const auto remote = stream_.socket().remote_endpoint(ec);
    remote_ = ec ? "-" : remote.address().to_string();
}

HttpConnection::~HttpConnection() {
    if (!headRead_) {
        context_.headWaiters.remove(waiterNumber_);
    }
    --context_.connections;
}

void HttpConnection::start() {
    waiterNumber_ = context_.headWaiters.add(weak_from_this());
    stream_.expires_after(context_.limits.deadline);
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(context_.limits.maxHeadBytes));
    parser_->body_limit(context_.limits.maxBodyBytes);
    http::async_read_header(
        stream_, buffer_, *parser_,
        beast::bind_front_handler(&HttpConnection::onHeader, shared_from_this()));
}

void HttpConnection::evict() {
    asio::post(stream_.get_executor(), [self = shared_from_this()] {
        if (!self->headRead_) {
            self->stream_.close(); // the read ends with an error, and nobody is answered
        }
    });
}

void HttpConnection::onHeader(beast::error_code ec, std::size_t) {
    headRead_ = true;
    context_.headWaiters.remove(waiterNumber_);
    if (ec) {
        refuseUnreadable(ec);
        return;
    }
    const Request& request = parser_->get();
    method_ = printable(view(request.method_string()));
    head_ = request.method() == http::verb::head;
    target_ = printable(view(request.target()));
    if (const auto length = parser_->content_length()) {
        contentLength_ = std::to_string(*length);
    }
    if (static_cast<std::size_t>(std::distance(request.begin(), request.end())) >
        context_.limits.maxHeaderFields) {
        answerError(431, "too many header fields");
        return;
    }
    if (!isKnownMethod(request.method())) {
        answerError(400, "bad request");
        return;
    }
    const auto read = [self = shared_from_this()] {
        http::async_read(self->stream_, self->buffer_, *self->parser_,
                         beast::bind_front_handler(&HttpConnection::onBody, self));
    };
    if (request.version() >= 11 &&
        equalsIgnoringCase(view(request[http::field::expect]), "100-continue")) {
        interim_ = {http::status::continue_, 11};
        http::async_write(stream_, interim_,
                          [self = shared_from_this(), read](beast::error_code e, std::size_t) {
                              if (!e) {
                                  read();
                              }
                          });
        return;
    }
    read();
}

void HttpConnection::onBody(beast::error_code ec, std::size_t) {
    if (ec) {
        refuseUnreadable(ec);
        return;
    }
    dispatch(parser_->release());
}

void HttpConnection::refuseUnreadable(beast::error_code ec) {
    if (ec == http::error::header_limit) {
        // The parser takes in a request line that came whole in one read; one that came in parts
        // it leaves in the buffer until the whole head is there. So the line alone is over the
        // cap only when no line end is to be seen.
        if (parser_->get().target().empty() && !requestLineEnded()) {
            answerError(414, "request target too long");
        } else {
            answerError(431, "request header fields too large");
        }
    } else if (ec == http::error::body_limit) {
        answerError(400, "the request body is larger than " +
                             std::to_string(context_.limits.maxBodyBytes) + " bytes");
    } else if (isMalformed(ec)) {
        answerError(400, "bad request");
    }
    // Otherwise the client is gone or too slow: the connection just closes.
}

bool HttpConnection::requestLineEnded() const {
    const auto data = buffer_.cdata();
    const std::string_view buffered(static_cast<const char*>(data.data()), data.size());
    return buffered.substr(0, context_.limits.maxHeadBytes).find('\n') != std::string_view::npos;
}

void HttpConnection::dispatch(Request request) {
    const std::string path = pathOf(view(request.target()));
    const http::verb method = request.method();
    if (path == parsePath) {
        if (method != http::verb::post) {
            answerError(405, "method " + method_ + " not allowed here", "POST");
        } else if (request.count(http::field::content_type) != 0 &&
                   !isFormType(view(request[http::field::content_type]))) {
            answerError(400, "the body must be application/x-www-form-urlencoded");
        } else {
            analyse(std::move(request.body()));
        }
    } else if (path == "/") {
        if (method == http::verb::get || method == http::verb::head) {
            answerText(200, context_.page, "text/html; charset=UTF-8");
        } else {
            answerError(405, "method " + method_ + " not allowed here", "GET, HEAD");
        }
    } else {
        answerError(404, "not found: the service answers POST /MAService/V1/parse and GET /");
    }
}

void HttpConnection::analyse(std::string body) {
    answerStart_ = std::chrono::steady_clock::now();
    requestBytes_ = body.size();
    context_.analyses.post(requestBytes_, [self = shared_from_this(), body = std::move(body)] {
        try {
            ParseRequest request = readParseRequest(body);
            if (!request.ok()) {
                asio::post(self->stream_.get_executor(), [self, error = std::move(request.error)] {
                    self->answerError(400, error);
                });
                return;
            }
            self->analysis_ = std::make_unique<AnalysisReply>(
                self->context_.analyzer, std::move(request.sentence), self->context_.spareWords);
        } catch (const std::exception& e) {
            self->answerInternalError(e.what());
            return;
        }
        self->countNext();
    });
}

// From an analysis thread.
void HttpConnection::answerInternalError(std::string what) {
    asio::post(stream_.get_executor(), [self = shared_from_this(), what = std::move(what)] {
        self->answerError(500, "internal error: " + what);
    });
}

// On an analysis thread, a stretch at a time: other requests take their turns between stretches.
void HttpConnection::countNext() {
    try {
        if (analysis_->countNext(&context_.stopping)) {
            context_.analyses.post(requestBytes_,
                                   [self = shared_from_this()] { self->countNext(); });
            return;
        }
    } catch (const AnalysisCancelled&) {
        return; // the service is stopping: nobody waits for the answer
    } catch (const std::exception& e) {
        answerInternalError(e.what());
        return;
    }
    asio::post(stream_.get_executor(), [self = shared_from_this()] { self->answerAnalysis(); });
}

// The socket has taken the reply so far; the next stretch is analysed again.
void HttpConnection::analyseNext() {
    context_.analyses.post(requestBytes_, [self = shared_from_this()] {
        beast::error_code ec;
        try {
            self->analysis_->analyseNext(&self->context_.stopping);
        } catch (const AnalysisCancelled&) {
            return;
        } catch (const std::exception&) {
            // Part of the reply is out: all that is left is to break it off.
            ec = asio::error::operation_aborted;
        }
        asio::post(self->stream_.get_executor(), [self, ec] {
            if (ec) {
                self->onAnswered(ec);
            } else {
                self->writeNext();
            }
        });
    });
}

void HttpConnection::answerError(int status, std::string_view message, std::string_view allow) {
    answerText(status, writeError(status, message), xmlType, allow);
}

void HttpConnection::answerText(int status, std::string body, std::string_view contentType,
                                std::string_view allow) {
    analysis_.reset();
    text_ = std::move(body);
    startAnswer(status, text_.size(), contentType, allow);
    Response::body_type::value_type& out = response_.body();
    // The answer to HEAD is the head of the answer to GET: its length, without the body.
    out.data = head_ ? nullptr : text_.data();
    out.size = head_ ? 0 : text_.size();
    out.more = false;
    write();
}

void HttpConnection::answerAnalysis() {
    startAnswer(200, analysis_->size(), xmlType);
    writeNext();
}

void HttpConnection::startAnswer(int status, std::uint64_t length, std::string_view contentType,
                                 std::string_view allow) {
    if (answerStart_ == std::chrono::steady_clock::time_point{}) {
        answerStart_ = std::chrono::steady_clock::now();
    }
    response_ = {};
    response_.version(11);
    response_.result(static_cast<unsigned>(status));
    if (!allow.empty()) {
        response_.set(http::field::allow, beast::string_view(allow.data(), allow.size()));
    }
    response_.set(http::field::connection, "close");
    response_.content_length(length);
    response_.set(http::field::content_type,
                  beast::string_view(contentType.data(), contentType.size()));
    serializer_.emplace(response_);
    // One deadline for the whole reply, however many writes and analyses it takes.
    stream_.expires_after(context_.limits.deadline);
}

void HttpConnection::writeNext() {
    Response::body_type::value_type& out = response_.body();
    switch (analysis_->next(part_)) {
    case AnalysisReply::Next::analyse:
        analyseNext();
        return;
    case AnalysisReply::Next::part:
        out.more = true;
        break;
    case AnalysisReply::Next::lastPart:
        out.more = false;
        break;
    }
    out.data = part_.data();
    out.size = part_.size();
    write();
}

void HttpConnection::write() {
    http::async_write(stream_, *serializer_,
                      [self = shared_from_this()](beast::error_code ec, std::size_t) {
                          // The part is out and more is to come.
                          if (ec == http::error::need_buffer) {
                              self->writeNext();
                          } else {
                              self->onAnswered(ec);
                          }
                      });
}

void HttpConnection::onAnswered(beast::error_code ec) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - answerStart_)
                        .count();
    context_.log(utcNow() + " " + remote_ + " \"" + method_ + " " + target_ + "\" " +
                 std::to_string(response_.result_int()) + " in=" + contentLength_ +
                 " out=" + std::string(view(response_[http::field::content_length])) + " " +
                 std::to_string(us / 1000) + "." + std::to_string(us % 1000 / 100) + "ms" +
                 (ec ? " (not sent: " + ec.message() + ")" : std::string()));
    ++context_.answered;
    // The words and texts go now, not when the client has closed.
    serializer_.reset();
    response_ = {};
    analysis_.reset();
    std::string().swap(text_);
    std::string().swap(part_);
    if (ec) {
        stream_.close();
        return;
    }
    beast::error_code ignored;
    stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.expires_after(drainTime);
    drain();
}

void HttpConnection::drain() {
    stream_.async_read_some(asio::buffer(drained_),
                            [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                self->drainedBytes_ += n;
                                if (!ec && self->drainedBytes_ < drainLimit) {
                                    self->drain();
                                }
                            });
}

} // namespace orizume::service
