#include "service/form_decoder.h"

#include <optional>

namespace orizume::service {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            const int high = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

DecodedForm decodeForm(std::string_view body) {
    DecodedForm form;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        const std::string_view pair = body.substr(start, end - start);
        start = end + 1;
        // Empty pieces ("a=1&&b=2", a trailing "&") carry nothing.
        if (pair.empty()) {
            continue;
        }
        const std::size_t eq = pair.find('=');
        auto name = unescape(pair.substr(0, eq));
        auto value = eq == std::string_view::npos ? std::optional<std::string>("")
                                                  : unescape(pair.substr(eq + 1));
        if (!name || !value) {
            form.fields.clear();
            form.error = "malformed percent escape in the form body";
            return form;
        }
        form.fields.emplace(std::move(*name), std::move(*value));
    }
    return form;
}

} // namespace orizume::service
