#include "service/reply_writer.h"

namespace orizume::service {

namespace {

constexpr std::string_view declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";
constexpr std::string_view listStart = "<ResultSet><ma_result>";
constexpr std::string_view listEnd = "</word_list></ma_result></ResultSet>";
constexpr std::string_view wordStart = "<word><surface>";
constexpr std::string_view surfaceEnd = "</surface><reading>";
constexpr std::string_view readingEnd = "</reading><pos>";
constexpr std::string_view wordEnd = "</pos></word>";

void appendElement(std::string& out, std::string_view name, std::string_view text) {
    out += '<';
    out += name;
    out += '>';
    appendEscaped(out, text);
    out += "</";
    out += name;
    out += '>';
}

std::size_t escapedSize(std::string_view text) {
    std::size_t size = text.size();
    for (const char c : text) {
        size += c == '&' ? 4 : (c == '<' || c == '>') ? 3 : 0;
    }
    return size;
}

// Everything before the first word.
std::string replyHead(std::size_t words) {
    const std::string count = std::to_string(words);
    std::string out(declaration);
    out += listStart;
    appendElement(out, "total_count", count);
    appendElement(out, "filtered_count", count);
    out += "<word_list>";
    return out;
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

ReplyParts::ReplyParts(const WordList& words) : words_(words) {
    constexpr std::size_t wordTags =
        wordStart.size() + surfaceEnd.size() + readingEnd.size() + wordEnd.size();
    size_ = replyHead(words.size()).size() + listEnd.size();
    for (std::size_t i = 0; i < words.size(); ++i) {
        size_ += wordTags + escapedSize(words.surface(i)) + escapedSize(words.reading(i)) +
                 words.partOfSpeech(i).size();
    }
}

bool ReplyParts::next(std::string& part) {
    part.clear();
    if (finished_) {
        return false;
    }
    if (!started_) {
        part = replyHead(words_.size());
        started_ = true;
    }
    for (; nextWord_ < words_.size() && part.size() < partBytes; ++nextWord_) {
        part += wordStart;
        appendEscaped(part, words_.surface(nextWord_));
        part += surfaceEnd;
        appendEscaped(part, words_.reading(nextWord_));
        part += readingEnd;
        part += words_.partOfSpeech(nextWord_);
        part += wordEnd;
    }
    if (nextWord_ == words_.size()) {
        part += listEnd;
        finished_ = true;
    }
    return true;
}

std::string writeReply(const WordList& words) {
    ReplyParts parts(words);
    std::string out;
    out.reserve(parts.size());
    for (std::string part; parts.next(part);) {
        out += part;
    }
    return out;
}

std::string writeReply(const std::vector<Word>& words) {
    WordList list;
    for (const Word& word : words) {
        list.add(word.surface, word.reading, word.partOfSpeech);
    }
    return writeReply(list);
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
