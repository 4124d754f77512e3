#pragma once
// Helpers shared by the service tests: the program's view of a reply, and raw HTTP exchanges.

#include "engine/morpheme_resource.h"

#include <pugixml.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <map>
#include <string>
#include <string_view>
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
        for (std::size_t sent = 0; sent < request.size();) {
            const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        char buffer[16384];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return reply;
}

// The status code of a raw reply ("HTTP/1.1 200 OK..." gives 200), or 0; and its body.
inline int rawStatus(std::string_view reply) {
    const std::size_t space = reply.find(' ');
    return space == std::string_view::npos || reply.size() < space + 4
               ? 0
               : std::stoi(std::string(reply.substr(space + 1, 3)));
}

inline std::string rawBody(std::string_view reply) {
    const std::size_t end = reply.find("\r\n\r\n");
    return end == std::string_view::npos ? std::string() : std::string(reply.substr(end + 4));
}

} // namespace orizume::service::testing
