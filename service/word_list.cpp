#include "service/word_list.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace orizume::service {

void WordList::reserve(std::size_t words, std::size_t chars) {
    entries_.reserve(words);
    chars_.reserve(chars);
}

void WordList::add(std::string_view surface, std::string_view reading,
                   std::string_view partOfSpeech) {
    constexpr std::size_t maxBytes = std::numeric_limits<std::uint16_t>::max();
    if (surface.size() > maxBytes || reading.size() > maxBytes ||
        chars_.size() + surface.size() + reading.size() >
            std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("word list too large");
    }
    auto name = std::find(names_.begin(), names_.end(), partOfSpeech);
    if (name == names_.end()) {
        if (names_.size() > std::numeric_limits<std::uint8_t>::max()) {
            throw std::length_error("too many parts of speech");
        }
        name = names_.insert(names_.end(), partOfSpeech);
    }
    entries_.push_back(Entry{static_cast<std::uint32_t>(chars_.size()),
                             static_cast<std::uint16_t>(surface.size()),
                             static_cast<std::uint16_t>(reading.size()),
                             static_cast<std::uint8_t>(name - names_.begin())});
    chars_ += surface;
    chars_ += reading;
}

std::string_view WordList::surface(std::size_t i) const {
    const Entry& entry = entries_[i];
    return std::string_view(chars_).substr(entry.start, entry.surfaceBytes);
}

std::string_view WordList::reading(std::size_t i) const {
    const Entry& entry = entries_[i];
    return std::string_view(chars_).substr(entry.start + entry.surfaceBytes, entry.readingBytes);
}

} // namespace orizume::service
