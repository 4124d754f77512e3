#pragma once
// Helpers shared by the service tests: the program's view of a reply, raw HTTP exchanges and the
// service program run on its own.

#include "engine/morpheme_resource.h"

#include <pugixml.hpp>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
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
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
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

// Whether `done` comes true within `bound`, asked every few milliseconds.
template <typename Done>
bool eventually(Done done, std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    for (const auto end = std::chrono::steady_clock::now() + bound; !done();) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
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

// How many requests came while `request` waited: after it came and before it was answered.
inline long cameWhileWaiting(const std::vector<LoggedRequest>& requests,
                             const LoggedRequest& request) {
    return std::count_if(requests.begin(), requests.end(), [&request](const LoggedRequest& r) {
        return r.queuedMs > request.queuedMs && r.queuedMs < request.answeredMs;
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

// Connections that each send a request head that never ends, a byte every `pace` (the first as
// soon as it is connected), and are opened again as soon as the service has closed them: they
// hold the service's connection slots doing as little as a client may without falling silent.
// Each thread watches its share with poll() and connects without blocking, so a connect that
// waits (a full listen queue, say) holds up neither the others' bytes nor their reopening.
class TricklingCrowd {
public:
    TricklingCrowd(int port, int connections,
                   std::chrono::milliseconds pace = std::chrono::milliseconds(100), int threads = 1)
        : port_(port), pace_(pace) {
        const int count = std::max(1, threads);
        for (int t = 0; t < count; ++t) {
            // Shares as even as they go: the first ones take the remainder.
            const int share = connections / count + (t < connections % count ? 1 : 0);
            threads_.emplace_back([this, share] { run(static_cast<std::size_t>(share)); });
        }
    }
    ~TricklingCrowd() {
        done_ = true;
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    TricklingCrowd(const TricklingCrowd&) = delete;
    TricklingCrowd& operator=(const TricklingCrowd&) = delete;

    // Connections opened again because the service had closed them, so far.
    long reopened() const { return reopened_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Trickler {
        int fd = -1;
        bool connected = false;
        std::size_t sent = 0;
        Clock::time_point next; // the next byte when connected, the next try when not
    };

    // A request line, then a header field that never ends: the head is never whole, however long
    // the service keeps the connection open.
    static char byteAt(std::size_t at) {
        static constexpr std::string_view start =
            "POST /MAService/V1/parse HTTP/1.0\r\nX-Trickle: ";
        return at < start.size() ? start[at] : 'a';
    }

    void open(Trickler& t, Clock::time_point now) {
        t = Trickler{socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0), false, 0,
                     now + std::chrono::milliseconds(10)};
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port_));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (t.fd < 0) {
            return; // out of descriptors: tried again shortly
        }
        if (connect(t.fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
            established(t, now);
        } else if (errno != EINPROGRESS) {
            close(t.fd);
            t.fd = -1;
        }
    }
    void established(Trickler& t, Clock::time_point now) {
        t.connected = true;
        t.next = now;
        trickle(t, now);
    }
    // False once the service has closed the connection (then it is opened again).
    bool trickle(Trickler& t, Clock::time_point now) {
        const char byte = byteAt(t.sent);
        const ssize_t n = ::send(t.fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        t.sent += n > 0 ? 1 : 0;
        // At the pace, unless held up for longer than a pace: then not twice at once.
        t.next += pace_;
        if (t.next <= now) {
            t.next = now + pace_;
        }
        return true;
    }
    static bool closedByServer(int fd) {
        char buffer[512];
        for (;;) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0) {
                return true;
            }
            if (n < 0) {
                return errno != EAGAIN && errno != EWOULDBLOCK;
            }
        }
    }
    void reopen(Trickler& t, Clock::time_point now) {
        close(t.fd);
        ++reopened_;
        open(t, now);
    }

    void run(std::size_t count) {
        using std::chrono::milliseconds;
        std::vector<Trickler> mine(count);
        std::vector<pollfd> watched(count);
        while (!done_) {
            auto now = Clock::now();
            auto wake = now + milliseconds(10); // to see done_ in time
            for (std::size_t i = 0; i < count; ++i) {
                Trickler& t = mine[i];
                if (t.fd < 0 && now >= t.next) {
                    open(t, now);
                } else if (t.connected && now >= t.next && !trickle(t, now)) {
                    reopen(t, now);
                }
                wake = std::min(wake, t.next);
                watched[i] = {t.fd, static_cast<short>(t.connected ? POLLIN | POLLRDHUP : POLLOUT),
                              0};
            }
            const auto wait = std::chrono::ceil<milliseconds>(wake - Clock::now()).count();
            if (poll(watched.data(), watched.size(), static_cast<int>(std::max<long>(0, wait))) <=
                0) {
                continue;
            }
            now = Clock::now();
            for (std::size_t i = 0; i < count; ++i) {
                Trickler& t = mine[i];
                if (watched[i].revents == 0 || t.fd != watched[i].fd) {
                    continue;
                }
                if (t.connected) {
                    if (closedByServer(t.fd)) {
                        reopen(t, now);
                    }
                    continue;
                }
                int error = 0;
                socklen_t length = sizeof error;
                if (getsockopt(t.fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 &&
                    (watched[i].revents & POLLOUT) != 0) {
                    established(t, now);
                } else { // refused, or out of ports: tried again shortly
                    close(t.fd);
                    t.fd = -1;
                }
            }
        }
        for (Trickler& t : mine) {
            if (t.fd >= 0) {
                close(t.fd);
            }
        }
    }

    int port_;
    std::chrono::milliseconds pace_;
    std::atomic<bool> done_{false};
    std::atomic<long> reopened_{0};
    std::vector<std::thread> threads_;
};

// What the clients of honestClients() got: how many sent their requests whole at once and in
// pieces, and how many of each were answered 200.
struct HonestTally {
    int whole = 0;
    int wholeAnswered = 0;
    int inPieces = 0;
    int inPiecesAnswered = 0;
};

// `count` clients, one every `every`, each on a thread of its own, all done before it returns:
// the first and every other one sends `request` whole at once, the rest in three pieces over
// 300 ms. Each waits up to `patience` seconds for data, as one that comes at the connection cap
// may wait for room.
inline HonestTally honestClients(int port, const std::string& request, int count,
                                 std::chrono::milliseconds every = std::chrono::milliseconds(100),
                                 int patience = 10) {
    std::atomic<int> wholeAnswered{0};
    std::atomic<int> inPiecesAnswered{0};
    std::vector<std::thread> clients;
    const auto start = std::chrono::steady_clock::now();
    for (int c = 0; c < count; ++c) {
        std::this_thread::sleep_until(start + c * every);
        clients.emplace_back([&, inPieces = c % 2 == 1] {
            Connection connection(port, 0, patience);
            if (!inPieces) {
                connection.send(request);
            } else {
                const std::size_t piece = request.size() / 3;
                connection.send(request.substr(0, piece));
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                connection.send(request.substr(piece, piece));
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                connection.send(request.substr(2 * piece));
            }
            (inPieces ? inPiecesAnswered : wholeAnswered) +=
                rawStatus(connection.receiveAll()) == 200;
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    return {(count + 1) / 2, wholeAnswered, count / 2, inPiecesAnswered};
}

// Calls `count` every `interval` on a thread of its own until stopped, and keeps the largest it
// returned.
class MostSeen {
public:
    MostSeen(std::function<long()> count, std::chrono::milliseconds interval)
        : thread_([this, sample = std::move(count), interval] {
              for (auto next = std::chrono::steady_clock::now(); !done_;) {
                  const long seen = sample();
                  most_ = std::max<long>(most_, seen);
                  ++samples_;
                  next = std::max(next + interval, std::chrono::steady_clock::now());
                  std::this_thread::sleep_until(next);
              }
          }) {}
    ~MostSeen() { stop(); }
    MostSeen(const MostSeen&) = delete;
    MostSeen& operator=(const MostSeen&) = delete;

    void stop() {
        done_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    long most() const { return most_; }
    long samples() const { return samples_; }

private:
    std::atomic<bool> done_{false};
    std::atomic<long> most_{0};
    std::atomic<long> samples_{0};
    std::thread thread_;
};

// The descriptors of process `pid` that are sockets.
inline long socketDescriptors(pid_t pid) {
    DIR* dir = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (dir == nullptr) {
        return -1;
    }
    long sockets = 0;
    char target[64];
    for (const dirent* entry; (entry = readdir(dir)) != nullptr;) {
        const ssize_t n = readlinkat(dirfd(dir), entry->d_name, target, sizeof target - 1);
        sockets += n > 7 && std::string_view(target, 7) == "socket:";
    }
    closedir(dir);
    return sockets;
}

// The sockets of this process that are the server's ends of connections on `port` (its own end
// on the port, not listening), open files however their clients have left them; by inode.
inline std::set<ino_t> serverEnds(int port) {
    std::set<ino_t> ends;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return ends;
    }
    for (const dirent* entry; (entry = readdir(dir)) != nullptr;) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in own{};
        socklen_t length = sizeof own;
        int listening = 1;
        socklen_t flag = sizeof listening;
        struct stat file {};
        if (entry->d_name[0] != '.' && fd != dirfd(dir) && fstat(fd, &file) == 0 &&
            S_ISSOCK(file.st_mode) &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&own), &length) == 0 &&
            own.sin_family == AF_INET && ntohs(own.sin_port) == port &&
            getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flag) == 0 && listening == 0) {
            ends.insert(file.st_ino);
        }
    }
    closedir(dir);
    return ends;
}

// How many connections a server of this process on `port` holds open, never more than were open
// together at one moment: those found by two looks, one after the other, each open in between.
// One look at descriptors that come and go thousands of times a second may find both the one a
// newcomer took the place of and the newcomer (in a number freed meanwhile by a client of this
// process), as if they had been open together.
inline long serverConnections(int port) {
    const std::set<ino_t> first = serverEnds(port);
    const std::set<ino_t> second = serverEnds(port);
    return std::count_if(first.begin(), first.end(),
                         [&second](ino_t inode) { return second.count(inode) != 0; });
}

} // namespace orizume::service::testing
