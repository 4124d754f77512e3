// The reply escaping on one real reply, against two floors measured in the
// same loop, turn about: a plain one-pass escaping that appends byte by byte
// (the simplest correct way), and a bare copy of the reply (the least any
// escaping can cost). Prints medians and the median of the per-run ratios.
//
//   escape-bench REPLY_FILE [RUNS]
//
// bench/run-figures saves the service's reply to the text it times the
// program with and runs this on it.

#include "bench/median.h"
#include "engine/morpheme_resource.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Each byte in turn: a line end, a tab or the start of a blank surface is
// replaced, anything else appended as it is.
std::string plainOnePass(std::string_view text) {
    constexpr std::string_view blank = "<surface> </surface>";
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            out += "EndOfLine";
        } else if (c == '\t') {
            out += "tab";
        } else if (c == '<' && text.substr(i).starts_with(blank)) {
            out += "<surface>space</surface>";
            i += blank.size() - 1;
        } else {
            out += c;
        }
    }
    return out;
}

// As the program escapes a reply: noting where it replaced what.
std::string programsEscaping(std::string_view text) {
    morphemeResource::EscapeRecord record;
    return morphemeResource::replaceAllTheSpecialCharactersToSymbol(text, &record);
}

std::string bareCopy(std::string_view text) {
    return std::string(text);
}

template <typename Escape> double timeMs(Escape escape, std::string_view text, std::size_t& sink) {
    const auto start = std::chrono::steady_clock::now();
    const std::string out = escape(text);
    const auto end = std::chrono::steady_clock::now();
    sink += out.size();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: escape-bench REPLY_FILE [RUNS]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "escape-bench: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    const std::string reply = contents.str();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 51;

    const std::string escaped = morphemeResource::replaceAllTheSpecialCharactersToSymbol(reply);
    if (escaped != plainOnePass(reply)) {
        std::fprintf(stderr, "escape-bench: the escaping and the plain one-pass escaping differ\n");
        return 1;
    }

    std::vector<double> ours, plain, copy, toPlain, toCopy;
    std::size_t sink = 0;
    for (int i = 0; i <= runs; ++i) { // the first round warms the caches and is dropped
        const double o = timeMs(programsEscaping, reply, sink);
        const double p = timeMs(plainOnePass, reply, sink);
        const double c = timeMs(bareCopy, reply, sink);
        if (i == 0)
            continue;
        ours.push_back(o);
        plain.push_back(p);
        copy.push_back(c);
        toPlain.push_back(o / p);
        toCopy.push_back(o / c);
    }
    std::printf("reply escaping, %zu bytes in, %zu out, %d runs, turn about:\n", reply.size(),
                escaped.size(), runs);
    std::printf("  the program's escaping:                median %7.3f ms\n", median(ours));
    std::printf("  plain one-pass escaping, byte by byte: median %7.3f ms\n", median(plain));
    std::printf("  bare copy of the reply:                median %7.3f ms\n", median(copy));
    std::printf("  escaping / plain one-pass: median of per-run ratios %.2f\n", median(toPlain));
    std::printf("  escaping / bare copy:      median of per-run ratios %.2f\n", median(toCopy));
    return sink == 0 ? 1 : 0;
}
