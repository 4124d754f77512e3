#include "service/analysis_server.h"

#include "service/parse_request.h"
#include "service/reply_writer.h"

#include <httplib.h>

#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <ostream>
#include <regex>

namespace orizume::service {

namespace {

// A proxy passes the whole address as the request target ("http://host/MAService/V1/parse"),
// so both routes also take an absolute-form target.
const std::string parsePattern = R"((?:[Hh][Tt][Tt][Pp][Ss]?://[^/]+)?/MAService/V1/parse)";
const std::string pagePattern = R"((?:[Hh][Tt][Tt][Pp][Ss]?://[^/]+)?/)";

constexpr const char* xmlType = "application/xml; charset=UTF-8";

// The start of the request the current worker thread is answering: httplib answers one
// request wholly on one thread, from routing to the log call.
thread_local std::chrono::steady_clock::time_point requestStart{};

const char* reasonFor(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 404:
        return "not found: the service answers POST /MAService/V1/parse and GET /";
    case 405:
        return "method not allowed";
    case 413:
        return "request body too large";
    case 414:
        return "request target too long";
    case 500:
        return "internal error";
    default:
        return "request refused";
    }
}

void setError(httplib::Response& res, int status, std::string_view message) {
    res.status = status;
    res.set_content(writeError(status, message), xmlType);
}

// Request targets and methods come from the peer: keep control bytes and endless text out of
// the log.
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

// "application/x-www-form-urlencoded", in any case, with or without parameters.
bool isFormType(std::string_view contentType) {
    constexpr std::string_view form = "application/x-www-form-urlencoded";
    if (contentType.size() < form.size()) {
        return false;
    }
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(contentType[i])) != form[i]) {
            return false;
        }
    }
    return contentType.size() == form.size() || contentType[form.size()] == ';' ||
           contentType[form.size()] == ' ';
}

std::size_t drainLimitFor(std::size_t maxBodyBytes) {
    return maxBodyBytes > std::numeric_limits<std::size_t>::max() / 4 ? maxBodyBytes
                                                                      : maxBodyBytes * 4;
}

std::optional<std::size_t> contentLength(const httplib::Request& req) {
    if (!req.has_header("Content-Length")) {
        return std::nullopt;
    }
    const std::string value = req.get_header_value("Content-Length");
    std::size_t length = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (ec != std::errc() || end != value.data() + value.size()) {
        return std::numeric_limits<std::size_t>::max();
    }
    return length;
}

// The one transfer coding httplib reads a request body with (it compares the whole value).
bool isChunked(const httplib::Request& req) {
    return strcasecmp(req.get_header_value("Transfer-Encoding").c_str(), "chunked") == 0;
}

// httplib's bind reports only failure; bind a socket of our own to learn why.
std::string bindFailureReason(const std::string& address, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = getaddrinfo(address.c_str(), service.c_str(), &hints, &found); rc != 0) {
        return "cannot resolve the address " + address + ": " + gai_strerror(rc);
    }
    std::string reason = "cannot bind " + address + ":" + service;
    for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        const int fd = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (fd < 0) {
            continue;
        }
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        const int rc = ::bind(fd, ai->ai_addr, ai->ai_addrlen);
        const int error = errno;
        close(fd);
        if (rc != 0) {
            reason += std::string(": ") + std::strerror(error);
            if (error == EACCES) {
                reason += " (ports below 1024 need privileges)";
            }
            break;
        }
    }
    freeaddrinfo(found);
    return reason;
}

} // namespace

// httplib listens with a backlog of 5, fixed when the library was built: a burst of clients
// beyond that has its connections dropped and retried a second later. Linux lets a listening
// socket's backlog be raised by calling listen() again.
class AnalysisServer::HttpServer : public httplib::Server {
public:
    void raiseBacklog() {
        if (svr_sock_ != INVALID_SOCKET) {
            ::listen(svr_sock_, SOMAXCONN);
        }
    }
};

AnalysisServer::AnalysisServer(const Analyzer& analyzer, std::ostream* log,
                               std::size_t maxBodyBytes)
    : analyzer_(analyzer), log_(log), maxBodyBytes_(maxBodyBytes),
      http_(std::make_unique<HttpServer>()) {
    setUpRoutes();
}

AnalysisServer::~AnalysisServer() {
    stop();
}

