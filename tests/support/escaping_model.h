#pragma once
// The reply escaping written as its rules read: three whole-text passes, one
// after the other. Tests and the walk fuzzer check the program's one-pass
// escaping against it.

#include <cstddef>
#include <string>

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

} // namespace testing_support
