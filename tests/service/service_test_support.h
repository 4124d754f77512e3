#pragma once
// Helpers shared by the service tests: the program's view of a reply, and raw HTTP exchanges.

#include "engine/morpheme_resource.h"

#include <pugixml.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orizume::service::testing {

// One (part of speech, surface) pair as the program hands it to its sequencer.
struct WalkedWord {
    std::string pos;
    std::string surface;
    bool operator==(const WalkedWord&) const = default;
};

inline pugi::xml_node elementChild(pugi::xml_node node, int index) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && index-- == 0) {
            return child;
        }
    }
    return {};
}

// Does what the program does with a reply body: escapes it, loads it and walks it by position
// (root, first child, third child; each word's first and last child). The whitespace words
// come back as the program restores them, except that a line feed is given as "\n" here
// rather than the program's carriage return. ok is false when the walk fails.
inline std::vector<WalkedWord> walkReply(const std::string& body, bool* ok = nullptr) {
    std::vector<WalkedWord> words;
    const std::string escaped = morphemeResource::replaceAllTheSpecialCharactersToSymbol(body);
    pugi::xml_document doc;
    const bool loaded =
        doc.load_buffer(escaped.data(), escaped.size(),
                        pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
    const pugi::xml_node list = elementChild(elementChild(doc.document_element(), 0), 2);
    if (ok != nullptr) {
        *ok = loaded && list;
    }
    for (pugi::xml_node word = elementChild(list, 0); word; word = word.next_sibling()) {
        std::string pos = word.last_child().first_child().value();
        std::string surface = word.first_child().first_child().value();
        if (pos == "特殊") {
            if (surface == "EndOfLine") {
                surface = "\n";
            } else if (surface == "tab") {
                surface = "\t";
            } else if (surface == "space") {
                surface = " ";
            }
        }
        words.push_back({std::move(pos), std::move(surface)});
    }
    return words;
}

inline std::string joinSurfaces(const std::vector<WalkedWord>& words) {
    std::string text;
    for (const WalkedWord& word : words) {
        text += word.surface;
    }
    return text;
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
            value += '%';
            value += hex[static_cast<unsigned char>(c) >> 4];
            value += hex[static_cast<unsigned char>(c) & 15];
        } else {
            value += c;
        }
    }
    return "appid=PebbleRotator&sentence=" + value + "&results=ma";
}

// Sends bytes on a new connection to 127.0.0.1:port and returns everything the server sends
// until it closes (or two seconds pass without data).
inline std::string rawExchange(int port, std::string_view request) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return {};
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string reply;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
        std::size_t sent = 0;
        while (sent < request.size()) {
            const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        char buffer[16384];
        for (;;) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return reply;
}

// The status code of a raw reply ("HTTP/1.1 200 OK..." gives 200), or 0.
inline int rawStatus(std::string_view reply) {
    const std::size_t space = reply.find(' ');
    if (space == std::string_view::npos || reply.size() < space + 4) {
        return 0;
    }
    return std::stoi(std::string(reply.substr(space + 1, 3)));
}

inline std::string rawBody(std::string_view reply) {
    const std::size_t end = reply.find("\r\n\r\n");
    return end == std::string_view::npos ? std::string() : std::string(reply.substr(end + 4));
}

} // namespace orizume::service::testing
