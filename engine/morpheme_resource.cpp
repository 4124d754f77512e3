#include "engine/morpheme_resource.h"

namespace morphemeResource {

namespace {

constexpr std::string_view kBlankSurface = "<surface> </surface>";
constexpr std::string_view kSpaceSurface = "<surface>space</surface>";

// What replaces the text at `i`, or nothing; `consumed` is how much of the
// text it stands for.
std::string_view escapeAt(std::string_view text, std::size_t i, std::size_t& consumed) {
    consumed = 1;
    if (text.compare(i, engine::kLineEnd.size(), engine::kLineEnd) == 0) {
        consumed = engine::kLineEnd.size();
        return "EndOfLine";
    }
    if (text[i] == '\t')
        return "tab";
    if (text.compare(i, kBlankSurface.size(), kBlankSurface) == 0) {
        consumed = kBlankSurface.size();
        return kSpaceSurface;
    }
    return {};
}

} // namespace

std::string replaceAllTheSpecialCharactersToSymbol(std::string_view text) {
    // One rule per position, left to right, gives what the three whole-text
    // passes give: the words put in for line ends and tabs hold none of the
    // characters of a blank surface, so they neither make nor break one, and
    // two blank surfaces cannot overlap.
    std::size_t size = 0;
    for (std::size_t i = 0, n = 0; i < text.size(); i += n) {
        const std::string_view word = escapeAt(text, i, n);
        size += word.empty() ? n : word.size();
    }
    std::string escaped;
    escaped.reserve(size);
    for (std::size_t i = 0, n = 0; i < text.size(); i += n) {
        const std::string_view word = escapeAt(text, i, n);
        escaped.append(word.empty() ? text.substr(i, n) : word);
    }
    return escaped;
}

} // namespace morphemeResource