void AnalysisServer::setUpRoutes() {
    httplib::Server& http = *http_;

    // One request per connection, as the program sends it: a refused request's unread body
    // can then never be taken for the next request.
    http.set_keep_alive_max_count(1);
    // Bounds what httplib itself reads into memory for the routes that do not stream.
    http.set_payload_max_length(drainLimitFor(maxBodyBytes_));

    // SO_REUSEADDR only: httplib's default also sets SO_REUSEPORT, which would let a second
    // service bind the same port silently instead of reporting it taken.
    http.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        requestStart = std::chrono::steady_clock::now();
        static const std::regex parseRoute(parsePattern);
        static const std::regex pageRoute(pagePattern);
        if (std::regex_match(req.path, parseRoute) && req.method != "POST") {
            res.set_header("Allow", "POST");
        } else if (std::regex_match(req.path, pageRoute) && req.method != "GET" &&
                   req.method != "HEAD") {
            res.set_header("Allow", "GET, HEAD");
        } else {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        setError(res, 405, "method " + printable(req.method) + " not allowed here");
        return httplib::Server::HandlerResponse::Handled;
    });

    http.Post(parsePattern, [this](const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
        // httplib would hand a multipart body to a form parser we do not give it.
        if (req.has_header("Content-Type") && !isFormType(req.get_header_value("Content-Type"))) {
            setError(res, 400, "the body must be application/x-www-form-urlencoded");
            return;
        }
        const std::string limitMessage =
            "the request body is larger than " + std::to_string(maxBodyBytes_) + " bytes";
        // A body somewhat over the limit is read and thrown away, so the client, still
        // sending, gets the answer rather than a reset connection; a far larger one is cut off.
        const std::size_t drainLimit = drainLimitFor(maxBodyBytes_);
        if (const auto length = contentLength(req); length && *length > drainLimit) {
            setError(res, 400, limitMessage);
            return;
        }
        // Read the body ourselves: httplib's own form reading refuses anything over 8 KiB.
        std::string body;
        std::size_t received = 0;
        // A request with neither a length nor chunks has no body; httplib would instead wait
        // for the client to close, and a closed client can no longer be answered.
        const bool complete = (!req.has_header("Content-Length") && !isChunked(req)) ||
                              reader([&](const char* data, std::size_t size) {
                                  received += size;
                                  if (received <= maxBodyBytes_) {
                                      body.append(data, size);
                                  }
                                  return received <= drainLimit;
                              });
        if (received > maxBodyBytes_) {
            setError(res, 400, limitMessage);
            return;
        }
        if (!complete) {
            setError(res, 400, "the request body could not be read");
            return;
        }
        ServiceReply reply = answerParseRequest(analyzer_, body);
        res.status = reply.status;
        res.set_content(std::move(reply.body), xmlType);
    });

    http.Get(pagePattern, [this](const httplib::Request&, httplib::Response& res) {
        std::string page = "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"UTF-8\">"
                           "<title>オリズメ analysis service</title></head><body>"
                           "<h1>オリズメ analysis service</h1><p>Morphological analysis by ";
        appendEscaped(page, analyzer_.analyzerName());
        page += " with the dictionary ";
        appendEscaped(page, analyzer_.dictionaryName());
        page += ".</p><p>POST /MAService/V1/parse with the form fields appid, sentence and "
                "results=ma answers the word list as XML.</p></body></html>\n";
        res.set_content(page, "text/html; charset=UTF-8");
    });

    // Every refusal without a body of its own (httplib's 400 for a malformed request, 404,
    // 414) gets the small XML error body too.
    http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            res.set_content(writeError(res.status, reasonFor(res.status)), xmlType);
        }
    });

    http.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
            std::string message = "internal error";
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                message += std::string(": ") + e.what();
            } catch (...) {
            }
            setError(res, 500, message);
        });

    http.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        std::string elapsed = "-";
        if (requestStart != std::chrono::steady_clock::time_point{}) {
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - requestStart)
                                .count();
            elapsed = std::to_string(us / 1000) + "." + std::to_string(us % 1000 / 100) + "ms";
            requestStart = {};
        }
        const auto length = contentLength(req);
        logRequest(utcNow() + " " + printable(req.remote_addr) + " \"" + printable(req.method) +
                   " " + printable(req.target) + "\" " + std::to_string(res.status) +
                   " in=" + (length ? std::to_string(*length) : std::string("-")) +
                   " out=" + std::to_string(res.body.size()) + " " + elapsed);
    });
}

void AnalysisServer::logRequest(const std::string& line) {
    if (log_ == nullptr) {
        return;
    }
    const std::lock_guard lock(logMutex_);
    *log_ << line << '\n' << std::flush;
}

int AnalysisServer::bind(const std::string& address, int port) {
    bindError_.clear();
    if (port == 0) {
        const int bound = http_->bind_to_any_port(address);
        if (bound <= 0) {
            bindError_ = "cannot bind " + address + " to any port";
            return -1;
        }
        http_->raiseBacklog();
        return bound;
    }
    if (!http_->bind_to_port(address, port)) {
        bindError_ = bindFailureReason(address, port);
        return -1;
    }
    http_->raiseBacklog();
    return port;
}

bool AnalysisServer::listen() {
    return http_->listen_after_bind();
}

void AnalysisServer::stop() {
    http_->stop();
}

bool AnalysisServer::isRunning() const {
    return http_->is_running();
}

} // namespace orizume::service
