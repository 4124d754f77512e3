#include "platform/http_socket.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;
using Events = std::vector<std::string>;

namespace {

constexpr int kWaitMs = 5000;

// A server on 127.0.0.1 that keeps every connection and the bytes it received.
class TestServer {
public:
    TestServer() {
        EXPECT_TRUE(myServer.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&myServer, &QTcpServer::newConnection, &myServer, [this] {
            while (QTcpSocket* s = myServer.nextPendingConnection()) {
                const std::size_t i = myConnections.size();
                myConnections.emplace_back(s);
                received.emplace_back();
                QObject::connect(s, &QTcpSocket::readyRead, s,
                                 [this, s, i] { received[i] += s->readAll(); });
            }
        });
    }
    quint16 port() const { return myServer.serverPort(); }
    QString url(const char* path = "/p") const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(QLatin1String(path));
    }
    bool waitReceived(std::size_t i, qsizetype size) {
        return QTest::qWaitFor([&] { return received.size() > i && received[i].size() >= size; },
                               kWaitMs);
    }
    // Sends bytes on connection i, all at once or one byte at a time, then closes it.
    void reply(std::size_t i, const QByteArray& bytes, bool byteByByte = false) {
        QTcpSocket* s = myConnections.at(i);
        for (qsizetype at = 0; at < bytes.size(); at += byteByByte ? 1 : bytes.size()) {
            s->write(bytes.mid(at, byteByByte ? 1 : -1));
            s->flush();
            QTest::qWait(byteByByte ? 1 : 0);
        }
        s->disconnectFromHost();
    }
    std::vector<QByteArray> received;

private:
    QTcpServer myServer;
    std::vector<QPointer<QTcpSocket>> myConnections;
};

// The socket's events in order, as text.
struct EventLog {
    explicit EventLog(HttpSocket& socket) {
        QObject::connect(&socket, &HttpSocket::HeadersReceived, &socket,
                         [this](const HeaderList& headers, int status) {
                             events.push_back("headers " + std::to_string(status) + " " +
                                              std::to_string(headers.size()));
                         });
        QObject::connect(
            &socket, &HttpSocket::PageReceived, &socket,
            [this](const QString& url, int status, const HeaderList&, const QByteArray& body) {
                events.push_back("page " + std::to_string(status) + " " + body.toStdString());
                lastUrl = url;
            });
        QObject::connect(&socket, &HttpSocket::Error, &socket,
                         [this](int code) { events.push_back("error " + std::to_string(code)); });
    }
    // Waits for the reply's end, then a little longer: nothing may follow it.
    bool waitEnd() {
        const bool ended = QTest::qWaitFor(
            [&] {
                return !events.empty() && (events.back().rfind("page", 0) == 0 ||
                                           events.back().rfind("error", 0) == 0);
            },
            kWaitMs);
        QTest::qWait(20);
        return ended;
    }
    Events events;
    QString lastUrl;
};

} // namespace

TEST(HttpSocket, WritesTheRequestExactly) {
    struct Case {
        const char* name;
        bool portInAddress, viaProxy;
    };
    for (const Case& c :
         {Case{"direct, port in address", true, false}, Case{"direct, default port", false, false},
          Case{"through a proxy", true, true}}) {
        TestServer server;
        HttpSocket socket;
        socket.ClearRequestHeaders();
        socket.SetRequestHeader("User-Agent", "U");
        FormData form;
        form.set("sentence", "50% (half) 日本");
        socket.SetFormData(&form);
        QString address = server.url(), host = QStringLiteral("127.0.0.1:%1").arg(server.port());
        QString target = QStringLiteral("/p");
        if (!c.portInAddress) {
            socket.defaultPort = server.port();
            address = host = QStringLiteral("127.0.0.1");
            address = "http://" + address + "/p";
        }
        if (c.viaProxy) {
            target = address = QStringLiteral("http://service.invalid:81/p");
            host = QStringLiteral("service.invalid:81");
            socket.httpProxyAddress = QStringLiteral("127.0.0.1");
            socket.httpProxyPort = server.port();
        }
        socket.Post(address);
        EXPECT_EQ(socket.Address, QStringLiteral("127.0.0.1")) << c.name;
        EXPECT_EQ(socket.Port, server.port()) << c.name;

        const std::string expected =
            "POST " + target.toStdString() +
            " HTTP/1.0\r\nUser-Agent: U\r\nHost: " + host.toStdString() +
            "\r\nContent-type: application/x-www-form-urlencoded\r\nContent-length: 32\r\n\r\n"
            "sentence=50%25+%28half%29+日本";
        ASSERT_TRUE(server.waitReceived(0, qsizetype(expected.size()))) << c.name;
        EXPECT_EQ(server.received[0].toStdString(), expected) << c.name;
    }
}

