#include "service/request_checks.h"

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

std::string_view view(boost::beast::string_view text) {
    return {text.data(), text.size()};
}

} // namespace

std::optional<Refusal> headRefusal(const http::request_header<>& head, const HeadLimits& limits) {
    if (static_cast<std::size_t>(std::distance(head.begin(), head.end())) > limits.fields) {
        return Refusal{431, "too many header fields"};
    }
    if (!isKnownMethod(head.method())) {
        return Refusal{400, "bad request"};
    }
    if (const std::size_t hosts = head.count(http::field::host);
        hosts > 1 || (hosts == 0 && head.version() >= 11)) {
        return Refusal{400, "the request must have one Host field"};
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
        return Refusal{400, "chunked must be the last transfer coding, and come once"};
    case 501:
        return Refusal{501, "the only transfer coding the service reads is chunked"};
    default:
        return std::nullopt;
    }
}

std::optional<Refusal> unreadableRefusal(boost::beast::error_code ec, std::size_t maxBodyBytes) {
    if (ec == http::error::body_limit) {
        return Refusal{
            400, "the request body is larger than " + std::to_string(maxBodyBytes) + " bytes", {}};
    }
    // The parser's errors but those of a connection closed or too slow: not HTTP.
    if (ec.category() == http::make_error_code(http::error::bad_method).category() &&
        ec != http::error::end_of_stream && ec != http::error::partial_message &&
        ec != http::error::short_read) {
        return Refusal{400, "bad request", {}};
    }
    return std::nullopt;
}

Route route(const http::request_header<>& head) {
    const std::string path = requestPath(view(head.target()));
    const auto notAllowed = [&head](const char* allow) {
        return Route{
            Route::To::refusal,
            {405, "method " + printable(view(head.method_string())) + " not allowed here", allow}};
    };
    if (path == "/MAService/V1/parse") {
        if (head.method() != http::verb::post) {
            return notAllowed("POST");
        }
        if (head.count(http::field::content_type) != 0 &&
            !isFormType(view(head[http::field::content_type]))) {
            return {Route::To::refusal,
                    {400, "the body must be application/x-www-form-urlencoded", {}}};
        }
        return {Route::To::analysis, {}};
    }
    if (path == "/") {
        if (head.method() == http::verb::get || head.method() == http::verb::head) {
            return {Route::To::page, {}};
        }
        return notAllowed("GET, HEAD");
    }
    return {Route::To::refusal,
            {404, "not found: the service answers POST /MAService/V1/parse and GET /", {}}};
}

} // namespace orizume::service
