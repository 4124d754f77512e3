#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orizume::service {

// The words of one analysis, in text order, packed and read in order: per word a byte naming its
// part of speech and how its reading is kept, the surface's length and bytes, and the reading only
// when it is neither empty (whitespace) nor the surface itself (words the dictionary does not
// know). A word of one byte costs three bytes, so a text of a million such words stays a few
// megabytes and a client waiting for its reply holds little.
class WordList {
public:
    struct Word {
        std::string_view surface;
        std::string_view reading;
        std::string_view partOfSpeech;
    };

    // Room for `bytes` bytes of packed words.
    void reserve(std::size_t bytes) { data_.reserve(bytes); }
    // Forgets the words and keeps the room.
    void clear();

    // partOfSpeech must have static storage (one of the names of pos_mapping.h).
    void add(std::string_view surface, std::string_view reading, std::string_view partOfSpeech);

    std::size_t size() const { return count_; }
    // The memory the words take.
    std::size_t bytes() const { return data_.capacity(); }
    // The bytes of the packed words: where reading ends.
    std::size_t end() const { return data_.size(); }
    // Reads the word that starts at `at` (0 for the first); returns where the next one starts.
    std::size_t read(std::size_t at, Word& word) const;

    template <typename F> void forEach(F&& f) const {
        Word word;
        for (std::size_t at = 0; at < end();) {
            at = read(at, word);
            f(word);
        }
    }

private:
    std::size_t readLength(std::size_t& at) const;
    void addLength(std::size_t length);

    std::string data_;
    std::size_t count_ = 0;
    std::vector<std::string_view> names_; // the distinct parts of speech, a dozen at most
};

} // namespace orizume::service
