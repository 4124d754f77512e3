#pragma once
// Helpers shared by the service tests: the program's view of a reply, raw HTTP exchanges and the
// service program run on its own.

#include "engine/morpheme_resource.h"

#include <pugixml.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace orizume::service::testing {

using Pairs = std::vector<std::pair<std::string, std::string>>; // (part of speech, surface)

// "名詞 雨|特殊 。": the words in a form that is short to write in a table.
inline std::string listed(const Pairs& words) {
    std::string text;
    for (const auto& [pos, surface] : words) {
        text += (text.empty() ? "" : "|") + pos + " " + surface;
    }
    return text;
}

inline std::string joinSurfaces(const Pairs& words) {
    std::string text;
    for (const auto& word : words) {
        text += word.second;
    }
    return text;
}

inline pugi::xml_node elementChild(pugi::xml_node node, int index) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && index-- == 0) {
            return child;
        }
    }
    return {};
}

// Does what the program does with a reply body: escapes it, loads it and walks it by position
// (root, first child, third child; each word's first and last child), restoring the whitespace
// words (a line feed as "\n" rather than the program's carriage return). ok is false when the
// walk fails.
inline Pairs walkReply(const std::string& body, bool* ok = nullptr) {
    static const std::map<std::string, std::string> restored = {
        {"EndOfLine", "\n"}, {"tab", "\t"}, {"space", " "}};
    const std::string escaped = morphemeResource::replaceAllTheSpecialCharactersToSymbol(body);
    pugi::xml_document doc;
    const bool loaded =
        doc.load_buffer(escaped.data(), escaped.size(),
                        pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
    const pugi::xml_node list = elementChild(elementChild(doc.document_element(), 0), 2);
    if (ok != nullptr) {
        *ok = loaded && list;
    }
    Pairs words;
    for (pugi::xml_node word = elementChild(list, 0); word; word = word.next_sibling()) {
        const std::string pos = word.last_child().first_child().value();
        const std::string surface = word.first_child().first_child().value();
        const bool whitespace = pos == "特殊" && restored.count(surface) != 0;
        words.emplace_back(pos, whitespace ? restored.at(surface) : surface);
    }
    return words;
}

// The form body the program sends: its escaping of "sentence", then spaces as "+".
inline std::string programForm(std::string_view sentence) {
    static constexpr std::string_view escaped = "%&=,/\\][{}`~-_()*^$#!+\r\n";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string value;
    for (const char c : sentence) {
        if (c == ' ') {
            value += '+';
        } else if (escaped.find(c) != std::string_view::npos) {
            value += {'%', hex[static_cast<unsigned char>(c) >> 4], hex[c & 15]};
        } else {
            value += c;
        }
    }
    return "appid=PebbleRotator&sentence=" + value + "&results=ma";
}

// A client connection to 127.0.0.1:port (fd < 0 when it could not connect), closed on
// destruction. Receives give up after two seconds without data. A receive buffer of
// receiveBytes (when not 0) makes a client that reads slowly, or never.
class Connection {
public:
    explicit Connection(int port, int receiveBytes = 0) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const timeval timeout{2, 0};
        if (fd_ >= 0 &&
            ((receiveBytes != 0 &&
              setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBytes, sizeof receiveBytes) != 0) ||
             setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
             connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~Connection() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void send(std::string_view bytes) {
        while (fd_ >= 0 && !bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    // Everything the server sends until it closes (or two seconds pass without data).
    std::string receiveAll() {
        std::string reply;
        char buffer[16384];
        for (ssize_t n; fd_ >= 0 && (n = recv(fd_, buffer, sizeof buffer, 0)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(n));
        }
        return reply;
    }
    // True when the server has closed the connection (rather than sent data or not yet
    // answered); a reset counts as closed.
    bool closedByServer() {
        char byte = 0;
        const ssize_t n = recv(fd_, &byte, 1, MSG_DONTWAIT);
        return fd_ >= 0 && (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK));
    }
    void finishSending() { shutdown(fd_, SHUT_WR); }

private:
    int fd_;
};

// Clients that each post a body at the limit, every other character a word ("a+a+..."), with a
// small receive buffer, and never read their replies: each gives the service a long analysis and
// a reply of megabytes.
inline std::vector<std::unique_ptr<Connection>> nonReadingClients(int port, int count) {
    std::string body = "appid=x&results=ma&sentence=";
    while (body.size() < 256 * 1024) {
        body += "a+";
    }
    body.resize(256 * 1024);
    const std::string request =
        "POST /MAService/V1/parse HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n" + body;
    std::vector<std::unique_ptr<Connection>> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<Connection>(port, 4096));
        clients.back()->send(request);
    }
    return clients;
}

// Sends a request on a new connection and returns the whole answer.
inline std::string rawExchange(int port, std::string_view request) {
    Connection connection(port);
    connection.send(request);
    connection.finishSending();
    return connection.receiveAll();
}

// The request exactly as the program puts it on the wire (HTTP/1.0, its header names).
inline std::string programRequest(std::string_view target, const std::string& body) {
    return "POST " + std::string(target) +
           " HTTP/1.0\r\nUser-Agent: Orizume 1.0; PPC\r\nHost: localhost\r\n"
           "Content-type: application/x-www-form-urlencoded\r\nContent-length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string postSentence(int port, const std::string& sentence) {
    return rawExchange(port, programRequest("/MAService/V1/parse", programForm(sentence)));
}

// The status code of a raw reply ("HTTP/1.1 200 OK..." gives 200), or 0; and its body.
inline int rawStatus(std::string_view reply) {
    const std::size_t space = reply.find(' ');
    return space == std::string_view::npos || reply.size() < space + 4
               ? 0
               : std::atoi(std::string(reply.substr(space + 1, 3)).c_str());
}

inline std::string rawBody(std::string_view reply) {
    const std::size_t end = reply.find("\r\n\r\n");
    return end == std::string_view::npos ? std::string() : std::string(reply.substr(end + 4));
}

// A field of /proc/PID/status in KiB ("VmRSS", "VmHWM", "RssAnon"), or -1.
inline long statusKiB(pid_t pid, std::string_view field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(std::string(field) + ":", 0) == 0) {
            return std::atol(line.c_str() + field.size() + 1);
        }
    }
    return -1;
}

// The analysis service program on a free port of 127.0.0.1, its log in a temporary file; killed
// on destruction if still running.
class ServiceProcess {
public:
    ServiceProcess(const char* program, const char* dicdir) : log_(std::tmpfile()) {
        if (log_ == nullptr) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            // Gone with the test, even one that crashed or was killed at its time limit.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(fileno(log_), STDERR_FILENO);
            execl(program, program, "--port", "0", "--dicdir", dicdir, static_cast<char*>(nullptr));
            _exit(127);
        }
        // Loading the dictionary takes a moment: wait for the line that names the port.
        constexpr std::string_view listening = "listening on http://127.0.0.1:";
        for (int i = 0; i < 1000 && pid_ > 0 && port_ == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            char text[4096] = {};
            const ssize_t n = pread(fileno(log_), text, sizeof text - 1, 0);
            if (const char* at = std::strstr(text, listening.data()); n > 0 && at != nullptr) {
                port_ = std::atoi(at + listening.size());
            }
        }
    }
    ~ServiceProcess() {
        if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (log_ != nullptr) {
            std::fclose(log_);
        }
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    pid_t pid() const { return pid_; }
    int port() const { return port_; }

    // Waits up to `limit` for the process to end; its exit status, or -1 if it is still running.
    int waitForExit(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    std::FILE* log_;
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace orizume::service::testing
