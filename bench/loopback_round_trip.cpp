#include "bench/loopback_round_trip.h"

#include "bench/first_frame.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <netinet/in.h>
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

// A socket descriptor closed when it goes out of scope.
class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

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

EmptyHttpServer::EmptyHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

EmptyHttpServer::~EmptyHttpServer() {
    stopping_ = true;
    if (listener_ >= 0)
        ::shutdown(listener_, SHUT_RDWR); // wakes the blocked accept()
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
}

void EmptyHttpServer::serve() {
    while (!stopping_) {
        const Socket client(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
        if (client.fd() < 0) {
            if (stopping_ || (errno != EINTR && errno != ECONNABORTED))
                return;
            continue;
        }
        answer(client.fd());
    }
}

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
