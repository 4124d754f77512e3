#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace orizume::service {

// What the log tells of one answered request.
struct RequestLogEntry {
    std::string_view client;
    std::string_view method;
    std::string_view target;
    unsigned status = 0;
    std::size_t bodyBytes = 0;        // the request's body as read, chunks decoded
    std::string_view replyLength;     // the reply's Content-Length
    std::chrono::microseconds took{}; // since the request came
    std::string notSent;              // why the reply did not go out whole; empty when it did
};

// "2026-12-07T09:22:08.176Z 127.0.0.1 "POST /MAService/V1/parse" 200 in=42 out=310 3.1ms": the
// time it was answered, UTC to the millisecond, so that with its time since the request came the
// log tells in which order requests came and were answered.
std::string requestLogLine(const RequestLogEntry& entry);

} // namespace orizume::service
