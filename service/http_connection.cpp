#include "service/http_connection.h"

#include "service/parse_request.h"
#include "service/reply_writer.h"
#include "service/request_checks.h"
#include "service/request_log.h"

#include <boost/asio/post.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

namespace orizume::service {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr std::string_view xmlType = "application/xml; charset=UTF-8";
// After the answer, what the client still sends is read and dropped for a while, so that closing
// does not reset the connection before the client has read the answer.
constexpr std::chrono::seconds drainTime{2};
constexpr std::size_t drainLimit = 64 * 1024 * 1024;
constexpr int sendBufferBytes = 256 * 1024;
// What a read of the request head asks for at most.
constexpr std::size_t headReadBytes = 4096;

std::string_view view(beast::string_view text) {
    return {text.data(), text.size()};
}

} // namespace

HttpConnection::HttpConnection(asio::ip::tcp::socket socket, const ConnectionContext& context)
    : stream_(std::move(socket)), context_(context),
      // Room for the largest head and one read beyond it: nothing is buffered past the cap.
      buffer_(context.limits.head.wholeBytes() + headReadBytes), headFrame_(context.limits.head) {
    beast::error_code ec;
    // The system holds what the socket has taken until the client reads it: left to itself it
    // takes megabytes from a client that never reads.
    stream_.socket().set_option(asio::socket_base::send_buffer_size(sendBufferBytes), ec);
    const auto remote = stream_.socket().remote_endpoint(ec);
    remote_ = ec ? "-" : remote.address().to_string();
}

HttpConnection::~HttpConnection() {
    // Its descriptor goes before its place: the cap counts open files.
    beast::error_code ec;
    stream_.socket().close(ec);
    if (capNumber_ != 0) {
        context_.cap.leave(capNumber_);
    }
}

void HttpConnection::start() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(context_.limits.head.wholeBytes()));
    parser_->body_limit(context_.limits.maxBodyBytes);
    // Counted at the cap here, before the acceptor looks again. What came before it was accepted
    // counts: a request that has reached the service is progress, read or not.
    beast::error_code ec;
    const std::size_t arrived = stream_.socket().available(ec);
    capNumber_ = context_.cap.enter(
        [weak = weak_from_this()](std::uint64_t number) {
            if (const auto self = weak.lock()) {
                self->makeRoom(number);
            }
        },
        ec ? 0 : arrived);
    // From here on the stream is used on its strand only: the cap may ask it to make room at once.
    asio::post(stream_.get_executor(), [self = shared_from_this()] {
        self->stream_.expires_after(self->context_.limits.deadline);
        self->readHead();
    });
}

// Taken to make room at the cap. A head read under way is stopped first, so that what it has taken
// counts when the cap is asked (in onHeadRead); else the cap is asked now.
void HttpConnection::makeRoom(std::uint64_t number) {
    asio::post(stream_.get_executor(), [self = shared_from_this(), number] {
        if (!self->readingHead_) {
            self->goesOnAtCap(number);
        } else if (!self->askedByCap_) {
            self->askedByCap_ = true;
            beast::error_code ec;
            self->stream_.socket().cancel(ec);
        }
    });
}

// It goes on when more of its request has come than it was judged by, read or still on its
// socket, or its whole head; else it closes to make room, and nobody is answered.
bool HttpConnection::goesOnAtCap(std::uint64_t number) {
    beast::error_code ec;
    const std::size_t waiting = stream_.socket().available(ec);
    if (!context_.cap.mustClose(number, received_ + (ec ? 0 : waiting))) {
        return true;
    }
    stream_.close();
    return false;
}

// The head is read here, a read at a time, rather than by the parser: each read tells the
// connection cap how far the head has come.
void HttpConnection::readHead() {
    readingHead_ = true;
    stream_.async_read_some(
        buffer_.prepare(beast::read_size(buffer_, headReadBytes)),
        beast::bind_front_handler(&HttpConnection::onHeadRead, shared_from_this()));
}

