// Figures for the analysis service program under crowds, run as its own process on a free port:
// at its connection cap, how many clients that send their heads in pieces are answered beside
// connections that do little or nothing; and on two processors, beside a flood of 32 KB posts
// from this machine, how many requests go before a long one and whether long replies come whole.
//
//   service-crowd-bench SERVICE_PROGRAM TEXT_FILE [--dicdir DIR] [--runs N]
//
// One figure per line. bench/run-figures runs this on the same text as service-bench.

#include "bench/crowd.h"
#include "service/http_connection.h"
#include "tests/service/service_test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace orizume::service::testing;
using namespace std::chrono_literals;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string parseRequest(const std::string& body) {
    return programRequest("/MAService/V1/parse", body);
}

// Clients that each send `request` in pieces, `pause` apart, all at once; how many are answered
// 200.
int answeredInPieces(int port, const std::string& request, int clients, int pieces,
                     std::chrono::milliseconds pause) {
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            Connection connection(port, 0, 10);
            const std::size_t piece = request.size() / static_cast<std::size_t>(pieces);
            for (int p = 0; p < pieces; ++p) {
                if (p > 0) {
                    std::this_thread::sleep_for(pause);
                }
                const std::size_t at = static_cast<std::size_t>(p) * piece;
                connection.send(request.substr(at, p + 1 < pieces ? piece : std::string::npos));
            }
            answered += rawStatus(connection.receiveAll()) == 200;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return answered;
}

void connectionCap(const char* program, const std::string& dicdir) {
    const ServiceProcess service(program, dicdir.c_str());
    const int port = service.port();
    const std::string request = parseRequest(programForm("雨が降る。"));
    {
        // The silent ones come over the two seconds that the heads take.
        std::vector<std::unique_ptr<Connection>> silent;
        std::thread opening([&] {
            for (int i = 0; i < 2000; ++i) {
                silent.push_back(std::make_unique<Connection>(port));
                std::this_thread::sleep_for(1ms);
            }
        });
        const int answered = answeredInPieces(port, request, 5, 3, 1s);
        opening.join();
        std::printf("at the connection cap: a head in 3 pieces over 2 s while 2000 silent "
                    "connections are opened: %d of 5 answered\n",
                    answered);
    }
    const orizume::bench::Crowd crowd(port, 1000, 1000, true);
    std::this_thread::sleep_for(1500ms);
    for (const auto pause : {20ms, 50ms, 100ms, 300ms}) {
        const long before = crowd.reopened();
        const int answered = answeredInPieces(port, request, 10, 2, pause);
        std::printf("beside 1000 silent and 1000 trickling connections opened again as soon as "
                    "closed: a head in 2 pieces %d ms apart: %d of 10 answered (%ld reopened "
                    "meanwhile)\n",
                    static_cast<int>(pause.count()), answered, crowd.reopened() - before);
    }
}

// The text again and again, as much of it as the body limit takes, cut between characters.
std::string bodyAtTheLimit(const std::string& unit) {
    const std::size_t limit = orizume::service::ServiceLimits{}.maxBodyBytes;
    std::string text;
    while (programForm(text + unit).size() <= limit) {
        text += unit;
    }
    for (std::size_t at = 0, end; at < unit.size(); at = end) {
        for (end = at + 1; end < unit.size() && (unit[end] & 0xC0) == 0x80; ++end) {
        }
        if (programForm(text + unit.substr(0, end)).size() > limit) {
            return programForm(text + unit.substr(0, at));
        }
    }
    return programForm(text);
}

// A body at the limit, read promptly, then a flood of posts of the text that hang up; how long it
// took, whether it came whole, and how many requests that came after it were answered first.
struct LongRequest {
    double seconds;
    bool whole;
    long overtaken; // -1 when the log does not tell
    std::size_t logged;
};

LongRequest beside(const ServiceProcess& service, const std::string& body,
                   const std::string& text) {
    const int port = service.port();
    LongRequest result{};
    // In before the flood, which would keep it in the listen queue.
    const auto start = Clock::now();
    Connection connection(port, 0, 180);
    connection.send(parseRequest(body));
    std::string reply;
    {
        const Flood flood(port, 8, parseRequest(programForm(text)));
        reply = connection.receiveAll();
        result.seconds = secondsSince(start);
    }
    const std::string replyBody = rawBody(reply);
    result.whole = rawStatus(reply) == 200 &&
                   reply.find("Content-Length: " + std::to_string(replyBody.size()) + "\r\n") !=
                       std::string::npos;
    std::this_thread::sleep_for(200ms);
    const auto requests = loggedRequests(service.log());
    result.logged = requests.size();
    result.overtaken = -1;
    for (const LoggedRequest& request : requests) {
        if (request.in == static_cast<long>(body.size())) {
            result.overtaken = overtaking(requests, request);
        }
    }
    return result;
}

void besideAFlood(const char* program, const std::string& dicdir, const std::string& text,
                  int runs) {
    {
        const ServiceProcess service(program, dicdir.c_str(), 2);
        const std::string body = bodyAtTheLimit(text);
        const LongRequest prose = beside(service, body, text);
        std::printf("on 2 processors, then a flood of %zu-byte posts (8 clients hanging up at "
                    "once): a request of %zu bytes of the text (the body limit): answered in %.1f "
                    "s, %s, "
                    "overtaken by %ld requests that came after it (at most %zu), %zu logged\n",
                    text.size(), body.size(), prose.seconds, prose.whole ? "whole" : "CUT SHORT",
                    prose.overtaken, body.size() / 64, prose.logged);
    }
    int whole = 0;
    double longest = 0;
    for (int run = 0; run < runs; ++run) {
        const ServiceProcess service(program, dicdir.c_str(), 2);
        // Their replies' words take the reply budget: the long reply's stretches are analysed
        // again while it is written.
        const auto nonReading = nonReadingClients(service.port(), 200);
        std::string body = "appid=x&results=ma&sentence=";
        while (body.size() < orizume::service::ServiceLimits{}.maxBodyBytes) {
            body += "a+";
        }
        body.resize(orizume::service::ServiceLimits{}.maxBodyBytes);
        const LongRequest result = beside(service, body, text);
        whole += result.whole;
        longest = std::max(longest, result.seconds);
    }
    std::printf("on 2 processors beside 200 clients that never read and the same flood: a request "
                "of \"a+a+...\" at the body limit, read promptly: %d of %d replies whole "
                "(longest %.1f s)\n",
                whole, runs, longest);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: service-crowd-bench SERVICE_PROGRAM TEXT_FILE [--dicdir DIR] "
                     "[--runs N]\n";
        return 2;
    }
    std::string dicdir = "/var/lib/mecab/dic/ipadic-utf8";
    int runs = 3;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--dicdir") {
            dicdir = argv[i + 1];
        } else if (arg == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    orizume::bench::allowManyConnections();
    std::ifstream file(argv[2], std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    const std::string text = contents.str();
    if (text.empty()) {
        std::cerr << "service-crowd-bench: no text in " << argv[2] << "\n";
        return 1;
    }
    if (ServiceProcess service(argv[1], dicdir.c_str()); service.port() <= 0) {
        std::cerr << "service-crowd-bench: the service did not start\n";
        return 1;
    }
    connectionCap(argv[1], dicdir);
    besideAFlood(argv[1], dicdir, text, runs);
    return 0;
}