TEST(HttpSocket, ReadsRepliesUntilTheServerCloses) {
    struct Case {
        const char* name;
        QByteArray reply;
        Events events;
    };
    const Case cases[] = {
        {"CR LF",
         "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<a/>",
         {"headers 200 1", "page 200 <a/>"}},
        {"LF only", "HTTP/1.0 404 Not Found\nA: b\n\nnone", {"headers 404 1", "page 404 none"}},
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
        for (const Case& c : cases) {
            const std::string name = std::string(c.name) + (byteByByte ? ", byte by byte" : "");
            TestServer server;
            HttpSocket socket;
            EventLog log(socket);
            socket.Post(server.url());
            ASSERT_TRUE(server.waitReceived(0, 1)) << name;
            server.reply(0, c.reply, byteByByte);
            ASSERT_TRUE(log.waitEnd()) << name;
            EXPECT_EQ(log.events, c.events) << name;
            const bool failed = c.events.back() == "error 5";
            EXPECT_EQ(socket.ErrorCode(), failed ? SocketClosedEarly : 0) << name;
            EXPECT_EQ(log.lastUrl, failed ? QString() : server.url()) << name;
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
    for (const auto& [address, code] : cases) {
        HttpSocket socket;
        EventLog log(socket);
        socket.Post(address);
        EXPECT_TRUE(log.events.empty()) << address.toStdString() << ": raised inside Post";
        ASSERT_TRUE(log.waitEnd()) << address.toStdString();
        EXPECT_EQ(log.events, Events{"error " + std::to_string(code)}) << address.toStdString();
        EXPECT_EQ(socket.ErrorCode(), code) << address.toStdString();
    }
}

TEST(HttpSocket, ConnectsToLocalhostByName) {
    TestServer server;
    HttpSocket socket;
    EventLog log(socket);
    socket.Post(QStringLiteral("http://localhost:%1/p").arg(server.port()));
    ASSERT_TRUE(server.waitReceived(0, 1));
    server.reply(0, "HTTP/1.0 200 OK\r\n\r\nfine");
    ASSERT_TRUE(log.waitEnd());
    EXPECT_EQ(log.events, (Events{"headers 200 0", "page 200 fine"}));
}

TEST(HttpSocket, LaterPostCutsOffTheEarlierConnection) {
    TestServer server;
    HttpSocket socket;
    EventLog log(socket);
    socket.Post(server.url("/first"));
    ASSERT_TRUE(server.waitReceived(0, 1));
    socket.Post(server.url("/second"));
    ASSERT_TRUE(server.waitReceived(1, 1));
    // The first connection's reply comes late; it must reach nobody.
    server.reply(0, "HTTP/1.0 500 Old\r\n\r\nold");
    QTest::qWait(20);
    server.reply(1, "HTTP/1.0 200 OK\r\n\r\nnew");
    ASSERT_TRUE(log.waitEnd());
    EXPECT_EQ(log.events, (Events{"headers 200 0", "page 200 new"}));
    EXPECT_EQ(log.lastUrl, server.url("/second"));
    EXPECT_EQ(socket.ErrorCode(), 0);
}
