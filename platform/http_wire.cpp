#include "platform/http_wire.h"

#include "platform/text.h"

#include <QByteArrayView>
#include <algorithm>
#include <array>
#include <limits>

namespace platform {

namespace {

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The number made of the leading decimal digits; 0 when there are none, and
// clamped to max so a long run of digits cannot overflow.
template <typename Int> Int leadingNumber(QByteArrayView text) {
    constexpr Int max = std::numeric_limits<Int>::max();
    Int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        const int digit = c - '0';
        value = value > (max - digit) / 10 ? max : static_cast<Int>(value * 10 + digit);
    }
    return value;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The characters a form key or value escapes as "%" and two hex digits.
constexpr QByteArrayView kEscaped = "%&=,/\\][{}`~-_()*^$#!+\r\n";

} // namespace

void FormData::set(const QByteArray& key, const QByteArray& value) {
    for (auto& pair : myPairs) {
        if (pair.first == key) {
            pair.second = value;
            return;
        }
    }
    myPairs.emplace_back(key, value);
}

void setHeader(HeaderList& headers, const QByteArray& name, const QByteArray& value) {
    const auto named = [&](const auto& header) { return sameName(header.first, name); };
    auto first = std::find_if(headers.begin(), headers.end(), named);
    if (value.isEmpty()) {
        headers.erase(std::remove_if(first, headers.end(), named), headers.end());
        return;
    }
    if (first == headers.end()) {
        headers.emplace_back(name, value);
        return;
    }
    // The header keeps its place, with the name as now given.
    *first = {name, value};
    headers.erase(std::remove_if(first + 1, headers.end(), named), headers.end());
}

QByteArray escapeFormText(const QByteArray& text) {
    // One pass gives the same bytes as replacing the listed characters one after
    // the other, "%" first, and then the spaces: no replacement writes a listed
    // character other than the "%" it starts with, and a space is never listed.
    // The text is the user's whole input, sent on every "Parse": each byte is
    // looked up in a table, and the runs that stay as they are copied whole.
    static constexpr char hex[] = "0123456789ABCDEF";
    static constexpr auto escaped = [] {
        std::array<bool, 256> table{};
        for (const char c : kEscaped)
            table[static_cast<unsigned char>(c)] = true;
        return table;
    }();
    QByteArray out;
    out.reserve(text.size() + text.size() / 4);
    const char* run = text.constData();
    const char* const end = run + text.size();
    for (const char* p = run; p != end; ++p) {
        const auto code = static_cast<unsigned char>(*p);
        if (!escaped[code] && *p != ' ')
            continue;
        out.append(run, p - run);
        run = p + 1;
        if (*p == ' ')
            out.append('+');
        else
            out.append('%').append(hex[code >> 4]).append(hex[code & 0xF]);
    }
    out.append(run, end - run);
    return out;
}

QByteArray encodeForm(const FormData& form) {
    QByteArray body;
    for (const auto& [key, value] : form.pairs()) {
        if (!body.isEmpty())
            body.append('&');
        body.append(escapeFormText(key)).append('=').append(escapeFormText(value));
    }
    return body;
}

PostAddress splitPostAddress(const QString& address, int defaultPort) {
    PostAddress where;
    where.address = address;
    const qsizetype scheme = address.indexOf(QLatin1String("://"));
    const QString rest = scheme < 0 ? address : address.mid(scheme + 3);
    const qsizetype slash = rest.indexOf(u'/');
    where.server = slash < 0 ? rest : rest.left(slash);
    where.path = slash < 0 ? QStringLiteral("/") : rest.mid(slash);
    const qsizetype colon = where.server.indexOf(u':');
    where.host = colon < 0 ? where.server : where.server.left(colon);
    const int port = colon < 0 ? 0 : toInt32(Val(where.server.mid(colon + 1)));
    where.port = port == 0 ? defaultPort : port;
    return where;
}

QByteArray buildPostRequest(HeaderList& headers, const PostAddress& where, bool viaProxy,
                            const QByteArray& contentType, const QByteArray& body) {
    setHeader(headers, "Host", where.server.toUtf8());
    setHeader(headers, "Content-type", contentType);
    setHeader(headers, "Content-length", QByteArray::number(body.size()));

    QByteArray request = "POST " + (viaProxy ? where.address : where.path).toUtf8() + " HTTP/1.0";
    for (const auto& [name, value] : headers)
        request.append("\r\n").append(name).append(": ").append(value);
    // The last header line's CR LF, then the empty line.
    request.append("\r\n\r\n");
    request.append(body);
    return request;
}

QByteArray chooseLineEnd(const QByteArray& bytes) {
    if (bytes.contains("\r\n"))
        return "\r\n";
    if (bytes.contains('\n'))
        return "\n";
    if (bytes.contains('\r'))
        return "\r";
    return "\r\n";
}

std::optional<HeaderEnd> findHeaderEnd(const QByteArray& bytes, qsizetype from) {
    // The earliest empty line of any of the three kinds ends the block. Body bytes
    // are arbitrary, so a blank line of another kind further on (in the body, or
    // in bytes that happened to arrive with the head) must not be taken instead,
    // and the result must not depend on how the reply was split into packets.
    const qsizetype n = bytes.size();
    for (qsizetype i = std::max<qsizetype>(from, 0); i + 1 < n; ++i) {
        const char a = bytes[i];
        const char b = bytes[i + 1];
        if (a == '\n' && b == '\n')
            return HeaderEnd{i, 2};
        if (a == '\r' && b == '\r')
            return HeaderEnd{i, 2};
        if (a == '\r' && b == '\n' && i + 3 < n && bytes[i + 2] == '\r' && bytes[i + 3] == '\n')
            return HeaderEnd{i, 4};
    }
    return std::nullopt;
}

ReplyHead parseHeaderBlock(const QByteArray& block) {
    ReplyHead head;
    const QByteArray lineEnd = chooseLineEnd(block);

    // Status: the second field of the first line, fields split at single spaces.
    const qsizetype firstEnd = block.indexOf(lineEnd);
    const QByteArray first = firstEnd < 0 ? block : block.left(firstEnd);
    const qsizetype space1 = first.indexOf(' ');
    if (space1 >= 0) {
        const qsizetype space2 = first.indexOf(' ', space1 + 1);
        const qsizetype end = space2 < 0 ? first.size() : space2;
        head.status =
            leadingNumber<int>(QByteArrayView(first).sliced(space1 + 1, end - space1 - 1));
    }

    // Continuation lines join the line before them with one space.
    QByteArray joined = block;
    joined.replace(lineEnd + ' ', " ");
    joined.replace(lineEnd + '\t', " ");

    for (qsizetype start = 0; start <= joined.size();) {
        qsizetype end = joined.indexOf(lineEnd, start);
        if (end < 0)
            end = joined.size();
        const QByteArrayView line = QByteArrayView(joined).sliced(start, end - start);
        start = end + lineEnd.size();
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        QByteArrayView value = line.sliced(colon + 1);
        while (!value.isEmpty() && isBlank(value.front()))
            value = value.sliced(1);
        head.headers.emplace_back(line.first(colon).toByteArray(), value.toByteArray());
    }

    for (const auto& [name, value] : head.headers) {
        if (sameName(name, "Content-length")) {
            head.expectedLength = leadingNumber<qint64>(value);
            break;
        }
    }
    return head;
}

} // namespace platform