void HttpConnection::onHeadRead(beast::error_code ec, std::size_t bytes) {
    readingHead_ = false;
    // Stopped for the cap to ask (with what it had taken, if anything), or failed: the client is
    // gone or too slow, or the connection was closed meanwhile.
    const bool asked = std::exchange(askedByCap_, false);
    if ((ec && !(asked && ec == asio::error::operation_aborted)) || !stream_.socket().is_open()) {
        stream_.close();
        return;
    }
    buffer_.commit(bytes);
    received_ += bytes;
    const auto data = buffer_.cdata();
    const auto [verdict, skip] =
        headFrame_.scan({static_cast<const char*>(data.data()), data.size()});
    buffer_.consume(skip);
    if (verdict == HeadFrame::Verdict::more) {
        context_.cap.progress(capNumber_, received_);
        if (!asked || goesOnAtCap(capNumber_)) {
            readHead();
        }
        return;
    }
    context_.cap.headCame(capNumber_);
    switch (verdict) {
    case HeadFrame::Verdict::more:
        return;
    case HeadFrame::Verdict::whole:
        parseHead();
        return;
    case HeadFrame::Verdict::lineTooLong:
        answerError(414, "request target too long");
        return;
    case HeadFrame::Verdict::fieldsTooLarge:
        answerError(431, "request header fields too large");
        return;
    case HeadFrame::Verdict::tooManyEmptyLines:
        answerError(400, "bad request");
        return;
    }
}

void HttpConnection::parseHead() {
    beast::error_code ec;
    buffer_.consume(parser_->put(buffer_.cdata(), ec));
    if (ec && ec != http::error::need_more) {
        refuseUnreadable(ec); // malformed, or a length over the limit
        return;
    }
    if (!parser_->is_header_done()) {
        answerError(400, "bad request");
        return;
    }
    onHeader();
}

void HttpConnection::onHeader() {
    const Request& request = parser_->get();
    method_ = printable(view(request.method_string()));
    head_ = request.method() == http::verb::head;
    target_ = printable(view(request.target()));
    if (const auto refused = headRefusal(request, context_.limits.head)) {
        answerError(refused->status, refused->message);
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
    bodyBytes_ = parser_->get().body().size();
    if (ec) {
        refuseUnreadable(ec);
        return;
    }
    dispatch(parser_->release());
}

void HttpConnection::refuseUnreadable(beast::error_code ec) {
    if (const auto refused = unreadableRefusal(ec, context_.limits.maxBodyBytes)) {
        answerError(refused->status, refused->message);
    }
}

void HttpConnection::dispatch(Request request) {
    switch (const Route to = route(request); to.to) {
    case Route::To::analysis:
        analyse(std::move(request.body()));
        return;
    case Route::To::page:
        answerText(200, context_.page, "text/html; charset=UTF-8");
        return;
    case Route::To::refusal:
        answerError(to.refusal.status, to.refusal.message, to.refusal.allow);
        return;
    }
}

void HttpConnection::analyse(std::string body) {
    answerStart_ = std::chrono::steady_clock::now();
    place_ = context_.analyses.enter(body.size());
    context_.analyses.post(place_, [self = shared_from_this(), body = std::move(body)] {
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
            context_.analyses.post(place_, [self = shared_from_this()] { self->countNext(); });
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

// The socket has taken the reply so far; the next stretch is analysed again. The client waits
// on it: it goes ahead of every request that came later.
void HttpConnection::analyseNext() {
    context_.analyses.post(place_.ahead(), [self = shared_from_this()] {
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
    pacing_.emplace(context_.limits.deadline);
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
    pacing_->writing(stream_);
    http::async_write(stream_, *serializer_,
                      [self = shared_from_this()](beast::error_code ec, std::size_t) {
                          self->pacing_->written();
                          // The part is out and more is to come.
                          if (ec == http::error::need_buffer) {
                              self->writeNext();
                          } else {
                              self->onAnswered(ec);
                          }
                      });
}

void HttpConnection::onAnswered(beast::error_code ec) {
    context_.log(requestLogLine({remote_, method_, target_, response_.result_int(), bodyBytes_,
                                 view(response_[http::field::content_length]),
                                 std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - answerStart_),
                                 ec ? ec.message() : std::string()}));
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
