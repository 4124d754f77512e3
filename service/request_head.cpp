#include "service/request_head.h"

#include <cctype>
#include <vector>

namespace orizume::service {

HeadFrame::Scan HeadFrame::scan(std::string_view buffered) {
    std::size_t skip = 0;
    if (lineEnd_ == 0) {
        // Empty lines before the request line: "\r\n" or a bare "\n".
        while (skip < buffered.size()) {
            if (buffered[skip] == '\n') {
                ++skip;
            } else if (buffered[skip] == '\r' && skip + 1 < buffered.size() &&
                       buffered[skip + 1] == '\n') {
                skip += 2;
            } else {
                break;
            }
        }
        skipped_ += skip;
        buffered.remove_prefix(skip);
        if (skipped_ > maxLine_) {
            return {Verdict::tooManyEmptyLines, skip};
        }
        const std::size_t lf = buffered.substr(0, maxLine_).find('\n');
        if (lf == std::string_view::npos) {
            headBytes_ = buffered.size();
            return {buffered.size() >= maxLine_ ? Verdict::lineTooLong : Verdict::more, skip};
        }
        lineEnd_ = lf + 1;
        scanned_ = lf;
    }
    // The head ends with an empty line: a line feed followed by "\r\n" or "\n".
    for (std::size_t lf = buffered.find('\n', scanned_); lf != std::string_view::npos;
         lf = buffered.find('\n', lf + 1)) {
        scanned_ = lf;
        const std::string_view after = buffered.substr(lf + 1, 2);
        if (after.empty() || after == "\r") {
            break; // the next bytes tell
        }
        if (after[0] == '\n' || after == "\r\n") {
            const std::size_t end = lf + 1 + (after[0] == '\n' ? 1 : 2);
            headBytes_ = end;
            // The fields, each with its line end; not the empty line after them.
            const bool tooLarge = lf + 1 - lineEnd_ > maxFields_;
            return {tooLarge ? Verdict::fieldsTooLarge : Verdict::whole, skip};
        }
    }
    headBytes_ = buffered.size();
    // Room for the fields and the empty line that ends them.
    return {buffered.size() - lineEnd_ > maxFields_ + 2 ? Verdict::fieldsTooLarge : Verdict::more,
            skip};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool isFormType(std::string_view contentType) {
    constexpr std::string_view form = "application/x-www-form-urlencoded";
    if (contentType.size() < form.size() ||
        !equalsIgnoringCase(contentType.substr(0, form.size()), form)) {
        return false;
    }
    return contentType.size() == form.size() || contentType[form.size()] == ';' ||
           contentType[form.size()] == ' ';
}

std::string requestPath(std::string_view target) {
    target = target.substr(0, target.find('?'));
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (target.size() > scheme.size() &&
            equalsIgnoringCase(target.substr(0, scheme.size()), scheme)) {
            const std::size_t slash = target.find('/', scheme.size());
            // "http://host" alone names the root, as "/" does.
            target = slash == scheme.size()            ? std::string_view()
                     : slash == std::string_view::npos ? std::string_view("/")
                                                       : target.substr(slash);
            break;
        }
    }
    std::string path;
    for (std::size_t i = 0; i < target.size(); ++i) {
        const auto hex = [&](std::size_t at) {
            return at < target.size() && std::isxdigit(static_cast<unsigned char>(target[at]));
        };
        if (target[i] == '%' && hex(i + 1) && hex(i + 2)) {
            path += static_cast<char>(std::stoi(std::string(target.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            path += target[i];
        }
    }
    return path;
}

int transferCodingStatus(std::string_view transferEncoding) {
    // A list of codings separated by commas, each perhaps with parameters after ';'; empty
    // elements of the list do not count.
    std::vector<std::string_view> codings;
    for (std::size_t start = 0; start <= transferEncoding.size();) {
        std::size_t end = transferEncoding.find(',', start);
        if (end == std::string_view::npos) {
            end = transferEncoding.size();
        }
        std::string_view coding = transferEncoding.substr(start, end - start);
        coding = coding.substr(0, coding.find(';'));
        while (!coding.empty() && (coding.front() == ' ' || coding.front() == '\t')) {
            coding.remove_prefix(1);
        }
        while (!coding.empty() && (coding.back() == ' ' || coding.back() == '\t')) {
            coding.remove_suffix(1);
        }
        if (!coding.empty()) {
            codings.push_back(coding);
        }
        start = end + 1;
    }
    if (codings.empty()) {
        return 0;
    }
    // Chunked goes last, and once.
    for (std::size_t i = 0; i < codings.size(); ++i) {
        if (equalsIgnoringCase(codings[i], "chunked") != (i + 1 == codings.size())) {
            return 400;
        }
    }
    return codings.size() == 1 ? 0 : 501;
}

std::string printable(std::string_view text) {
    constexpr std::size_t limit = 200;
    std::string out;
    for (const char c : text.substr(0, limit)) {
        const auto byte = static_cast<unsigned char>(c);
        out += (byte < 0x20 || byte == 0x7F || c == '"') ? '?' : c;
    }
    if (text.size() > limit) {
        out += "...";
    }
    return out.empty() ? "-" : out;
}

} // namespace orizume::service
