#include "platform/http_wire.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace platform;

namespace {

TEST(FormData, EscapesTextAndJoinsPairsInOrder) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"50% (half)", "50%25+%28half%29"},
        {"%&=,/\\][{}`~-_()*^$#!+",
         "%25%26%3D%2C%2F%5C%5D%5B%7B%7D%60%7E%2D%5F%28%29%2A%5E%24%23%21%2B"},
        {"a\rb\nc", "a%0Db%0Ac"},
        {"1 + 1", "1+%2B+1"},
        {"?;:.@\t\"'<>|", "?;:.@\t\"'<>|"},
        {"日本語 です", "日本語+です"},
        {"%25", "%2525"},
    };
    for (const auto& [text, wire] : cases)
        EXPECT_EQ(escapeFormText(text).toStdString(), wire.toStdString()) << text.data();
    FormData form;
    EXPECT_EQ(encodeForm(form), "") << "an empty form gives an empty body";
    form.set("appid", "x");
    form.set("sentence", "a=b&c");
    form.set("appid", "y y"); // keeps its place
    EXPECT_EQ(encodeForm(form), "appid=y+y&sentence=a%3Db%26c");
}

TEST(HeaderList, SetReplacesEveryEarlierValueAndEmptyRemoves) {
    HeaderList headers{{"Accept", "*/*"}, {"X", "1"}, {"accept", "text/xml"}};
    setHeader(headers, "Accept", "a/b");
    setHeader(headers, "User-Agent", "u");
    EXPECT_EQ(headers, (HeaderList{{"Accept", "a/b"}, {"X", "1"}, {"User-Agent", "u"}}));
    setHeader(headers, "x", "");
    EXPECT_EQ(headers, (HeaderList{{"Accept", "a/b"}, {"User-Agent", "u"}}));
}

TEST(PostAddress, SplitsServerPathHostAndPort) {
    // address, server, path, host, port; the default port is 80
    const std::tuple<const char*, const char*, const char*, const char*, int> cases[] = {
        {"http://localhost/MAService/V1/parse", "localhost", "/MAService/V1/parse", "localhost",
         80},
        {"http://h:8080/a/b", "h:8080", "/a/b", "h", 8080},
        {"http://h", "h", "/", "h", 80},
        {"h:81/x", "h:81", "/x", "h", 81},
        {"http://h:0/x", "h:0", "/x", "h", 80},
        {"http://h:abc/x", "h:abc", "/x", "h", 80},
        {"http://h:12.7/x", "h:12.7", "/x", "h", 12},
        {"a://b://c", "b:", "//c", "b", 80},
    };
    for (const auto& [address, server, path, host, port] : cases) {
        const PostAddress where = splitPostAddress(QString::fromUtf8(address), 80);
        EXPECT_EQ(where.server, server) << address;
        EXPECT_EQ(where.path, path) << address;
        EXPECT_EQ(where.host, host) << address;
        EXPECT_EQ(where.port, port) << address;
    }
    EXPECT_EQ(splitPostAddress("http://h/x", 8000).port, 8000) << "default port";
}

TEST(HeaderBlock, FindsTheFirstEmptyLine) {
    // bytes, block length (-1: not found yet), terminator length
    const std::tuple<QByteArray, qsizetype, qsizetype> cases[] = {
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody", 21, 4},
        {"HTTP/1.0 200 OK\nA: b\n\nbody", 20, 2},
        {"HTTP/1.0 200 OK\rA: b\r\rbody", 20, 2},
        {"HTTP/1.0 200 OK\r\nA: b\n\nbody", 21, 2}, // CR LF lines ending in LF LF
        {"H 200\nA: b\n\nx\r\n\r\ny", 10, 2},       // a CR LF blank line later, in the body
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r", -1, 0},   // incomplete
    };
    for (const auto& [bytes, block, terminator] : cases) {
        const auto end = findHeaderEnd(bytes);
        EXPECT_EQ(end ? end->blockLength : -1, block) << bytes.data();
        EXPECT_EQ(end ? end->terminatorLength : 0, terminator) << bytes.data();
    }
    // A resumed search still sees an empty line that straddles the resume point.
    EXPECT_EQ(findHeaderEnd("H 200\r\n\r\n", 5)->blockLength, 5);
}

TEST(HeaderBlock, ParsesStatusAndHeaders) {
    // block, status, headers, Content-length
    const std::tuple<QByteArray, int, HeaderList, qint64> cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Type: a/b\r\nX:1",
         200,
         {{"Content-Type", "a/b"}, {"X", "1"}},
         0},
        {"HTTP/1.1 404 Not Found\nServer: s", 404, {{"Server", "s"}}, 0},
        {"HTTP/1.0 500 E\rA: b", 500, {{"A", "b"}}, 0},
        {"HTTP/1.0  200 OK\r\nA: b", 0, {{"A", "b"}}, 0}, // two spaces before the code
        {"HTTP/1.0 OK 200", 0, {}, 0},
        {"HTTP/1.0 99999999999999", 2147483647, {}, 0}, // clamped
        {"H 200\r\nA: one\r\n two\r\n\tthree\r\nB: c",
         200,
         {{"A", "one two three"}, {"B", "c"}},
         0}, // continuation lines
        {"H 200\r\njunk\r\nLocation:  http://x/\nA: 1",
         200,
         {{"Location", "http://x/\nA: 1"}},
         0}, // lines without a colon skipped; the CR LF block's LF is no line end
        {"H 200\r\ncontent-length: 12", 200, {{"content-length", "12"}}, 12},
    };
    for (const auto& [block, status, headers, length] : cases) {
        const ReplyHead head = parseHeaderBlock(block);
        EXPECT_EQ(head.status, status) << block.data();
        EXPECT_EQ(head.headers, headers) << block.data();
        EXPECT_EQ(head.expectedLength, length) << block.data();
    }
}

} // namespace
