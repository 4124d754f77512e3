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
    std::string line = utcNow();
    for (const std::string_view part :
         {std::string_view(" "), entry.client, std::string_view(" \""), entry.method,
          std::string_view(" "), entry.target, std::string_view("\" ")}) {
        line.append(part);
    }
    line.append(std::to_string(entry.status)).append(" in=");
    line.append(std::to_string(entry.bodyBytes)).append(" out=").append(entry.replyLength);
    line.append(" ").append(std::to_string(us / 1000)).append(".");
    line.append(std::to_string(us % 1000 / 100)).append("ms");
    if (!entry.notSent.empty()) {
        line.append(" (not sent: ").append(entry.notSent).append(")");
    }
    return line;
}

} // namespace orizume::service
