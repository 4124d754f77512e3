#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orizume::service {

// MeCab's character classes (space, kanji, katakana, Latin letters, digits, symbols, ...) as the
// dictionary defines them in its char.bin: for each character, the set of classes it belongs to.
// MeCab groups an unknown word over a run of characters whose sets overlap, scanning that run to
// its end from every start position, so the analyzer cuts long runs by these same classes.
class CharClasses {
public:
    // Reads dicdir/char.bin; throws std::runtime_error when it is missing or not of MeCab's layout.
    explicit CharClasses(const std::string& dicdir);

    // The classes (one bit each) of the character of `length` bytes at text[pos] (valid UTF-8).
    std::uint32_t of(std::string_view text, std::size_t pos, std::size_t length) const;

private:
    std::vector<std::uint32_t> classes_; // by UCS-2 code point
};

} // namespace orizume::service
