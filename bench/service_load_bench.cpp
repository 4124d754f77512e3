// Figures for the analysis service program, run as its own process on a free port: its memory
// when idle, at its peak under worst-case requests, beside clients that never read their replies
// and after load; the time to answer a request beside slow clients and beside 2,000 idle
// connections; requests per second under load; and the time to stop on SIGTERM.
//
//   service-load-bench SERVICE_PROGRAM TEXT_FILE [--dicdir DIR] [--rounds N] [--requests N]
//                      [--clients N] [--load-bytes N]
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

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

double statusMiB(pid_t pid, std::string_view field) {
    return static_cast<double>(statusKiB(pid, field)) / 1024;
}

// Starts the peak (VmHWM) afresh at the present resident memory.
void resetPeak(pid_t pid) {
    std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5";
}

// Resident memory: all of it, and the part that is not the dictionary's mapped file (heap and
// stacks), which is what the service can give back.
std::string residentText(pid_t pid) {
    char text[96];
    std::snprintf(text, sizeof text, "%.1f MiB (%.1f MiB without the dictionary file)",
                  statusMiB(pid, "VmRSS"), statusMiB(pid, "RssAnon"));
    return text;
}

// The service gives memory back a second or so after its last client has gone.
std::string idleText(pid_t pid) {
    std::this_thread::sleep_for(2500ms);
    return residentText(pid);
}

std::string parseRequest(const std::string& body) {
    return programRequest("/MAService/V1/parse", body);
}

// Requests one after another: the median and the longest time, and how many were answered 200
// (a client gives up after two seconds without data).
struct Requests {
    double median;
    double longest;
    int answered;
    int runs;
};

Requests timeRequests(int port, const std::string& request, int runs) {
    std::vector<double> times;
    int answered = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        answered += rawStatus(rawExchange(port, request)) == 200;
        times.push_back(msSince(start));
    }
    return {percentile(times, 0.5), percentile(times, 1), answered, runs};
}

double medianRequestMs(int port, const std::string& request, int runs) {
    return timeRequests(port, request, runs).median;
}

std::string requestsText(const Requests& requests, double idle) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "median %.2f ms (%.2fx idle), longest %.2f ms, %d of %d answered 200",
                  requests.median, requests.median / idle, requests.longest, requests.answered,
                  requests.runs);
    return text;
}

// The service's processor time so far, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i) {
        ticks += i >= 14 ? std::atol(field.c_str()) : 0; // utime and stime
    }
    return ticks;
}

// Waits (a minute at most) until the service has used no processor time for half a second.
void waitUntilQuiet(pid_t pid) {
    const auto end = Clock::now() + 60s;
    for (long before = cpuTicks(pid); Clock::now() < end;) {
        std::this_thread::sleep_for(500ms);
        const long now = cpuTicks(pid);
        if (now - before <= 1) {
            return;
        }
        before = now;
    }
}

// Clients that post a body at the limit, every other character a word of its own ("a+a+..."), with
// a 4 KiB receive buffer, and never read the reply; meanwhile a request of the text.
void besideNonReadingClients(int port, pid_t pid, const std::string& request, double idle) {
    constexpr int clients = 512;
    resetPeak(pid);
    const double before = statusMiB(pid, "VmRSS");
    const auto start = Clock::now();
    auto connections = nonReadingClients(port, clients);
    const double sent = msSince(start);
    const Requests meanwhile = timeRequests(port, request, 5);
    waitUntilQuiet(pid);
    std::printf("%d clients posting %zu bytes of \"a+a+...\" and never reading (4 KiB receive "
                "buffers; sent in %.0f ms): service peak memory %.1f MiB (%.1f MiB before)\n",
                clients, orizume::service::ServiceLimits{}.maxBodyBytes, sent,
                statusMiB(pid, "VmHWM"), before);
    std::printf("request beside them: %s\n", requestsText(meanwhile, idle).c_str());
    connections.clear();
    std::printf("service memory, idle after them: %s\n", idleText(pid).c_str());
}

