// Fuzzes the reply reader: the socket's own read pass, fed the bytes whole and
// in pieces of many sizes, must find the header block, the status, the header
// list, the Content-length and the body that a reading written here from the
// reply rules finds, and so must the block parser given any bytes as a block.

#include "platform/http_wire.h"
#include "platform/reply_reader.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::HeaderList;
using platform::ReplyHead;

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The leading decimal digits as a number, at most `max`.
template <typename Int> Int leadingDigits(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    std::size_t first = 0; // leading zeros add nothing
    while (first + 1 < digits && text[first] == '0')
        ++first;
    if (digits - first > 19)
        return std::numeric_limits<Int>::max();
    const unsigned long long value =
        digits == 0 ? 0 : std::stoull(text.substr(first, digits - first));
    return value > static_cast<unsigned long long>(std::numeric_limits<Int>::max())
               ? std::numeric_limits<Int>::max()
               : static_cast<Int>(value);
}

// The head of a reply whose header block is `block`, by the rules: the line
// end is CR LF if the block holds one, else LF, else CR; the status is the
// second space-separated field of the first line; continuation lines join
// with one space; every line with a colon is a header, its value without
// leading white space; the first "Content-length", in any case, is the
// expected length.
ReplyHead expectedHead(const std::string& block) {
    const std::string lineEnd = block.find("\r\n") != std::string::npos ? "\r\n"
                                : block.find('\n') != std::string::npos ? "\n"
                                : block.find('\r') != std::string::npos ? "\r"
                                                                        : "\r\n";
    ReplyHead head;
    const std::string first = block.substr(0, block.find(lineEnd));
    std::vector<std::string> fields(1);
    for (const char c : first) {
        if (c == ' ')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    if (fields.size() > 1)
        head.status = leadingDigits<int>(fields[1]);

    const std::string joined =
        replaceAll(replaceAll(block, lineEnd + ' ', " "), lineEnd + '\t', " ");
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < joined.size();) {
        if (joined.compare(i, lineEnd.size(), lineEnd) == 0) {
            lines.emplace_back();
            i += lineEnd.size();
        } else {
            lines.back().push_back(joined[i++]);
        }
    }
    for (const std::string& line : lines) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::size_t value = colon + 1;
        while (value < line.size() && std::isspace(static_cast<unsigned char>(line[value])))
            ++value;
        head.headers.emplace_back(QByteArray::fromStdString(line.substr(0, colon)),
                                  QByteArray::fromStdString(line.substr(value)));
    }
    for (const auto& [name, value] : head.headers) {
        if (name.toLower() == "content-length") {
            head.expectedLength = leadingDigits<qint64>(value.toStdString());
            break;
        }
    }
    return head;
}

bool sameHead(const ReplyHead& a, const ReplyHead& b) {
    return a.status == b.status && a.headers == b.headers && a.expectedLength == b.expectedLength;
}

// Where the header block ends: the earliest empty line of LF LF, CR CR or CR LF CR LF.
std::optional<std::pair<std::size_t, std::size_t>> expectedEnd(const std::string& bytes) {
    std::optional<std::pair<std::size_t, std::size_t>> end;
    for (const std::string terminator : {"\n\n", "\r\r", "\r\n\r\n"}) {
        const std::size_t at = bytes.find(terminator);
        if (at != std::string::npos && (!end || at < end->first))
            end = {{at, terminator.size()}};
    }
    return end;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const QByteArray wire = QByteArray::fromStdString(bytes);
    if (!sameHead(platform::parseHeaderBlock(wire), expectedHead(bytes)))
        std::abort(); // the block parser reads any bytes by the rules

    const auto end = expectedEnd(bytes);
    const ReplyHead head = end ? expectedHead(bytes.substr(0, end->first)) : ReplyHead();
    const QByteArray body = end ? wire.mid(end->first + end->second) : QByteArray();

    // The bytes as they may arrive: whole, in pieces of 1, 2, 3 or 5 bytes,
    // or in pieces that start small and grow (step 0).
    for (const std::size_t step :
         {size, std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{0}}) {
        platform::ReplyReader reader;
        int heads = 0;
        std::size_t at = 0;
        do {
            const std::size_t piece = step != 0 ? step : 1 + at / 3;
            heads +=
                reader.take(wire.mid(static_cast<qsizetype>(at), static_cast<qsizetype>(piece)));
            at += piece;
        } while (at < size);
        if (reader.headRead() != end.has_value() || heads != int(end.has_value()))
            std::abort(); // the head is found once, exactly when the bytes hold one
        if (!sameHead(reader.head(), head))
            std::abort();
        if (reader.receivedLength() != body.size() || reader.takeBody() != body)
            std::abort(); // every byte after the terminator, and nothing else
    }
    return 0;
}
