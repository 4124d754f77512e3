#include "service/reply_writer.h"

namespace orizume::service {

namespace {

constexpr std::string_view declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

void appendElement(std::string& out, std::string_view name, std::string_view text) {
    out += '<';
    out += name;
    out += '>';
    appendEscaped(out, text);
    out += "</";
    out += name;
    out += '>';
}

} // namespace

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
}

std::string writeReply(const std::vector<Word>& words) {
    std::string out;
    std::size_t estimate = 160;
    for (const Word& word : words) {
        estimate += 60 + word.surface.size() + word.reading.size() + word.partOfSpeech.size();
    }
    out.reserve(estimate);
    const std::string count = std::to_string(words.size());
    out += declaration;
    out += "<ResultSet><ma_result>";
    appendElement(out, "total_count", count);
    appendElement(out, "filtered_count", count);
    out += "<word_list>";
    for (const Word& word : words) {
        out += "<word>";
        appendElement(out, "surface", word.surface);
        appendElement(out, "reading", word.reading);
        appendElement(out, "pos", word.partOfSpeech);
        out += "</word>";
    }
    out += "</word_list></ma_result></ResultSet>";
    return out;
}

std::string writeError(int status, std::string_view message) {
    std::string out(declaration);
    out += "<Error>";
    appendElement(out, "Status", std::to_string(status));
    appendElement(out, "Message", message);
    out += "</Error>";
    return out;
}

} // namespace orizume::service
