#include "service/reply_writer.h"

namespace orizume::service {

namespace {

constexpr std::string_view declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";
constexpr std::string_view listStart = "<ResultSet><ma_result>";
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

} // namespace

void appendEscaped(std::string& out, std::string_view text) {
    // Every word of a reply passes here twice: test each byte, copy the runs
    // between the three that need escaping whole.
    std::size_t copied = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '&' && c != '<' && c != '>')
            continue;
        out.append(text.substr(copied, i - copied));
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;";
        copied = i + 1;
    }
    out.append(text.substr(copied));
}

std::string replyHead(std::size_t words) {
    const std::string count = std::to_string(words);
    std::string out(declaration);
    out += listStart;
    appendElement(out, "total_count", count);
    appendElement(out, "filtered_count", count);
    out += "<word_list>";
    return out;
}

std::uint64_t replySize(const WordList& words) {
    constexpr std::size_t wordTags =
        wordStart.size() + surfaceEnd.size() + readingEnd.size() + wordEnd.size();
    std::uint64_t size = 0;
    words.forEach([&size](const WordList::Word& word) {
        size += wordTags + escapedSize(word.surface) + escapedSize(word.reading) +
                word.partOfSpeech.size();
    });
    return size;
}

std::size_t appendWords(std::string& part, const WordList& words, std::size_t at,
                        std::size_t bytes) {
    WordList::Word word;
    while (at < words.end() && part.size() < bytes) {
        at = words.read(at, word);
        part += wordStart;
        appendEscaped(part, word.surface);
        part += surfaceEnd;
        appendEscaped(part, word.reading);
        part += readingEnd;
        part += word.partOfSpeech;
        part += wordEnd;
    }
    return at;
}

ReplyParts::ReplyParts(const WordList& words) : words_(words) {
    size_ = replyHead(words.size()).size() + replySize(words) + replyTail.size();
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
    nextWord_ = appendWords(part, words_, nextWord_, partBytes);
    if (nextWord_ == words_.end()) {
        part += replyTail;
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
