#include "bench/loopback_round_trip.h"

#include "bench/first_frame.h"
#include "bench/loopback_socket.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::string_view kReply = "HTTP/1.1 200 OK\r\n"
                                    "Content-Type: text/xml; charset=utf-8\r\n"
                                    "Content-Length: 12\r\n"
                                    "Connection: close\r\n"
                                    "\r\n"
                                    "<ResultSet/>";

// Reads the request head and as much body as it announces (bounded); false
// when the client goes, stalls or sends more head than any real request has.
bool readRequest(int fd) {
    std::string request;
    char buffer[4096];
    std::size_t wanted = std::string::npos; // head plus body, once the head is in
    while (wanted == std::string::npos || request.size() < wanted) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        request.append(buffer, static_cast<std::size_t>(got));
        if (wanted != std::string::npos)
            continue;
        const std::size_t headEnd = request.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            if (request.size() > 16 * 1024)
                return false;
            continue;
        }
        std::size_t body = 0;
        const std::size_t field = request.find("Content-Length:");
        if (field != std::string::npos && field < headEnd)
            body = std::strtoul(request.c_str() + field + 15, nullptr, 10);
        if (body > 1024 * 1024)
            return false;
        wanted = headEnd + 4 + body;
    }
    return true;
}

void answer(int fd) {
    const timeval limit{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (!readRequest(fd))
        return;
    std::size_t sent = 0;
    while (sent < kReply.size()) {
        const ssize_t wrote = ::send(fd, kReply.data() + sent, kReply.size() - sent, MSG_NOSIGNAL);
        if (wrote <= 0)
            return;
        sent += static_cast<std::size_t>(wrote);
    }
}

} // namespace

EmptyHttpServer::EmptyHttpServer()
    : acceptor_([](const SocketFd& client) { answer(client.fd()); }) {}

double timeEmptyRoundTrip(int port) {
    static const QByteArray request = "POST /MAService/V1/parse HTTP/1.1\r\n"
                                      "Host: 127.0.0.1\r\n"
                                      "Content-Type: application/x-www-form-urlencoded\r\n"
                                      "Content-Length: 28\r\n"
                                      "\r\n"
                                      "appid=x&sentence=&results=ma";
    QTcpSocket socket;
    QByteArray reply;
    double doneMs = -1;
    bool failed = false;
    QElapsedTimer clock;
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        reply += socket.readAll();
        if (doneMs < 0 && reply.size() >= static_cast<qsizetype>(kReply.size()))
            doneMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [&] { failed = true; });
    clock.start();
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port));
    runEventsUntil([&] { return doneMs >= 0 || failed; }, 5000);
    const bool whole = reply == QByteArray(kReply.data(), static_cast<qsizetype>(kReply.size()));
    return whole ? doneMs : -1;
}
