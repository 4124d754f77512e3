#include "bench/loopback_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

} // namespace

SocketFd listenOnLoopback(int& port) {
    port = -1;
    SocketFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (listener.fd() < 0 ||
        ::bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.fd(), 16) != 0 ||
        ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return SocketFd();
    port = ntohs(address.sin_port);
    return listener;
}

SocketFd connectToLoopback(int port) {
    SocketFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopback(port);
    if (socket.fd() < 0 ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return SocketFd();
    return socket;
}

LoopbackAcceptor::LoopbackAcceptor(Serve serve)
    : listener_(listenOnLoopback(port_)), serve_(std::move(serve)) {
    if (port_ >= 0)
        thread_ = std::thread([this] { acceptAll(); });
}

LoopbackAcceptor::~LoopbackAcceptor() {
    stopping_ = true;
    if (listener_.fd() >= 0)
        ::shutdown(listener_.fd(), SHUT_RDWR); // wakes the blocked accept()
    if (thread_.joinable())
        thread_.join();
}

void LoopbackAcceptor::acceptAll() {
    while (!stopping_) {
        const SocketFd client(::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.fd() < 0) {
            if (stopping_ || (errno != EINTR && errno != ECONNABORTED))
                return;
            continue;
        }
        serve_(client);
    }
}
