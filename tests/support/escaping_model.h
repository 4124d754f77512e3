#pragma once
// The reply escaping written as its rules read: three whole-text passes, one
// after the other. Tests and the walk fuzzer check the program's one-pass
// escaping, and the places it tells in the original, against it.

#include <cstddef>
#include <numeric>
#include <string>
#include <vector>

namespace testing_support {

inline std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

inline std::string escapedByPasses(const std::string& text) {
    return replaceAll(replaceAll(replaceAll(text, "\n", "EndOfLine"), "\t", "tab"),
                      "<surface> </surface>", "<surface>space</surface>");
}

// The three passes again, byte by byte: each byte of the escaped text paired
// with the offset in the original of the byte it stands for. A replacement
// keeps the bytes it shares with what it replaces at either end ("<surface>"
// and "</surface>" around a blank), and every byte it puts in stands for the
// first byte it took out.
struct TracedText {
    std::string text;
    std::vector<std::size_t> origin; // per byte of text
};

inline TracedText replaceAllTraced(const TracedText& in, const std::string& from,
                                   const std::string& to) {
    std::size_t head = 0, tail = 0;
    while (head < from.size() && head < to.size() && from[head] == to[head])
        ++head;
    while (head + tail < from.size() && head + tail < to.size() &&
           from[from.size() - 1 - tail] == to[to.size() - 1 - tail])
        ++tail;
    TracedText out;
    out.text.reserve(2 * in.text.size());
    out.origin.reserve(2 * in.text.size());
    std::size_t copied = 0; // bytes of `in` passed on to `out`
    for (std::size_t at = in.text.find(from); at != std::string::npos;
         at = in.text.find(from, at + from.size())) {
        out.text.append(in.text, copied, at - copied);
        out.origin.insert(out.origin.end(), in.origin.begin() + copied, in.origin.begin() + at);
        out.text += to;
        // The bytes kept in front, those put in, the bytes kept behind.
        const auto taken = in.origin.begin() + at;
        out.origin.insert(out.origin.end(), taken, taken + head);
        out.origin.insert(out.origin.end(), to.size() - head - tail, *(taken + head));
        out.origin.insert(out.origin.end(), taken + (from.size() - tail), taken + from.size());
        copied = at + from.size();
    }
    out.text.append(in.text, copied);
    out.origin.insert(out.origin.end(), in.origin.begin() + copied, in.origin.end());
    return out;
}

inline TracedText tracedByPasses(const std::string& text) {
    TracedText traced{text, std::vector<std::size_t>(text.size())};
    std::iota(traced.origin.begin(), traced.origin.end(), std::size_t{0});
    traced = replaceAllTraced(traced, "\n", "EndOfLine");
    traced = replaceAllTraced(traced, "\t", "tab");
    return replaceAllTraced(traced, "<surface> </surface>", "<surface>space</surface>");
}

} // namespace testing_support
