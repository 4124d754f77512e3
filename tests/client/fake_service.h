#pragma once
// A scripted analysis service on 127.0.0.1 for the client tests: records every
// request it receives and answers each with the next scripted reply.

#include "tests/support/result_windows.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <deque>
#include <string>
#include <vector>

namespace testing_support {

// An XML reply in the shape the service sends: no whitespace between elements.
inline QByteArray replyXml(const std::vector<std::pair<std::string, std::string>>& words) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ResultSet><ma_result>"
                      "<total_count>" +
                      std::to_string(words.size()) + "</total_count><filtered_count>" +
                      std::to_string(words.size()) + "</filtered_count><word_list>";
    for (const auto& [surface, pos] : words)
        xml += "<word><surface>" + surface + "</surface><reading>" + surface + "</reading><pos>" +
               pos + "</pos></word>";
    xml += "</word_list></ma_result></ResultSet>";
    return QByteArray::fromStdString(xml);
}

inline QByteArray httpReply(int status, const QByteArray& body) {
    return "HTTP/1.0 " + QByteArray::number(status) + " X\r\nContent-Type: text/xml\r\n\r\n" + body;
}

class FakeService : public QObject {
public:
    FakeService() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    quint16 port() const { return server.serverPort(); }
    QString address() const {
        return QStringLiteral("http://127.0.0.1:%1/MAService/V1/parse").arg(port());
    }

    // The next connection gets this raw answer, then the server closes it.
    void script(const QByteArray& raw) { replies.push_back(raw); }
    std::vector<QByteArray> requests; // complete requests, in arrival order
    int connections = 0;

private:
    void accept() {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            ++connections;
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(s, &QTcpSocket::readyRead, this, [this, s, buffer] {
                *buffer += s->readAll();
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const qsizetype lengthAt = buffer->indexOf("Content-length: ");
                qsizetype length = 0;
                if (lengthAt >= 0)
                    length =
                        buffer->mid(lengthAt + 16, buffer->indexOf("\r", lengthAt) - lengthAt - 16)
                            .toLongLong();
                if (buffer->size() < end + 4 + length)
                    return;
                requests.push_back(*buffer);
                answer(s);
            });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    }

    void answer(QPointer<QTcpSocket> s) {
        QByteArray raw = replies.empty() ? httpReply(500, "") : replies.front();
        if (!replies.empty())
            replies.pop_front();
        s->write(raw);
        s->flush();
        s->disconnectFromHost();
    }

    QTcpServer server;
    std::deque<QByteArray> replies;
};

} // namespace testing_support
