#include "platform/http_socket.h"
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
