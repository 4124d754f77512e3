#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orizume::service {

// The words of one analysis, in text order, packed: the surfaces and readings lie back to back
// in one string and each word costs twelve bytes besides, so that a text of a million one-byte
// words stays a few tens of megabytes.
class WordList {
public:
    // Room for `words` words with `chars` bytes of surfaces and readings in all.
    void reserve(std::size_t words, std::size_t chars);

    // partOfSpeech must have static storage (one of the names of pos_mapping.h).
    void add(std::string_view surface, std::string_view reading, std::string_view partOfSpeech);

    std::size_t size() const { return entries_.size(); }
    std::string_view surface(std::size_t i) const;
    std::string_view reading(std::size_t i) const;
    std::string_view partOfSpeech(std::size_t i) const { return names_[entries_[i].name]; }

private:
    struct Entry {
        std::uint32_t start;        // of the surface in chars_; the reading follows it
        std::uint16_t surfaceBytes; // MeCab's surfaces are at most 65,535 bytes
        std::uint16_t readingBytes;
        std::uint8_t name; // index into names_
    };

    std::string chars_;
    std::vector<Entry> entries_;
    std::vector<std::string_view> names_; // the distinct parts of speech, a dozen at most
};

} // namespace orizume::service
