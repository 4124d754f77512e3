#pragma once

#include "service/request_head.h"

#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>

#include <cstddef>
#include <optional>
#include <string>

namespace orizume::service {

// A request answered with an error: its status, the message of the XML error body, and for 405
// the methods allowed.
struct Refusal {
    int status = 0;
    std::string message = {};
    std::string allow = {};
};

// What a whole, parsed request head asks that the service does not do: more fields than the
// limit, an unknown method, no Host field on HTTP/1.1 or more than one on any, or a transfer
// coding other than chunked alone. Nothing when the body may be read.
std::optional<Refusal> headRefusal(const boost::beast::http::request_header<>& head,
                                   const HeadLimits& limits);

// The answer to a request whose body could not be read: too large, or not HTTP. Nothing when
// the client is gone or too slow, and nobody is left to answer.
std::optional<Refusal> unreadableRefusal(boost::beast::error_code ec, std::size_t maxBodyBytes);

// Where a whole request goes: the analysis (POST of the parse path with a form body), the
// information page (GET or HEAD of "/"), or a refusal (wrong method, body type or path).
struct Route {
    enum class To { analysis, page, refusal } to = To::refusal;
    Refusal refusal;
};
Route route(const boost::beast::http::request_header<>& head);

} // namespace orizume::service
