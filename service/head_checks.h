#pragma once

#include "service/request_head.h"

#include <boost/beast/http/message.hpp>

#include <optional>
#include <string>

namespace orizume::service {

// Why a request is answered from its head alone, before its body is read.
struct HeadRefusal {
    int status = 0;
    std::string message;
};

// What a whole, parsed request head asks that the service does not do: more fields than the
// limit, an unknown method, no Host field on HTTP/1.1 or more than one on any, or a transfer
// coding other than chunked alone. Nothing when the body may be read.
std::optional<HeadRefusal> headRefusal(const boost::beast::http::request_header<>& head,
                                       const HeadLimits& limits);

} // namespace orizume::service
