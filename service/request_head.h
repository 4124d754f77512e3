#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orizume::service {

// What a request head may hold. The other sizes of the head read follow from these.
struct HeadLimits {
    std::size_t lineBytes = 8 * 1024;  // the request line with its line end (414 beyond)
    std::size_t fieldBytes = 8 * 1024; // the header fields together, each with its line end (431)
    std::size_t fields = 100;          // header fields (431 beyond)

    // A whole head at most: the line, the fields and the empty line that ends them.
    std::size_t wholeBytes() const { return lineBytes + fieldBytes + 2; }
};

// Finds where a request head ends in the bytes that came so far, a read at a time, and holds it
// to its limits: a request line of lineBytes at most (its line end included), header fields of
// fieldBytes together (the empty line that ends them not counted). Empty lines before the request
// line are skipped, as HTTP/1.1 asks of a server, as long as they stay within a line's length.
// Only a whole head goes to the HTTP parser, so each limit holds whatever pieces the head comes
// in.
class HeadFrame {
public:
    explicit HeadFrame(const HeadLimits& limits)
        : maxLine_(limits.lineBytes), maxFields_(limits.fieldBytes) {}

    enum class Verdict { more, whole, lineTooLong, fieldsTooLarge, tooManyEmptyLines };
    struct Scan {
        Verdict verdict;
        std::size_t skip; // empty lines at the front of the bytes: to drop before anything else
    };
    // Looks at the bytes buffered so far (those an earlier scan said to skip dropped): never more
    // than HeadLimits::wholeBytes() and one read, as it tells where they go beyond.
    Scan scan(std::string_view buffered);

    // The bytes of the head so far (empty lines before it not counted); of the whole head once
    // whole.
    std::size_t headBytes() const { return headBytes_; }

private:
    std::size_t maxLine_;
    std::size_t maxFields_;
    std::size_t skipped_ = 0;
    std::size_t lineEnd_ = 0; // after the request line's line feed, once found
    std::size_t scanned_ = 0; // where the search for the head's end goes on
    std::size_t headBytes_ = 0;
};

// The path of a request target in origin form ("/MAService/V1/parse?x") or in the absolute form a
// proxy receives ("http://localhost/MAService/V1/parse"), percent escapes decoded; empty when it
// has none.
std::string requestPath(std::string_view target);

// "application/x-www-form-urlencoded", in any case, with or without parameters.
bool isFormType(std::string_view contentType);

// What a Transfer-Encoding field asks of the service: 0 when the body can be read (no coding, or
// chunked alone), 400 when chunked is not the last coding or comes twice (the body's length cannot
// be known), 501 for a coding the service does not undo.
int transferCodingStatus(std::string_view transferEncoding);

// Request text comes from the peer: keeps control bytes and endless text out of the log.
std::string printable(std::string_view text);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace orizume::service
