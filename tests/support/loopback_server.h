#pragma once
// A server on 127.0.0.1 for the HTTP client's tests. It keeps every connection
// and the bytes it received; a scripted reply answers the next request once
// the whole request (head and body) is in, then the server closes.

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <deque>
#include <vector>

namespace testing_support {

class LoopbackServer {
public:
    LoopbackServer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                const std::size_t i = received.size();
                connections.emplace_back(s);
                received.emplace_back();
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, i] {
                    received[i] += s->readAll();
                    if (!scripted.empty() && isWholeRequest(received[i])) {
                        reply(i, scripted.front());
                        scripted.pop_front();
                    }
                });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QString url(const char* path = "/MAService/V1/parse") const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(QLatin1String(path));
    }
    void script(const QByteArray& raw) { scripted.push_back(raw); }
    bool waitReceived(std::size_t i, qsizetype size) {
        return QTest::qWaitFor([&] { return received.size() > i && received[i].size() >= size; },
                               5000);
    }
    // Sends bytes on connection i, all at once or one byte at a time, then closes it.
    void reply(std::size_t i, const QByteArray& bytes, bool byteByByte = false) {
        QTcpSocket* s = connections.at(i);
        const qsizetype step = byteByByte ? 1 : bytes.size();
        for (qsizetype at = 0; at < bytes.size(); at += step) {
            s->write(bytes.mid(at, step));
            s->flush();
            QTest::qWait(byteByByte ? 1 : 0);
        }
        s->disconnectFromHost();
    }

    std::vector<QPointer<QTcpSocket>> connections;
    std::vector<QByteArray> received; // per connection, in order

private:
    static bool isWholeRequest(const QByteArray& r) {
        const qsizetype end = r.indexOf("\r\n\r\n");
        const qsizetype at = r.indexOf("Content-length: ");
        const qsizetype length =
            at < 0 ? 0 : r.mid(at + 16, r.indexOf('\r', at) - at - 16).toLongLong();
        return end >= 0 && r.size() >= end + 4 + length;
    }

    QTcpServer server;
    std::deque<QByteArray> scripted;
};

} // namespace testing_support
