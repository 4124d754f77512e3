#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orizume::service {

// True when text is well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// Number of bytes of the character whose first byte is lead (1 for a stray continuation byte).
std::size_t utf8SequenceLength(unsigned char lead);

// The code point of the character of `length` bytes at text[pos], which must be valid UTF-8.
char32_t codePointAt(std::string_view text, std::size_t pos, std::size_t length);

// Prepares valid UTF-8 text for analysis: CR LF and a lone CR become LF, and every character
// that XML 1.0 cannot carry (control characters other than tab and LF, U+FFFE, U+FFFF) becomes
// U+FFFD, so the reply is always a well-formed document.
std::string normaliseInput(std::string_view text);

} // namespace orizume::service
