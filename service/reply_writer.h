#pragma once

#include "service/analyzer.h"
#include "service/word_list.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orizume::service {

// The analysis reply: the XML declaration, then
// <ResultSet><ma_result><total_count/><filtered_count/><word_list><word><surface/><reading/>
// <pos/></word>...</word_list></ma_result></ResultSet>, with nothing between elements and no line
// end outside the root. The program walks it by position and replaces every line feed of the
// reply before parsing, so a line feed may only stand inside a surface (where it is a word).
//
// ReplyParts writes it a part at a time, so that the reply to a text of a million words, some
// seventy times the size of its word list, never stands whole in memory; its size is known
// before the first part so that the reply still carries its length.
class ReplyParts {
public:
    // words must outlive the ReplyParts.
    explicit ReplyParts(const WordList& words);

    // The bytes of the whole reply.
    std::uint64_t size() const { return size_; }

    // Replaces part with the next part of the reply (about partBytes); false when none is left.
    bool next(std::string& part);

    static constexpr std::size_t partBytes = 64 * 1024;

private:
    const WordList& words_;
    std::uint64_t size_ = 0;
    std::size_t nextWord_ = 0; // where the next word starts in words_
    bool started_ = false;
    bool finished_ = false;
};

// The same reply in its three stretches, for a word list made a piece of text at a time: the head
// (which carries the number of words), each word, the tail.
std::string replyHead(std::size_t words);
inline constexpr std::string_view replyTail = "</word_list></ma_result></ResultSet>";
// The bytes that the words take in the reply.
std::uint64_t replySize(const WordList& words);
// Appends the words from `at` (where a word starts) on until part holds `bytes` bytes or more or
// the list has ended; returns where it stopped.
std::size_t appendWords(std::string& part, const WordList& words, std::size_t at,
                        std::size_t bytes);

// The whole reply at once.
std::string writeReply(const WordList& words);
std::string writeReply(const std::vector<Word>& words);

// A small XML document naming why a request was refused.
std::string writeError(int status, std::string_view message);

// Appends text with &, < and > escaped. Spaces, tabs and line feeds stay literal characters,
// which the program's escaping of the reply relies on.
void appendEscaped(std::string& out, std::string_view text);

} // namespace orizume::service
