#pragma once
// Character counting for the engine's rules: a character is one Unicode code
// point of UTF-8 text. Decoding is lenient so that no input can break a rule.

#include <string>
#include <string_view>

namespace engine {

// The code points of a UTF-8 text. Each byte that does not start a valid
// sequence (stray continuation byte, overlong form, surrogate, value above
// U+10FFFF, cut-off sequence) counts as one character U+FFFD.
std::u32string codePoints(std::string_view utf8);

// Every occurrence of `search` in `text` replaced by `replacement`, scanning
// left to right without rescanning what was replaced. An empty search text
// leaves the text unchanged.
std::string replaceAll(std::string_view text, std::string_view search,
                       std::string_view replacement);

} // namespace engine
