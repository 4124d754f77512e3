// Figures for the analysis service program under crowds, run as its own process on a free port:
// at its connection cap, how many clients that send their heads in pieces are answered beside
// connections that do little or nothing, and how many clients that come one by one are answered
// beside more connections than the cap trickling their heads and coming again as soon as they are
// closed; and on two processors, beside a flood of 32 KB posts from this machine, how many
// requests go before a long one and whether long replies come whole.
//
//   service-crowd-bench SERVICE_PROGRAM TEXT_FILE [--dicdir DIR] [--runs N] [--only trickling]
//
// One figure per line. bench/run-figures runs this on the same text as service-bench.

#include "bench/crowd.h"
#include "service/analysis_server.h"
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
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace orizume::service::testing;
using orizume::service::AnalysisServer;
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

// The soft open-file limit of process `pid`, from /proc/PID/limits; -1 if it does not say.
long openFileLimit(pid_t pid) {
    std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
    constexpr std::string_view name = "Max open files";
    for (std::string line; std::getline(limits, line);) {
        if (line.rfind(name, 0) == 0) {
            return std::atol(line.c_str() + name.size());
        }
    }
    return -1;
}

// More connections than the cap, `beyond` more, that each send a byte of a head every 100 ms and
// come again as soon as they are closed; meanwhile `honest` clients of each kind, one every
// 100 ms, sending the program's request whole at once or in 3 pieces over 300 ms. With
// `openFiles` (when not 0) the service may open that many files, which sets its cap. The
// connections it holds are counted from the socket descriptors in /proc/PID/fd, less those it had
// before the crowd came (its listening socket), every 10 ms: a look at them in the order of their
// numbers never finds more open than were at one moment, as a newcomer takes the lowest number
// free.
void besideTricklers(const char* program, const std::string& dicdir, rlim_t openFiles, int beyond,
                     int honest) {
    const ServiceProcess service(program, dicdir.c_str(), 0, openFiles);
    const pid_t pid = service.pid();
    const int port = service.port();
    const long limit = openFileLimit(pid);
    // As the service reckons its cap from its limit.
    const long cap = limit <= static_cast<long>(AnalysisServer::reservedFiles)
                         ? 1
                         : std::min<long>(limit - AnalysisServer::reservedFiles,
                                          AnalysisServer::connectionCeiling);
    const long before = socketDescriptors(pid);
    const int crowdSize = static_cast<int>(cap) + beyond;
    HonestTally tally;
    long reopened = 0;
    MostSeen open([pid, before] { return socketDescriptors(pid) - before; }, 10ms);
    {
        const TricklingCrowd crowd(port, crowdSize, 100ms, crowdSize > 512 ? 2 : 1);
        const auto filling = Clock::now();
        while (open.most() < cap && Clock::now() - filling < 10s) {
            std::this_thread::sleep_for(10ms);
        }
        const long reopenedBefore = crowd.reopened();
        tally = honestClients(port, parseRequest(programForm("雨が降る。")), 2 * honest);
        reopened = crowd.reopened() - reopenedBefore;
    }
    open.stop();
    std::printf("beside %d connections trickling a head a byte every 100 ms, opened again as soon "
                "as closed, at a cap of %ld (open-file limit %ld%s), a client every 100 ms: "
                "answered whole %d of %d, answered in pieces (3 over 300 ms) %d of %d; most "
                "connections beyond the cap %ld (most open %ld: the service's socket descriptors "
                "less the %ld it had before the crowd, %ld looks 10 ms apart); %ld reopened "
                "meanwhile\n",
                crowdSize, cap, limit, open.most() < cap ? ", NEVER REACHED" : "",
                tally.wholeAnswered, tally.whole, tally.inPiecesAnswered, tally.inPieces,
                std::max(0L, open.most() - cap), open.most(), before, open.samples(), reopened);
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
                     "[--runs N] [--only trickling]\n";
        return 2;
    }
    std::string dicdir = "/var/lib/mecab/dic/ipadic-utf8";
    int runs = 3;
    std::string only; // "trickling": the figures beside trickling connections alone
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--dicdir") {
            dicdir = argv[i + 1];
        } else if (arg == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--only") {
            only = argv[i + 1];
        }
    }
    if (!only.empty() && only != "trickling") {
        std::cerr << "service-crowd-bench: --only takes trickling, not " << only << "\n";
        return 2;
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
    if (only.empty()) {
        connectionCap(argv[1], dicdir);
    }
    // The cap lowered to 128 by the open-file limit, then the cap as this machine allows it.
    besideTricklers(argv[1], dicdir, 192, 32, 59);
    besideTricklers(argv[1], dicdir, 0, 32, 79);
    if (only.empty()) {
        besideAFlood(argv[1], dicdir, text, runs);
    }
    return 0;
}
