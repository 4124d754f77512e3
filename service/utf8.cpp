#include "service/utf8.h"

#include <cstdint>

namespace orizume::service {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool isXmlChar(char32_t cp) {
    if (cp < 0x20) {
        return cp == 0x09 || cp == 0x0A || cp == 0x0D;
    }
    return cp != 0xFFFE && cp != 0xFFFF;
}

} // namespace

char32_t codePointAt(std::string_view text, std::size_t pos, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (length == 1) {
        return lead;
    }
    char32_t cp = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    }
    return cp;
}

std::size_t utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        return 4;
    }
    return 1;
}

bool isValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        // C0 and C1 only start overlong forms; F5..FF would go beyond U+10FFFF.
        if (lead < 0xC2 || lead > 0xF4) {
            return false;
        }
        const std::size_t length = utf8SequenceLength(lead);
        if (pos + length > text.size()) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if (!isContinuation(static_cast<unsigned char>(text[pos + i]))) {
                return false;
            }
        }
        const char32_t cp = codePointAt(text, pos, length);
        const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
        const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        if (overlong || surrogate || cp > 0x10FFFF) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::string normaliseInput(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '\r') {
            out += '\n';
            pos += (pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
            continue;
        }
        std::size_t length = utf8SequenceLength(static_cast<unsigned char>(c));
        if (pos + length > text.size()) {
            length = text.size() - pos;
        }
        if (isXmlChar(codePointAt(text, pos, length))) {
            out.append(text.substr(pos, length));
        } else {
            out.append(replacementCharacter);
        }
        pos += length;
    }
    return out;
}

} // namespace orizume::service
