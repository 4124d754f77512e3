// analysis-service: the local morphological-analysis service the program posts its text to.

#include "service/analysis_server.h"
#include "service/analyzer.h"

#include <sys/resource.h>

#include <charconv>
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr const char* usage =
    "usage: analysis-service [--address ADDRESS] [--port PORT] [--dicdir DIR]\n"
    "  --address ADDRESS  address to listen on (default 127.0.0.1)\n"
    "  --port PORT        port to listen on, 0 for any free port (default 80: the program's\n"
    "                     built-in service address names no port)\n"
    "  --dicdir DIR       MeCab dictionary folder, the UTF-8 IPADIC build\n"
    "                     (default /var/lib/mecab/dic/ipadic-utf8)\n";

struct Options {
    std::string address = "127.0.0.1";
    int port = 80;
    std::string dicdir = "/var/lib/mecab/dic/ipadic-utf8";
};

bool parsePort(std::string_view text, int& port) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    return ec == std::errc() && end == text.data() + text.size() && port >= 0 && port <= 65535;
}

// Returns 0 to run, or the exit code.
int parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return -1;
        }
        if (i + 1 >= argc || (arg != "--address" && arg != "--port" && arg != "--dicdir")) {
            std::cerr << "analysis-service: unknown or incomplete option " << arg << "\n" << usage;
            return 2;
        }
        const std::string_view value = argv[++i];
        if (arg == "--address") {
            options.address = value;
        } else if (arg == "--dicdir") {
            options.dicdir = value;
        } else if (!parsePort(value, options.port)) {
            std::cerr << "analysis-service: --port wants a number from 0 to 65535, not " << value
                      << "\n";
            return 2;
        }
    }
    return 0;
}

// Each connection takes a file, and the service sizes its connection cap from this limit.
void raiseOpenFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files); // may fail (an endless hard limit): the soft one stays
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int rc = parseOptions(argc, argv, options); rc != 0) {
        return rc < 0 ? 0 : rc;
    }
    // A peer that closes early must not kill the process with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    orizume::service::AnalysisServer::tuneAllocator();
    raiseOpenFileLimit();

    try {
        const orizume::service::Analyzer analyzer(options.dicdir);
        orizume::service::AnalysisServer server(analyzer, &std::cerr);
        const int port = server.bind(options.address, options.port);
        if (port < 0) {
            std::cerr << "analysis-service: " << server.bindError() << "\n";
            return 1;
        }
        server.stopOnSignals([](int signal) {
            std::cerr << "analysis-service: stopping (signal " << signal << ")" << std::endl;
        });
        std::cerr << "analysis-service: " << analyzer.analyzerName() << ", dictionary "
                  << analyzer.dictionaryName() << "\n"
                  << "analysis-service: listening on http://" << options.address << ":" << port
                  << "/" << std::endl;
        const bool served = server.listen();
        std::cerr << "analysis-service: stopped" << std::endl;
        return served ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "analysis-service: " << e.what() << "\n";
        return 1;
    }
}
