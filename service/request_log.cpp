#include "service/request_log.h"

#include <cstdio>
#include <ctime>

namespace orizume::service {

namespace {

std::string utcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms));
    return text;
}

} // namespace

std::string requestLogLine(const RequestLogEntry& entry) {
    const long long us = entry.took.count();
    std::string line = utcNow() + " ";
    line.append(entry.client).append(" \"").append(entry.method).append(" ").append(entry.target);
    line +=
        "\" " + std::to_string(entry.status) + " in=" + std::to_string(entry.bodyBytes) + " out=";
    line.append(entry.replyLength);
    line += " " + std::to_string(us / 1000) + "." + std::to_string(us % 1000 / 100) + "ms";
    if (!entry.notSent.empty()) {
        line += " (not sent: " + entry.notSent + ")";
    }
    return line;
}

} // namespace orizume::service
