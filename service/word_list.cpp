#include "service/word_list.h"

#include <algorithm>
#include <stdexcept>

namespace orizume::service {

namespace {

// The first byte of a word: the index of its part of speech, and how its reading is kept.
constexpr unsigned nameBits = 0x3F;
constexpr unsigned noReading = 0x00;
constexpr unsigned readingIsSurface = 0x40;
constexpr unsigned ownReading = 0x80;
constexpr unsigned readingBits = 0xC0;

} // namespace

void WordList::clear() {
    data_.clear();
    count_ = 0;
}

// Lengths take seven bits a byte, the high bit saying that more follow: one byte up to 127.
void WordList::addLength(std::size_t length) {
    while (length >= 0x80) {
        data_ += static_cast<char>(0x80 | (length & 0x7F));
        length >>= 7;
    }
    data_ += static_cast<char>(length);
}

std::size_t WordList::readLength(std::size_t& at) const {
    std::size_t length = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(data_[at++]);
        length |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return length;
        }
    }
}

void WordList::add(std::string_view surface, std::string_view reading,
                   std::string_view partOfSpeech) {
    auto name = std::find(names_.begin(), names_.end(), partOfSpeech);
    if (name == names_.end()) {
        if (names_.size() > nameBits) {
            throw std::length_error("too many parts of speech");
        }
        name = names_.insert(names_.end(), partOfSpeech);
    }
    const unsigned kind = reading.empty()      ? noReading
                          : reading == surface ? readingIsSurface
                                               : ownReading;
    data_ += static_cast<char>(kind | static_cast<unsigned>(name - names_.begin()));
    addLength(surface.size());
    data_ += surface;
    if (kind == ownReading) {
        addLength(reading.size());
        data_ += reading;
    }
    ++count_;
}

std::size_t WordList::read(std::size_t at, Word& word) const {
    const auto first = static_cast<unsigned char>(data_[at++]);
    word.partOfSpeech = names_[first & nameBits];
    const std::string_view data = data_;
    const std::size_t surfaceBytes = readLength(at);
    word.surface = data.substr(at, surfaceBytes);
    at += surfaceBytes;
    switch (first & readingBits) {
    case readingIsSurface:
        word.reading = word.surface;
        break;
    case ownReading: {
        const std::size_t readingBytes = readLength(at);
        word.reading = data.substr(at, readingBytes);
        at += readingBytes;
        break;
    }
    default:
        word.reading = {};
    }
    return at;
}

} // namespace orizume::service
