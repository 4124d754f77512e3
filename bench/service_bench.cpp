// Figures for the analysis service on one text (the program's largest, 32,000 bytes):
// MeCab alone, the reply writer, one request round trip, and many clients at once.
//
//   service-bench TEXT_FILE [--clients N] [--seconds S] [--dicdir DIR]
//
// bench/run-figures makes the text from Japanese manual pages and runs this.

#include "service/analysis_server.h"
#include "service/analyzer.h"
#include "service/parse_request.h"
#include "service/reply_writer.h"
#include "tests/service/service_test_support.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using orizume::service::AnalysisServer;
using orizume::service::Analyzer;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename F> double medianMs(int runs, F&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Peak resident memory of this process (server and clients together), in MiB.
double peakRssMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: service-bench TEXT_FILE [--clients N] [--seconds S] [--dicdir DIR]\n";
        return 2;
    }
    int clients = 8;
    double seconds = 5;
    std::string dicdir = "/var/lib/mecab/dic/ipadic-utf8";
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--clients") {
            clients = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--seconds") {
            seconds = std::max(0.5, std::atof(argv[i + 1]));
        } else if (arg == "--dicdir") {
            dicdir = argv[i + 1];
        }
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::cerr << "service-bench: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    const std::string text = contents.str();

    try {
        const Analyzer analyzer(dicdir);
        const std::size_t words = analyzer.analyze(text).size();
        std::printf("text: %zu bytes, %zu words\n", text.size(), words);

        const double mecab = medianMs(31, [&] { analyzer.analyze(text); });
        const auto analysed = analyzer.analyze(text);
        const double writer = medianMs(31, [&] { orizume::service::writeReply(analysed); });
        const std::string body = orizume::service::testing::programForm(text);
        const double handling =
            medianMs(31, [&] { orizume::service::answerParseRequest(analyzer, body); });
        std::printf("MeCab alone (analyze):       median %7.2f ms\n", mecab);
        std::printf("reply writer:                median %7.2f ms\n", writer);
        std::printf("request without HTTP:        median %7.2f ms  (%.2fx MeCab alone; form, "
                    "checks, analysis, reply)\n",
                    handling, handling / mecab);

        AnalysisServer server(analyzer, nullptr);
        const int port = server.bind("127.0.0.1", 0);
        if (port < 0) {
            std::cerr << "service-bench: " << server.bindError() << "\n";
            return 1;
        }
        std::thread serving([&] { server.listen(); });
        while (!server.isRunning()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::size_t replyBytes = 0;
        const double roundTrip = medianMs(31, [&] {
            httplib::Client client("127.0.0.1", port);
            const auto res =
                client.Post("/MAService/V1/parse", body, "application/x-www-form-urlencoded");
            replyBytes = res ? res->body.size() : 0;
        });
        std::printf("round trip (new connection): median %7.2f ms  (%.2fx MeCab alone; "
                    "request %zu bytes, reply %zu bytes)\n",
                    roundTrip, roundTrip / mecab, body.size(), replyBytes);

        std::atomic<bool> go{true};
        std::atomic<long> ok{0};
        std::atomic<long> errors{0};
        std::vector<double> latencies[64];
        const int threads = std::min(clients, 64);
        std::vector<std::thread> load;
        const auto start = Clock::now();
        for (int c = 0; c < threads; ++c) {
            load.emplace_back([&, c] {
                while (go) {
                    const auto sent = Clock::now();
                    httplib::Client client("127.0.0.1", port);
                    const auto res = client.Post("/MAService/V1/parse", body,
                                                 "application/x-www-form-urlencoded");
                    if (res && res->status == 200 && res->body.size() == replyBytes) {
                        ++ok;
                        latencies[c].push_back(msSince(sent));
                    } else {
                        ++errors;
                    }
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        go = false;
        for (std::thread& t : load) {
            t.join();
        }
        const double elapsed = msSince(start) / 1000.0;
        std::vector<double> all;
        for (int c = 0; c < threads; ++c) {
            all.insert(all.end(), latencies[c].begin(), latencies[c].end());
        }
        std::sort(all.begin(), all.end());
        const double median = all.empty() ? 0 : all[all.size() / 2];
        std::printf("load: %d clients for %.1f s: %.1f requests/s, %ld ok, %ld errors, "
                    "median latency %.2f ms (%.2fx a lone round trip)\n",
                    threads, elapsed, static_cast<double>(ok) / elapsed, ok.load(), errors.load(),
                    median, median / roundTrip);
        std::printf("peak resident memory (service and clients in one process): %.1f MiB\n",
                    peakRssMiB());
        server.stop();
        serving.join();
    } catch (const std::exception& e) {
        std::cerr << "service-bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
