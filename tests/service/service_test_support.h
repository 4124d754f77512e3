#pragma once
// Helpers shared by the service tests: the program's view of a reply, raw HTTP exchanges and the
// service program run on its own.

#include "engine/morpheme_resource.h"

#include <pugixml.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
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
// destruction. Receives give up after `patience` seconds without data. A receive buffer of
// receiveBytes (when not 0) makes a client that reads slowly, or never.
class Connection {
public:
    explicit Connection(int port, int receiveBytes = 0, int patience = 2)
        : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const timeval timeout{patience, 0};
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
    // What has come, up to `bytes`, without waiting.
    std::string receiveSome(std::size_t bytes) {
        std::string got(bytes, '\0');
        const ssize_t n = fd_ < 0 ? -1 : recv(fd_, got.data(), bytes, MSG_DONTWAIT);
        got.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return got;
    }

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

// Keeps the calling thread, and the threads it starts meanwhile, on the first `count` processors
// it may run on, as `taskset` would; gives it back all of them on destruction. A service made
// meanwhile takes its number of analysis threads from these.
class OnProcessors {
public:
    explicit OnProcessors(int count) {
        sched_getaffinity(0, sizeof all_, &all_);
        cpu_set_t some;
        CPU_ZERO(&some);
        for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < count; ++cpu) {
            if (CPU_ISSET(cpu, &all_)) {
                CPU_SET(cpu, &some);
                ++taken;
            }
        }
        sched_setaffinity(0, sizeof some, &some);
    }
    ~OnProcessors() { sched_setaffinity(0, sizeof all_, &all_); }
    OnProcessors(const OnProcessors&) = delete;
    OnProcessors& operator=(const OnProcessors&) = delete;

private:
    cpu_set_t all_{};
};

// The analysis service program on a free port of 127.0.0.1, its log in a temporary file; killed
// on destruction if still running. With `processors` (when not 0) it runs on that many of the
// processors this process may use; with `openFiles` (when not 0) its open-file limit is that, soft
// and hard, so that it cannot raise it (the service sizes its connection cap from it).
class ServiceProcess {
public:
    ServiceProcess(const char* program, const char* dicdir, int processors = 0,
                   rlim_t openFiles = 0)
        : log_(std::tmpfile()) {
        if (log_ == nullptr) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            // Gone with the test, even one that crashed or was killed at its time limit.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(fileno(log_), STDERR_FILENO);
            std::optional<OnProcessors> some; // exec keeps the processors
            if (processors > 0) {
                some.emplace(processors);
            }
            if (const rlimit files{openFiles, openFiles};
                openFiles > 0 && setrlimit(RLIMIT_NOFILE, &files) != 0) {
                _exit(126);
            }
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

    // What the service has logged so far.
    std::string log() const {
        std::string text;
        char buffer[65536];
        for (off_t at = 0;;) {
            const ssize_t n = pread(fileno(log_), buffer, sizeof buffer, at);
            if (n <= 0) {
                return text;
            }
            text.append(buffer, static_cast<std::size_t>(n));
            at += n;
        }
    }

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

// A request as the service's log line gives it: "<time> <client> \"<method> <target>\" <status>
// in=<body bytes> out=<reply bytes> <ms>ms", the time when it was answered, to the millisecond.
struct LoggedRequest {
    double queuedMs;   // when it came, on the log's clock: answered less its time since then
    double answeredMs; // when it was answered
    long in;           // its body's bytes, -1 for none
};

inline std::vector<LoggedRequest> loggedRequests(std::string_view log) {
    std::vector<LoggedRequest> requests;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find('\n', start)) != std::string_view::npos;
         start = end + 1) {
        const std::string line(log.substr(start, end - start));
        std::tm parts{};
        int ms = 0;
        // (Logs of earlier builds give whole seconds.)
        if (std::sscanf(line.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &parts.tm_year, &parts.tm_mon,
                        &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &ms) < 6) {
            continue;
        }
        parts.tm_year -= 1900;
        parts.tm_mon -= 1;
        const std::size_t in = line.find(" in="), took = line.find("ms", line.find(" out="));
        const std::size_t space = took == std::string::npos ? took : line.rfind(' ', took);
        if (in == std::string::npos || space == std::string::npos) {
            continue;
        }
        const double answered = static_cast<double>(timegm(&parts)) * 1000 + ms;
        requests.push_back({answered - std::atof(line.c_str() + space + 1), answered,
                            line[in + 4] == '-' ? -1 : std::atol(line.c_str() + in + 4)});
    }
    return requests;
}

// How many requests that came after `request` were answered before it.
inline long overtaking(const std::vector<LoggedRequest>& requests, const LoggedRequest& request) {
    return std::count_if(requests.begin(), requests.end(), [&request](const LoggedRequest& r) {
        return r.queuedMs > request.queuedMs && r.answeredMs < request.answeredMs;
    });
}

// Clients that post a request again and again, as fast as they can, until they are destroyed:
// each hangs up as soon as its request is sent, so requests pile up in the service, each costing
// it an analysis.
class Flood {
public:
    Flood(int port, int clients, std::string request) : request_(std::move(request)) {
        for (int i = 0; i < clients; ++i) {
            threads_.emplace_back([this, port] {
                while (!done_) {
                    Connection(port).send(request_);
                }
            });
        }
    }
    ~Flood() {
        done_ = true;
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;

private:
    std::string request_;
    std::atomic<bool> done_{false};
    std::vector<std::thread> threads_;
};

} // namespace orizume::service::testing
