// The HTTP client: the wire functions on their own, then the socket against a
// loopback server, with exact bytes and cut-off replies.

#include "platform/http_socket.h"
#include "platform/http_wire.h"
#include "tests/support/loopback_server.h"

#include <QUrl>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace platform;
using testing_support::LoopbackServer;
using Events = std::vector<std::string>;

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

// A socket that logs its events in order, as text, and the address and body of the last page.
struct LoggedSocket : HttpSocket {
    LoggedSocket() {
        connect(this, &HttpSocket::HeadersReceived, this, [this](const HeaderList& h, int st) {
            events.push_back("headers " + std::to_string(st) + " " + std::to_string(h.size()));
        });
        connect(this, &HttpSocket::PageReceived, this,
                [this](const QString& u, int st, const HeaderList&, const QByteArray& b) {
                    events.push_back("page " + std::to_string(st) + " " + b.toStdString());
                    std::tie(url, body) = std::tie(u, b);
                });
        connect(this, &HttpSocket::Error, this,
                [this](int code) { events.push_back("error " + std::to_string(code)); });
    }
    // Waits for the reply's end, then a little longer: nothing may follow it.
    bool waitEnd() {
        const bool ended = QTest::qWaitFor(
            [&] { return !events.empty() && events.back().rfind("headers", 0) != 0; }, 5000);
        QTest::qWait(20);
        return ended;
    }
    Events events;
    QString url;
    QByteArray body;
};

TEST(HttpSocket, WritesTheRequestExactly) {
    // "%1" stands for the test server's port, which is also the socket's default port.
    const struct {
        const char *address, *proxy;
        bool proxyPortSet; // else 0, which means the default port
        const char *target, *host;
    } cases[] = {
        {"http://127.0.0.1:%1/p", "", false, "/p", "127.0.0.1:%1"},
        {"http://localhost/p", "", false, "/p", "localhost"},
        {"http://service.invalid:81/p", "127.0.0.1", true, "http://service.invalid:81/p",
         "service.invalid:81"},
        {"http://service.invalid/p", "127.0.0.1", false, "http://service.invalid/p",
         "service.invalid"},
    };
    for (const auto& c : cases) {
        LoopbackServer server;
        const auto withPort = [&](const char* s) {
            return QString::fromLatin1(s).replace("%1", QString::number(server.port()));
        };
        HttpSocket socket;
        socket.ClearRequestHeaders();
        socket.SetRequestHeader("User-Agent", "U");
        FormData form;
        form.set("sentence", "50% (half) 日本");
        socket.SetFormData(&form);
        socket.defaultPort = server.port();
        socket.httpProxyAddress = QString::fromLatin1(c.proxy);
        socket.httpProxyPort = c.proxyPortSet ? server.port() : 0;
        socket.Post(withPort(c.address));
        EXPECT_EQ(socket.Address, *c.proxy ? "127.0.0.1" : QUrl(withPort(c.address)).host())
            << c.address;
        EXPECT_EQ(socket.Port, server.port()) << c.address;

        const QByteArray expected =
            "POST " + QByteArray(c.target) +
            " HTTP/1.0\r\nUser-Agent: U\r\nHost: " + withPort(c.host).toUtf8() +
            "\r\nContent-type: application/x-www-form-urlencoded\r\nContent-length: 32\r\n\r\n"
            "sentence=50%25+%28half%29+日本";
        ASSERT_TRUE(server.waitReceived(0, expected.size())) << c.address;
        EXPECT_EQ(server.received[0].toStdString(), expected.toStdString()) << c.address;
    }
}

TEST(HttpSocket, ReadsRepliesUntilTheServerCloses) {
    const std::tuple<const char*, QByteArray, Events> cases[] = {
        {"CR LF",
         "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<a/>",
         {"headers 200 1", "page 200 <a/>"}},
        {"CR LF lines ending in LF LF: no stray byte",
         "HTTP/1.0 200 OK\r\nA: b\n\n\r\nx",
         {"headers 200 1", "page 200 \r\nx"}},
        {"Content-length smaller than the body",
         "HTTP/1.0 200 OK\r\nContent-length: 3\r\n\r\n0123456789",
         {"headers 200 1", "page 200 0123456789"}},
        {"header block only", "HTTP/1.0 500 E\r\n\r\n", {"headers 500 0", "page 500 "}},
        {"closed at once", "", {"error 5"}},
        {"closed part-way through the headers", "HTTP/1.0 200 OK\r\nContent-Ty", {"error 5"}},
    };
    for (const bool byteByByte : {false, true}) {
        for (const auto& [what, reply, events] : cases) {
            const std::string name = std::string(what) + (byteByByte ? ", byte by byte" : "");
            LoopbackServer server;
            LoggedSocket socket;
            socket.Post(server.url());
            ASSERT_TRUE(server.waitReceived(0, 1)) << name;
            server.reply(0, reply, byteByByte);
            ASSERT_TRUE(socket.waitEnd()) << name;
            EXPECT_EQ(socket.events, events) << name;
            const bool failed = events.back() == "error 5";
            EXPECT_EQ(socket.ErrorCode(), failed ? SocketClosedEarly : 0) << name;
            EXPECT_EQ(socket.url, failed ? QString() : server.url()) << name;
            EXPECT_TRUE(socket.body.isEmpty() || socket.body.isDetached())
                << name << ": the socket still holds the body";
        }
    }
}

TEST(HttpSocket, ReportsConnectionsThatCannotBeMade) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    const std::pair<QString, int> cases[] = {
        {QStringLiteral("http://127.0.0.1:%1/p").arg(closedPort), SocketConnectionRefused},
        {QStringLiteral("http://127.0.0.1:65535/p"), SocketConnectionRefused}, // the last port
        {QStringLiteral("http://127.0.0.1:65536/p"), SocketBadAddress},
        {QStringLiteral("http://127.0.0.1:70000/p"), SocketBadAddress},
        {QStringLiteral("http:///p"), SocketBadAddress},
    };
    LoggedSocket socket;
    for (const auto& [address, code] : cases) {
        socket.events.clear();
        socket.Post(address);
        EXPECT_EQ(socket.ErrorCode(), 0) << address.toStdString() << ": Post resets the code";
        EXPECT_TRUE(socket.events.empty()) << address.toStdString() << ": raised inside Post";
        ASSERT_TRUE(socket.waitEnd()) << address.toStdString();
        EXPECT_EQ(socket.events, Events{"error " + std::to_string(code)}) << address.toStdString();
        EXPECT_EQ(socket.ErrorCode(), code) << address.toStdString();
    }
}

TEST(HttpSocket, LaterPostCutsOffTheEarlierConnection) {
    LoopbackServer server;
    LoggedSocket socket;
    socket.Post(server.url("/first"));
    ASSERT_TRUE(server.waitReceived(0, 1));
    socket.Post(server.url("/second"));
    ASSERT_TRUE(server.waitReceived(1, 1));
    // The first connection's late reply must reach nobody.
    server.reply(0, "HTTP/1.0 500 Old\r\n\r\nold");
    QTest::qWait(20);
    server.reply(1, "HTTP/1.0 200 OK\r\n\r\nnew");
    ASSERT_TRUE(socket.waitEnd());
    EXPECT_EQ(socket.events, (Events{"headers 200 0", "page 200 new"}));
    EXPECT_EQ(socket.url, server.url("/second"));
    EXPECT_EQ(socket.ErrorCode(), 0);
}

} // namespace
