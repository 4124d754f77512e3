// Figures for the analysis service in this process, on one text (the program's largest, 32,000
// bytes): the analyzer (MeCab and the word list), the reply writer, one request without and with
// HTTP (back to back, and after the service has been idle for 1.1 s), and the analyzer on long
// runs of one character class, which MeCab takes in time that grows with the square of the run
// unless the runs are cut.
//
//   service-bench TEXT_FILE [--dicdir DIR]
//
// One figure per line, "name: median X ms". bench/run-figures makes the text from Japanese manual
// pages and runs this; service-load-bench measures the service program under load.

#include "service/analysis_server.h"
#include "service/analyzer.h"
#include "service/parse_request.h"
#include "service/reply_writer.h"
#include "tests/service/service_test_support.h"

#include <algorithm>
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

double medianOf(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename F> double medianMs(int runs, F&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return medianOf(std::move(times));
}

std::string repeated(const std::string& unit, std::size_t bytes) {
    std::string text;
    while (text.size() + unit.size() <= bytes) {
        text += unit;
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: service-bench TEXT_FILE [--dicdir DIR]\n";
        return 2;
    }
    std::string dicdir = "/var/lib/mecab/dic/ipadic-utf8";
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--dicdir") {
            dicdir = argv[i + 1];
        }
    }
    AnalysisServer::tuneAllocator(); // as the service program runs
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
        std::printf("text: %zu bytes, %zu words\n", text.size(), analyzer.analyze(text).size());

        const double analysis = medianMs(31, [&] { analyzer.analyze(text); });
        const auto analysed = analyzer.analyze(text);
        const double writer = medianMs(31, [&] { orizume::service::writeReply(analysed); });
        const std::string body = orizume::service::testing::programForm(text);
        const double handling = medianMs(31, [&] {
            orizume::service::writeReply(
                orizume::service::answerParseRequest(analyzer, body).words);
        });
        std::printf("analyzer (MeCab + word list): median %7.2f ms\n", analysis);
        std::printf("reply writer:                 median %7.2f ms\n", writer);
        std::printf("request without HTTP:         median %7.2f ms  (%.2fx the analyzer; form, "
                    "checks, analysis, reply)\n",
                    handling, handling / analysis);

        AnalysisServer server(analyzer, nullptr);
        const int port = server.bind("127.0.0.1", 0);
        if (port < 0) {
            std::cerr << "service-bench: " << server.bindError() << "\n";
            return 1;
        }
        std::thread serving([&] { server.listen(); });
        const std::string request =
            orizume::service::testing::programRequest("/MAService/V1/parse", body);
        std::size_t replyBytes = 0;
        const double roundTrip = medianMs(
            31, [&] { replyBytes = orizume::service::testing::rawExchange(port, request).size(); });
        std::printf("round trip (new connection):  median %7.2f ms  (%.2fx the analyzer; "
                    "request %zu bytes, reply %zu bytes with its head)\n",
                    roundTrip, roundTrip / analysis, request.size(), replyBytes);
        // At a person's pace: a request 1.1 s after the last one, when the service has been idle
        // past its give-back timer, beside one right after another, in turn in one loop.
        std::vector<double> backToBack, afterIdle;
        const auto timed = [&](std::vector<double>& times) {
            const auto start = Clock::now();
            orizume::service::testing::rawExchange(port, request);
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        };
        for (int i = 0; i < 21; ++i) {
            timed(backToBack);
            std::this_thread::sleep_for(std::chrono::milliseconds(1100));
            timed(afterIdle);
        }
        const double busy = medianOf(backToBack);
        const double idle = medianOf(afterIdle);
        std::printf("round trip after 1.1 s idle:  median %7.2f ms  (%.2fx back to back, median "
                    "%.2f ms, in turn)\n",
                    idle, idle / busy, busy);
        server.stop();
        serving.join();

        // Runs are cut after Analyzer::runBytes; 32,000 bytes is the program's largest text.
        for (const std::size_t bytes : {std::size_t{32000}, std::size_t{1} << 20}) {
            for (const std::string unit : {"a", "1", "!", "ア", "漢", "あ", " ", "\n"}) {
                const std::string run = repeated(unit, bytes);
                const std::string name = (bytes == 32000 ? "32000 bytes" : "1 MiB") +
                                         std::string(" of \"") +
                                         (unit == "\n" ? std::string("\\n") : unit) + "\"";
                std::printf("run of one class, %s: median %7.2f ms\n", name.c_str(),
                            medianMs(bytes == 32000 ? 11 : 3, [&] { analyzer.analyze(run); }));
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "service-bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