// Sends `requests` requests from `clients` clients at once; prints requests/s, errors, median
// and 99th percentile.
void loadRound(int port, int round, int clients, int requests, const std::string& request,
               const std::string& expected, pid_t pid) {
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    std::atomic<int> errors{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            for (int r = c; r < requests; r += clients) {
                const auto sent = Clock::now();
                if (rawExchange(port, request) != expected) {
                    ++errors;
                }
                latencies[static_cast<std::size_t>(c)].push_back(msSince(sent));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double seconds = msSince(start) / 1000;
    std::vector<double> all;
    for (const auto& list : latencies) {
        all.insert(all.end(), list.begin(), list.end());
    }
    std::printf(
        "load round %d: %d clients, %d requests: %.0f requests/s, %d errors, median %.2f ms, "
        "p99 %.2f ms, service resident memory %.1f MiB\n",
        round, clients, requests, requests / seconds, errors.load(), percentile(all, 0.5),
        percentile(all, 0.99), statusMiB(pid, "VmRSS"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: service-load-bench SERVICE_PROGRAM TEXT_FILE [--dicdir DIR] "
                     "[--rounds N] [--requests N] [--clients N] [--load-bytes N]\n";
        return 2;
    }
    std::string dicdir = "/var/lib/mecab/dic/ipadic-utf8";
    int rounds = 3;
    int requests = 10000;
    int clients = 16;
    std::size_t loadBytes = 1000;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const int value = std::max(1, std::atoi(argv[i + 1]));
        if (arg == "--dicdir") {
            dicdir = argv[i + 1];
        } else if (arg == "--rounds") {
            rounds = value;
        } else if (arg == "--requests") {
            requests = value;
        } else if (arg == "--clients") {
            clients = value;
        } else if (arg == "--load-bytes") {
            loadBytes = static_cast<std::size_t>(value);
        }
    }
    orizume::bench::allowManyConnections();
    std::ifstream file(argv[2], std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    const std::string text = contents.str();
    ServiceProcess service(argv[1], dicdir.c_str());
    const int port = service.port();
    if (text.empty() || port <= 0) {
        std::cerr << "service-load-bench: no text in " << argv[2]
                  << " or the service did not start\n";
        return 1;
    }
    const pid_t pid = service.pid();

    std::printf("service memory at start: %s\n", residentText(pid).c_str());
    const std::string request = parseRequest(programForm(text));
    rawExchange(port, request);
    std::printf("service memory, idle after the first request: %s\n", idleText(pid).c_str());
    const double afterFirst = statusMiB(pid, "VmRSS");
    {
        // A burst: 8 clients at once, 50 requests of the text each; then 5 s idle.
        std::vector<std::thread> burst;
        for (int c = 0; c < 8; ++c) {
            burst.emplace_back([&] {
                for (int r = 0; r < 50; ++r) {
                    rawExchange(port, request);
                }
            });
        }
        for (std::thread& client : burst) {
            client.join();
        }
        const double atOnce = statusMiB(pid, "VmRSS");
        std::this_thread::sleep_for(5s);
        std::printf("service memory after 8 clients sent 50 requests of the text each at once: "
                    "%.1f MiB, 5 s idle after them %s (%+.1f MiB over the figure after the first "
                    "request)\n",
                    atOnce, residentText(pid).c_str(), statusMiB(pid, "VmRSS") - afterFirst);
    }

    const double idle = medianRequestMs(port, request, 21);
    std::printf("request of %zu bytes, service otherwise idle: median %.2f ms\n", text.size(),
                idle);
    {
        const orizume::bench::Crowd slow(port, 32, 32, false);
        std::this_thread::sleep_for(200ms);
        const double beside = medianRequestMs(port, request, 21);
        std::printf("request beside 64 slow clients (32 silent, 32 sending a byte a second): "
                    "median %.2f ms (%.2fx idle)\n",
                    beside, beside / idle);
    }
    {
        const orizume::bench::Crowd idleConnections(port, 1000, 1000, false);
        std::this_thread::sleep_for(500ms);
        std::printf("request beside 2000 idle connections (1000 silent, 1000 sending a byte a "
                    "second): %s\n",
                    requestsText(timeRequests(port, request, 11), idle).c_str());
    }
    besideNonReadingClients(port, pid, request, idle);

    // The worst bodies at the limit: every byte a word of its own.
    const std::size_t limit = orizume::service::ServiceLimits{}.maxBodyBytes;
    for (const char filler : {'+', 'a'}) {
        std::string body = "appid=x&results=ma&sentence=";
        body.resize(limit, filler);
        const std::string worst = parseRequest(body);
        resetPeak(pid);
        const double before = statusMiB(pid, "VmRSS");
        std::vector<std::thread> threads;
        const auto start = Clock::now();
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&] { rawExchange(port, worst); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        const double ms = msSince(start);
        const double peak = statusMiB(pid, "VmHWM");
        std::printf("8 requests at once of %zu bytes of \"%c\" (the body limit): %.0f ms, service "
                    "peak memory %.1f MiB (%.1f MiB before)\n",
                    limit, filler, ms, peak, before);
        std::printf("service memory, idle after them: %s\n", idleText(pid).c_str());
    }

    // A paragraph of the text, as the program sends most often.
    std::size_t cut = std::min(loadBytes, text.size());
    while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    const std::string loadRequest = parseRequest(programForm(text.substr(0, cut)));
    const std::string expected = rawExchange(port, loadRequest);
    std::printf("load: requests of %zu bytes of the text\n", cut);
    for (int round = 1; round <= rounds; ++round) {
        loadRound(port, round, clients, requests, loadRequest, expected, pid);
    }
    std::printf("service memory, idle after load: %s\n", idleText(pid).c_str());

    {
        const orizume::bench::Crowd slow(port, 32, 32, false);
        std::string body = "appid=x&results=ma&sentence=";
        body.resize(limit, 'a');
        std::thread busy([&] { rawExchange(port, parseRequest(body)); });
        std::this_thread::sleep_for(100ms);
        const auto start = Clock::now();
        kill(pid, SIGTERM);
        const int status = service.waitForExit(10s);
        std::printf("stop on SIGTERM beside 64 slow clients and an analysis: %.0f ms (exit "
                    "status %d)\n",
                    msSince(start), status);
        busy.join();
    }
    return 0;
}
