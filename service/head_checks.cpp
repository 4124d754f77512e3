#include "service/head_checks.h"

#include <iterator>

namespace orizume::service {

namespace http = boost::beast::http;

namespace {

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

} // namespace

std::optional<HeadRefusal> headRefusal(const http::request_header<>& head,
                                       const HeadLimits& limits) {
    if (static_cast<std::size_t>(std::distance(head.begin(), head.end())) > limits.fields) {
        return HeadRefusal{431, "too many header fields"};
    }
    if (!isKnownMethod(head.method())) {
        return HeadRefusal{400, "bad request"};
    }
    if (const std::size_t hosts = head.count(http::field::host);
        hosts > 1 || (hosts == 0 && head.version() >= 11)) {
        return HeadRefusal{400, "the request must have one Host field"};
    }
    // Field lines of one name make one list, in their order.
    std::string codings;
    const auto [first, last] = head.equal_range(http::field::transfer_encoding);
    for (auto line = first; line != last; ++line) {
        const auto value = line->value();
        codings.append(codings.empty() ? "" : ",").append(value.data(), value.size());
    }
    switch (transferCodingStatus(codings)) {
    case 400:
        return HeadRefusal{400, "chunked must be the last transfer coding, and come once"};
    case 501:
        return HeadRefusal{501, "the only transfer coding the service reads is chunked"};
    default:
        return std::nullopt;
    }
}

} // namespace orizume::service
